#!/usr/bin/env bash
# Builds the Debian package from the build directory, then unpacks it into a scratch root and
# checks its files and its computed dependencies.
set -euo pipefail
build="$1"
id="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
package="$(find "$scratch/out" -maxdepth 1 -name 'vorn_*.deb' | head -n 1)"
[ -n "$package" ] || { echo "no package was built"; exit 1; }

info="$(dpkg-deb -I "$package")"
depends="$(echo "$info" | sed -n 's/^ Depends: //p')"
echo "Depends: $depends"
for library in libqt6widgets6 libxcb1 libcurl4 libicu; do
    echo "$depends" | grep -q "$library" || { echo "dependency on $library missing"; exit 1; }
done

dpkg-deb -x "$package" "$scratch/root"
for file in usr/bin/vorn "usr/share/applications/$id.desktop" \
    "usr/share/icons/hicolor/scalable/apps/$id.svg" \
    "usr/share/icons/hicolor/64x64/apps/$id.png" "usr/share/metainfo/$id.metainfo.xml"; do
    [ -f "$scratch/root/$file" ] || { echo "$file is not in the package"; exit 1; }
done
"$scratch/root/usr/bin/vorn" --version >/dev/null
echo "debian package: ok"
