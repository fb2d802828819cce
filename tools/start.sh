#!/usr/bin/env bash
# Installs what is missing, builds the release tree and starts Tarnisk on an
# example layout. Extra arguments replace the example (a layout, then a rule file).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNISK_TESTS=OFF >/dev/null
cmake --build build/release
if [ $# -eq 0 ]; then set -- data/examples/inverter.msk; fi
exec build/release/app/tarnisk "$@"
