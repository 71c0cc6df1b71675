#!/bin/sh
# Builds the fuzz targets of the data-file, settings-file, calendar and
# spreadsheet readers with clang into build-fuzz/ and runs each for SECONDS (default 60)
# from its seed corpus in tests/fuzz/corpus. A finding is kept in
# build-fuzz/ as crash-*, leak-* or timeout-* and fails the run.
set -e
secs=${1:-60}
cd "$(dirname "$0")/.."
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVANTEL_FUZZ=ON -DVANTEL_BENCHMARKS=OFF
cmake --build build-fuzz -j"$(nproc)" --target fuzz_datafile fuzz_profile fuzz_calendar fuzz_spreadsheet
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
for target in datafile profile calendar spreadsheet; do
  work=$(mktemp -d) # inputs found on the way; the seeds stay as they are
  echo "fuzzing the $target reader for $secs s"
  status=0
  build-fuzz/bin/fuzz_$target -max_total_time="$secs" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=build-fuzz/ -print_final_stats=1 "$work" "tests/fuzz/corpus/$target" || status=$?
  rm -rf "$work"
  [ "$status" = 0 ] || { echo "fuzz_$target found a fault (exit $status)"; exit 1; }
done
