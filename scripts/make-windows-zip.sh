#!/bin/sh
# Makes tavixtool-cli-windows-x86_64.zip: tavix-capture.exe, tavix-diagnose.exe
# and a README (Chinese and English) in one folder, cross-built with mingw-w64
# in build/win (as ./test builds it). Prints the zip's path and contents.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/fetch-turbojpeg-source.sh >/dev/null
scripts/build.sh build/win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
(cd build/win && cpack -G ZIP >/dev/null)
zip="$root/build/win/tavixtool-cli-windows-x86_64.zip"
echo "$zip"
python3 -c 'import sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist(): print(f"{i.file_size:>10}  {i.filename}")' "$zip"
