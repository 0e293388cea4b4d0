#!/usr/bin/env bash
# cpack -G DEB from the build: the package's control fields and its file list.
set -uo pipefail
build=$1
source "$(dirname "$0")/ToolCheck.sh"
need dpkg-deb dpkg
id=io.github.vastrelle.Vastrelle
status=0
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(find "$out" -maxdepth 1 -name 'vastrelle_*.deb')
[[ -f $deb ]] || { echo "FAIL: no .deb in $out"; ls "$out"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == vastrelle ]] || fail "Package: $(field Package)"
[[ $(field Version) == 1.0.0.0 ]] || fail "Version: $(field Version)"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] || fail "Architecture"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ -n $(field Description) ]] || fail "no Description"
depends=$(field Depends)
for package in libqt6widgets6 libqt6network6 libqt6printsupport6 qt6-qpa-plugins libxml2 libjpeg62-turbo \
    fonts-ipafont-gothic; do
    [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done
[[ $(field Recommends) == *fcitx5-frontend-qt6* ]] || fail "Recommends: $(field Recommends)"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/vastrelle ./usr/bin/vastrelle-cli ./usr/share/applications/$id.desktop \
    ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/$id.svg \
    ./usr/share/icons/hicolor/48x48/apps/$id.png ./usr/share/man/man1/vastrelle-cli.1 \
    ./usr/share/vastrelle/samples/castles.template; do
    grep -qx "$file" <<<"$files" || fail "$file is not in the package"
done
grep -q -e '/include/' -e 'Test$' -e '\.a$' <<<"$files" && fail "build files in the package"

# Every dependency resolves on this system, as apt-get install ./file.deb would need.
if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
    apt-get install --simulate --no-install-recommends "$deb" >"$out/apt.log" 2>&1 ||
        { cat "$out/apt.log"; fail "apt-get cannot install the package"; }
fi
exit $status
