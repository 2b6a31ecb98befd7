#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the headless tests once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, a short fuzzing run of each reader of outside
# input (list files, calendars, the server's answers, the settings file, the sync record),
# then the whole suite (headless, widget and end-to-end tests).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

echo "== sanitizers: headless tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELTRY_SANITIZE=ON -DVELTRY_HEADLESS_ONLY=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -L headless --output-on-failure -j"$jobs")

echo "== fuzzing the readers of outside input"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRY_HEADLESS_ONLY=ON -DVELTRY_FUZZ=ON >/dev/null
fuzzers=(gridfile icalendar davxml settings syncstate)
cmake --build build-fuzz -j"$jobs" --target "${fuzzers[@]/#/fuzz_}"
for name in "${fuzzers[@]}"; do
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  cp fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
done
# The calendar tests' files, and a calendar whose summary is one line of 2 MB: a reader that
# takes a long line's length squared runs past the timeout on it.
cp tests/data/ical/*.ics build-fuzz/corpus/icalendar/
{
  printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//fuzz//EN\r\nBEGIN:VTODO\r\nUID:long\r\nSUMMARY:'
  head -c 2097152 /dev/zero | tr '\0' 'x'
  printf '\r\nEND:VTODO\r\nEND:VCALENDAR\r\n'
} >build-fuzz/corpus/icalendar/long-line.ics
for name in "${fuzzers[@]}"; do
  echo "-- fuzz_$name"
  # A slow input fails the run: two seconds catch a reader whose work grows with the square of
  # its input, or one that lays out far more than its input holds.
  build-fuzz/fuzz/fuzz_"$name" -max_total_time="${VELTRY_FUZZ_SECONDS:-8}" -timeout=2 -rss_limit_mb=2048 \
    -print_final_stats=1 "build-fuzz/corpus/$name" 2>&1 | tail -n 3
done

echo "== the whole suite"
scripts/build.sh
cd build
ctest --output-on-failure -j"$jobs"
