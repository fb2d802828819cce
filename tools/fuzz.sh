#!/usr/bin/env bash
# Fuzzes the layout-file, rule-file, GDSII, CIF and measurement-file readers
# with libFuzzer, then the whole pipeline (every batch command on adversarial
# layouts and rule files) with tools/fuzz_pipeline.py on the sanitizer build.
# Usage: tools/fuzz.sh [SECONDS_PER_TARGET] [PIPELINE_SECONDS] [SEED]
#        (defaults 600, 1800 and 1)
# The seed corpus is tests/corpus/{msk,rul,gds,cif,mes}; new inputs and any crash
# reproducers land in fuzz-out/ (not committed), the pipeline's findings in
# fuzz-out/pipeline (copy those worth keeping to tests/corpus/pipeline).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
pipeline_seconds="${2:-1800}"
seed="${3:-1}"
tools/setup.sh
CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNISK_FUZZ=ON -DTARNISK_SANITIZE=ON -DTARNISK_TESTS=OFF -DTARNISK_BENCHMARKS=OFF >/dev/null
cmake --build build/fuzz --target fuzz_layout_reader fuzz_rule_reader fuzz_gds_reader \
  fuzz_cif_reader fuzz_measurement_reader
status=0
for pair in "fuzz_layout_reader msk" "fuzz_rule_reader rul" "fuzz_gds_reader gds" \
  "fuzz_cif_reader cif" "fuzz_measurement_reader mes"; do
  set -- $pair
  mkdir -p "fuzz-out/$2"
  "build/fuzz/tests/fuzz/$1" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="fuzz-out/$2-" "fuzz-out/$2" "tests/corpus/$2" || status=1
done
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNISK_SANITIZE=ON \
  -DTARNISK_TESTS=ON >/dev/null
cmake --build build/asan --target tarnisk-cli
python3 tools/fuzz_pipeline.py run build/asan/app/tarnisk-cli --seconds "$pipeline_seconds" \
  --seed "$seed" --timeout 120 --findings fuzz-out/pipeline || status=1
exit $status
