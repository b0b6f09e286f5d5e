#!/usr/bin/env bash
# Builds the release package: marquelle.exe in the Release configuration (optimised, unused
# sections dropped, stripped of symbols and debug information), a sample "app.config" and a
# short read-me, zipped as dist/marquelle-<version>.zip. Prints the zip's path and sizes.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"
"$here/install-deps.sh" >/dev/null
command -v zip >/dev/null || { echo "package: zip is missing (apt-get install zip)" >&2; exit 1; }
mkdir -p out dist

cmake --preset release >out/release-configure.log 2>&1 || { tail -n 20 out/release-configure.log; exit 1; }
cmake --build --preset release --target marquelle -j "$(nproc)" >out/release-build.log 2>&1 \
  || { tail -n 40 out/release-build.log; exit 1; }
exe=out/release/app/marquelle.exe
x86_64-w64-mingw32-strip --strip-all "$exe"

version=$(sed -n 's/^project(Marquelle VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/marquelle.exe"
# The sample and the read-me in Windows line endings, the version filled in.
sed 's/$/\r/' app/dist/app.config >"$stage/app.config"
sed "s/@VERSION@/$version/; s/\$/\r/" app/dist/README.txt >"$stage/README.txt"
zip_file=$root/dist/marquelle-$version.zip
rm -f "$zip_file"
(cd "$stage" && zip -q -X -9 "$zip_file" marquelle.exe app.config README.txt)
echo "$zip_file"
echo "marquelle.exe $(stat -c %s "$exe") bytes, zip $(stat -c %s "$zip_file") bytes"
