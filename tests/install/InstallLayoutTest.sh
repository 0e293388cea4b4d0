#!/usr/bin/env bash
# cmake --install into a temporary prefix: the programs, the desktop entry, the icons, the
# metainfo, the man page and the sample, each where a Linux desktop looks for it and valid.
set -uo pipefail
build=$1
source "$(dirname "$0")/ToolCheck.sh"
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
id=io.github.vastrelle.Vastrelle
status=0
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: install"; exit 1; }

for file in bin/vastrelle bin/vastrelle-cli; do
    [[ -x $prefix/$file ]] || fail "$file is not installed"
done
for file in share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/man/man1/vastrelle-cli.1 \
    share/vastrelle/samples/castles.template share/vastrelle/samples/castles/001.jpg; do
    [[ -s $prefix/$file ]] || fail "$file is not installed"
done
for size in 16 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
    dims=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | awk '{print $3*256+$4 "x" $7*256+$8}')
    [[ $dims == "${size}x${size}" ]] || fail "$png is $dims, not ${size}x${size}"
done
# Nothing of the build or the tests is installed.
extra=$(cd "$prefix" && find . -type f | grep -v -e '^./bin/vastrelle\(-cli\)\?$' \
    -e "^./share/applications/$id.desktop$" -e "^./share/metainfo/$id.metainfo.xml$" \
    -e "^./share/icons/hicolor/.*/apps/$id\.\(png\|svg\)$" -e '^./share/man/man1/vastrelle-cli.1$' \
    -e '^./share/vastrelle/samples/')
[[ -z $extra ]] || fail "unexpected files: $extra"

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Categories=Utility;Qt;' "$desktop" || fail "Categories"
grep -q '^Name\[ja\]=' "$desktop" || fail "no Japanese name"
grep -q '^Comment\[ja\]=' "$desktop" || fail "no Japanese comment"
grep -qx "Icon=$id" "$desktop" || fail "icon name"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -x $prefix/bin/$exec_name ]] || fail "Exec=$exec_name is not an installed program"

metainfo=$prefix/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
grep -q '<summary xml:lang="ja">' "$metainfo" || fail "no Japanese summary"
grep -q '<screenshot' "$metainfo" || fail "no screenshot"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not name the desktop entry"

if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$prefix/share/man/man1/vastrelle-cli.1" 2>&1)
    [[ -z $warnings ]] || fail "man page: $warnings"
fi
grep -q 'migrate' "$prefix/share/man/man1/vastrelle-cli.1" || fail "man page lacks migrate"

# The installed sample brings its pictures: importing it gives a card type with thumbnails.
work=$(mktemp -d -p "$prefix")
"$prefix/bin/vastrelle-cli" import "$work" castles "$prefix/share/vastrelle/samples/castles.template" ||
    fail "importing the installed sample"
count=$(find "$work/castles/image" -name '*.thm_large' | wc -l)
[[ $count -eq 40 ]] || fail "the sample brought $count pictures with thumbnails, not 40"

exit $status
