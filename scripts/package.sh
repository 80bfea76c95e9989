#!/usr/bin/env bash
# Builds the Release korvenel.exe (optimised, stripped, statically linked) and packs it with the
# Chinese usage text into build/dist/korvenel-<version>-win64.zip, the version being the CMake
# project's.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

version=$(sed -n 's/^project(Korvenel VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version found in CMakeLists.txt" >&2; exit 1; }

build=build/release
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target korvenel -j"$(nproc)"

# The zip holds the two files at its top; the player unpacks them into a folder of their own,
# where the program then keeps its settings file.
name=korvenel-$version-win64
stage=$build/package
rm -rf "$stage"
mkdir -p "$stage" build/dist
cp "$build/bin/korvenel.exe" "$stage/korvenel.exe"
# UTF-8 with a byte-order mark and CRLF line ends: Notepad shows it right on every Windows, whatever
# the system's code page, and so does any other editor.
usage=$stage/使用说明.txt
printf '\xEF\xBB\xBF' >"$usage"
sed 's/$/\r/' docs/usage-zh.txt >>"$usage"

zip_file=$PWD/build/dist/$name.zip
rm -f "$zip_file"
# -X: no Unix owners or permissions. zip marks the Chinese file name as UTF-8 in the archive.
(cd "$stage" && zip -q -X "$zip_file" korvenel.exe 使用说明.txt)

size=$(stat -c %s "$stage/korvenel.exe")
echo "korvenel.exe: $size bytes ($((size / 1024)) KiB)"
echo "package: build/dist/$name.zip"
