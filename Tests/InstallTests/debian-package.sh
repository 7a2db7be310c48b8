#!/usr/bin/env bash
# Builds the Debian package from the build directory, checks it with lintian, then unpacks it
# into a scratch root and checks its files and its computed dependencies.
set -euo pipefail
build="$1"
id="$2"
changelog="$3"
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

if command -v lintian >/dev/null; then
    # Errors and warnings both fail. Its own remark on running as root, as CI does, is dropped.
    status=0
    said="$(lintian --fail-on error,warning "$package" 2>&1)" || status=$?
    echo "$said" | grep -v "running with root privileges" || true
    [ "$status" -eq 0 ] || { echo "lintian found errors or warnings"; exit 1; }
else
    echo "lintian not installed: package not checked"
fi

dpkg-deb -x "$package" "$scratch/root"
for file in usr/bin/vorn usr/share/doc/vorn/copyright "usr/share/doc/vorn/$changelog" \
    usr/share/man/man1/vorn.1.gz "usr/share/applications/$id.desktop" \
    "usr/share/icons/hicolor/scalable/apps/$id.svg" \
    "usr/share/icons/hicolor/64x64/apps/$id.png" "usr/share/metainfo/$id.metainfo.xml"; do
    [ -f "$scratch/root/$file" ] || { echo "$file is not in the package"; exit 1; }
done
"$scratch/root/usr/bin/vorn" --version >/dev/null
echo "debian package: ok"
