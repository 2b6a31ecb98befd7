#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the headless tests once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, a short fuzzing run of the data-file reader,
# then the whole suite (headless, widget and end-to-end tests).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

echo "== sanitizers: headless tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELTRY_SANITIZE=ON -DVELTRY_HEADLESS_ONLY=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -L headless --output-on-failure -j"$jobs")

echo "== fuzzing the grid file reader"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRY_HEADLESS_ONLY=ON -DVELTRY_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_gridfile
mkdir -p build-fuzz/corpus
cp fuzz/corpus/* build-fuzz/corpus/ 2>/dev/null || true
build-fuzz/fuzz/fuzz_gridfile -max_total_time="${VELTRY_FUZZ_SECONDS:-30}" -rss_limit_mb=2048 -print_final_stats=1 build-fuzz/corpus 2>&1 | tail -n 3

echo "== the whole suite"
scripts/build.sh
cd build
ctest --output-on-failure -j"$jobs"
