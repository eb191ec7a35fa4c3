#!/usr/bin/env bash
# dist.sh: the release in dist/: the per-user setup program and a zip of the same files with
# INSTALL.txt, both named with the project's version. Builds what they hold first: the 32-bit
# programs and control, and the 64-bit control.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"

for preset in win32 win64; do cmake --preset $preset >/dev/null; done
cmake --build --preset win32 --target clipcutter clipjoiner partroster gaugekit
cmake --build --preset win64 --target gaugekit

product=build/win32/installer/product.nsh
name=$(sed -n 's/^!define DIST_NAME "\(.*\)"$/\1/p' "$product")
[ -n "$name" ] || { echo "dist: no DIST_NAME in $product" >&2; exit 1; }

# The files as the zip holds them and as setup installs them, without their debugging symbols.
stage=build/dist/$name
rm -rf build/dist
mkdir -p "$stage/plugins" "$stage/x86" "$stage/x64"
strip32() { i686-w64-mingw32-strip --strip-all -o "$2" "$1"; }
strip32 build/win32/bin/clipcutter.exe "$stage/plugins/clipcutter.exe"
strip32 build/win32/bin/clipjoiner.exe "$stage/plugins/clipjoiner.exe"
strip32 build/win32/bin/partroster.exe "$stage/partroster.exe"
strip32 build/win32/bin/gaugekit.dll "$stage/x86/gaugekit.dll"
x86_64-w64-mingw32-strip --strip-all -o "$stage/x64/gaugekit.dll" build/win64/bin/gaugekit.dll
cp build/win32/installer/INSTALL.txt "$stage/INSTALL.txt"

rm -rf dist
mkdir dist
makensis -V2 -NOCD "-DPRODUCT_NSH=$root/$product" "-DFILES=$root/$stage" \
    "-DOUTFILE=$root/dist/$name-setup.exe" installer/setup.nsi
(cd build/dist && cmake -E tar cf "$root/dist/$name.zip" --format=zip "$name")
echo "dist: $(cd dist && ls | tr '\n' ' ')"
