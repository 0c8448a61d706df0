#!/usr/bin/env bash
# The install makes a working portable folder and the package installs one.
# Usage: package_test.sh BUILD_FOLDER
set -u
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$scratch/folder" >/dev/null || fail "cmake --install"
for path in tidewatcher-connect tidewatcher tidewatcher-sim tidewatcher-client 5_2_738_0/CLEARSLATE.EXE \
            5_2_738_0/VEDUVUZI.EXE 5_2_738_0/VUZUZ.EXE icons/tidewatcher-connect.svg icons/tidewatcher-connect.png \
            man/man1/tidewatcher.1 man/man1/tidewatcher-sim.1 tidewatcher-connect.desktop; do
  [ -e "$scratch/folder/$path" ] || fail "missing $path"
done
file "$scratch/folder/icons/tidewatcher-connect.png" | grep -q "48 x 48" || fail "the PNG icon is not 48x48"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$scratch/folder/tidewatcher-connect.desktop" || fail "desktop entry"
fi
"$scratch/folder/tidewatcher" --version | grep -q "5.2 Build 738.0 Rel" || fail "installed tidewatcher --version"

(cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null) || fail "cpack"
deb=$(ls "$scratch"/package/*.deb | head -1)
[ -f "$deb" ] || fail "no .deb made"
dpkg -x "$deb" "$scratch/root" || fail "dpkg -x"
"$scratch/root/opt/tidewatcher-connect/tidewatcher" --version | grep -q "5.2 Build 738.0 Rel" ||
  fail "tidewatcher --version from the unpacked package"
grep -q "^Exec=/opt/tidewatcher-connect/tidewatcher-connect$" "$scratch/root/opt/tidewatcher-connect/tidewatcher-connect.desktop" ||
  fail "the packaged desktop entry does not name /opt"
echo ok
