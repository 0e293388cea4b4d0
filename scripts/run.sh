#!/usr/bin/env bash
# Installs what is missing, builds the program and vastrelle-cli (no tests or benchmarks),
# installs them into dist/ (their program folder, where the card types and setting.ini live)
# and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --run
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVASTRELLE_TESTS=OFF -DVASTRELLE_BENCH=OFF -DVASTRELLE_PORTABLE=ON
cmake --build build-run -j "$(nproc)"
cmake --install build-run --prefix dist >/dev/null
if [[ -x dist/vastrelle ]]; then
    exec dist/vastrelle
else
    exec dist/vastrelle-cli --help
fi
