#!/usr/bin/env bash
# Runs the end-to-end test under valgrind's memcheck; exits non-zero on any memory error or
# definite leak. Two third-party code paths are switched off because memcheck cannot follow
# them and reports their output as uninitialised: libjpeg-turbo's SIMD decoder and the JIT of
# Qt's regular expressions; both have plain fallbacks.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
JSIMD_FORCENONE=1 QT_ENABLE_REGEXP_JIT=0 QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime" \
    LANG=ja_JP.UTF-8 LC_ALL=C.UTF-8 \
    valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite \
    --error-exitcode=9 "$build/tests/ui/EndToEndTest"
