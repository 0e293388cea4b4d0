#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need (only when missing).
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    libxml2-dev libxml2-utils libjpeg62-turbo-dev libjpeg-turbo-progs
    libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
    qt6-base-dev qt6-translations-l10n libgl-dev fonts-ipafont-gothic
    xvfb xauth xdotool imagemagick valgrind
    clang-14 libclang-rt-14-dev
)
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
