#!/usr/bin/env bash
# Installs what is missing, builds the test tree with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNISK_SANITIZE=ON -DTARNISK_TESTS=ON -DTARNISK_BENCHMARKS=ON >/dev/null
cmake --build build/asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp"
ctest --test-dir build/asan --output-on-failure -j "$(nproc)"
