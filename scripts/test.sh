#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once as built, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVASTRELLE_TESTS=ON -DVASTRELLE_BENCH=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVASTRELLE_SANITIZE=ON -DVASTRELLE_TESTS=ON -DVASTRELLE_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

# Robustness: the data tests and the command-line tool under valgrind's memcheck, then every
# fuzz target for VASTRELLE_FUZZ_SECONDS (here 30 unless set) each, two at a time on two cores.
scripts/memcheck.sh build
VASTRELLE_FUZZ_SECONDS=${VASTRELLE_FUZZ_SECONDS:-30} scripts/fuzz.sh
