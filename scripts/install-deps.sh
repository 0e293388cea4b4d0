#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing: with --run only what building and running
# the two programs needs (scripts/run.sh), otherwise also what the tests, benchmarks, fuzzing
# and packaging checks need (scripts/test.sh).
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    libxml2-dev libjpeg62-turbo-dev libzstd-dev nlohmann-json3-dev
    qt6-base-dev libqt6printsupport6 qt6-translations-l10n libgl-dev fonts-ipafont-gothic
)
if [[ ${1:-} != --run ]]; then
    packages+=(
        libxml2-utils libjpeg-turbo-progs poppler-utils
        libgtest-dev libgmock-dev libbenchmark-dev
        xvfb xauth xdotool imagemagick valgrind
        clang-14 libclang-rt-14-dev lld
        desktop-file-utils appstream
    )
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
