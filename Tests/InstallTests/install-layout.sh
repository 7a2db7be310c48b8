#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that exactly the program's files land in
# their places, and that the desktop entry and the metadata pass the desktop's own validators.
set -euo pipefail
build="$1"
id="$2"
changelog="$3"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/usr" >/dev/null

expected="$(printf '%s\n' \
    "usr/bin/vorn" \
    "usr/share/doc/vorn/$changelog" \
    "usr/share/doc/vorn/copyright" \
    "usr/share/man/man1/vorn.1.gz" \
    "usr/share/applications/$id.desktop" \
    "usr/share/icons/hicolor/64x64/apps/$id.png" \
    "usr/share/icons/hicolor/scalable/apps/$id.svg" \
    "usr/share/metainfo/$id.metainfo.xml" | sort)"
actual="$(cd "$scratch" && find . -type f | sed 's|^\./||' | sort)"
if [ "$actual" != "$expected" ]; then
    echo "installed files differ from the expected set:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
[ -x "$scratch/usr/bin/vorn" ] || { echo "vorn is not executable"; exit 1; }

entry="$scratch/usr/share/applications/$id.desktop"
grep -qx "Icon=$id" "$entry" || { echo "the entry names another icon"; exit 1; }
grep -qx "Exec=vorn" "$entry" || { echo "the entry starts something else"; exit 1; }
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry"
else
    echo "desktop-file-validate not installed: entry not validated"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$scratch/usr/share/metainfo/$id.metainfo.xml"
else
    echo "appstreamcli not installed: metadata not validated"
fi
file "$scratch/usr/share/icons/hicolor/64x64/apps/$id.png" | grep -q "64 x 64" \
    || { echo "the bitmap icon is not 64 px"; exit 1; }
echo "install layout: ok"
