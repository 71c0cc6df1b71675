#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ and runs every test there; undefined behaviour, a bad
# memory access or a leak in our code fails the test that caused it.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTEL_SANITIZE=ON -DVANTEL_BENCHMARKS=OFF
cmake --build build-asan -j"$(nproc)"
cd build-asan
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# In these tests the leak checker of this toolchain fails itself at exit
# ("Tracer caught signal 11" while it walks the dynamic TLS of a library
# loaded at run time) after the test has passed. They run with every memory
# and undefined-behaviour check, but without the leak check at exit.
noleak='^(Opening\.FirstStartWithGetdirMakesTheFilesFolderAndWritesTheSettings|Opening\.MovedProgramIsReportedOnceAndTheNextStartIsQuiet|Opening\.CaptionRotatesAndComesBackAfterTenTicks|Export\.WithoutSavedFilesReportsWhatIsMissing)$'
ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1" \
  ctest --output-on-failure -j"$(nproc)" --timeout 900 -E "$noleak"
ASAN_OPTIONS="detect_leaks=0:check_initialization_order=1" \
  ctest --output-on-failure -j"$(nproc)" --timeout 900 -R "$noleak"
