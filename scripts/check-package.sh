#!/usr/bin/env bash
# Installs a build into a scratch root as a desktop program is installed, validates its menu
# entry and AppStream description, builds the Debian package, unpacks it into another scratch
# root and starts both programs from there. Exits non-zero on any failure.
set -euo pipefail
build=${1:-build}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

DESTDIR="$scratch/installed" cmake --install "$build" --prefix /usr > /dev/null
share="$scratch/installed/usr/share"
desktop-file-validate "$share/applications/org.quendra.Quendra.desktop"
appstreamcli validate --no-net "$share/metainfo/org.quendra.Quendra.metainfo.xml"
test -s "$share/icons/hicolor/128x128/apps/org.quendra.Quendra.png"
test -x "$scratch/installed/usr/bin/quendra"

cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" > /dev/null
deb=$(ls "$scratch"/package/quendra_*.deb)
depends=$(dpkg-deb --field "$deb" Depends)
echo "package $(basename "$deb"), depends on: $depends"
if grep -q -- '-dev' <<< "$depends"; then
  echo "the package depends on development packages" >&2
  exit 1
fi
dpkg -x "$deb" "$scratch/root"
"$scratch/root/usr/bin/quendra-batch" --help > /dev/null
"$scratch/root/usr/bin/quendra-batch" --version
QT_QPA_PLATFORM=offscreen "$scratch/root/usr/bin/quendra" --version
