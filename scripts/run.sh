#!/usr/bin/env bash
# Installs what is missing, builds, installs the program into dist/ (its program folder, where
# the card types and setting.ini live) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
cmake --install build --prefix dist >/dev/null
if [[ -x dist/vastrelle ]]; then
    exec dist/vastrelle
else
    exec dist/vastrelle-cli --help
fi
