#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each
# for VASTRELLE_FUZZ_SECONDS (default 60), from its seed folders in tests/data (fuzz/corpora.txt).
# Fails on any crash, leak, hang (one input over 10 s) or memory blow-up (over 2 GB). New inputs
# and findings go to build-fuzz/, never into the seed folders.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${VASTRELLE_FUZZ_SECONDS:-60}
jobs=${VASTRELLE_FUZZ_JOBS:-$(nproc)}
targets=(cardlist cardlistfast settings template fieldtext thumbnail exif table)

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVASTRELLE_FUZZ=ON -DVASTRELLE_GUI=OFF -DVASTRELLE_BENCH=OFF
cmake --build build-fuzz -j "$(nproc)"

run_target() {
    local target=$1 seconds=$2
    local work=build-fuzz/run/$target
    rm -rf "$work" && mkdir -p "$work/corpus" "$work/findings"
    local seeds
    read -r -a seeds <<<"$(grep "^$target " fuzz/corpora.txt | cut -d' ' -f2-)"
    local dict=()
    [[ $target == cardlist || $target == cardlistfast || $target == template ]] &&
        dict=(-dict=fuzz/cardlist.dict)
    [[ $target == exif ]] && dict=(-dict=fuzz/exif.dict)
    if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "build-fuzz/fuzz/fuzz-$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/findings/" "${dict[@]}" \
        "$work/corpus" "${seeds[@]}" >"$work/log" 2>&1; then
        echo "fuzz-$target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" |
            grep -o '[0-9]*$') executions, no finding"
    else
        echo "fuzz-$target: FINDING (log: $work/log)"
        tail -n 60 "$work/log"
        return 1
    fi
}
export -f run_target

printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c "run_target {} $seconds"
