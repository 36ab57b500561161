#!/usr/bin/env bash
# The Windows zip as a user gets it: cpack makes it from the build tree; it
# holds the two programs and the README at the top of one folder, and the
# programs run from a copy unzipped elsewhere (no DLLs needed beside them).
#
#   windows-zip-test.sh <build tree> <wine> <prefix> <work>
set -uo pipefail
build=$1 wine=$2 prefix=$3 work=$4
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$work" && mkdir -p "$work" || exit 1
(cd "$build" && cpack -G ZIP -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
zip="$work/tavixtool-cli-windows-x86_64.zip"
python3 - "$zip" "$work/unzipped" <<'PY' || exit 1
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(i.filename for i in z.infolist() if not i.is_dir())
for i in z.infolist():
    print(f"{i.file_size:>10}  {i.filename}")
want = sorted("tavixtool-cli-windows-x86_64/" + n
              for n in ("README.txt", "tavix-capture.exe", "tavix-diagnose.exe"))
if names != want:
    sys.exit(f"FAIL: the zip holds {names}, not {want}")
readme = z.read("tavixtool-cli-windows-x86_64/README.txt").decode("utf-8")
if "\r\n" not in readme or "\n" in readme.replace("\r\n", ""):
    sys.exit("FAIL: README.txt does not have Windows line ends throughout")
for text in ("怎样用", "How to use it", "tavix-capture COM3", "COM10"):
    if text not in readme:
        sys.exit(f"FAIL: README.txt lacks {text!r}")
z.extractall(sys.argv[2])
PY
cd "$work/unzipped/tavixtool-cli-windows-x86_64" || exit 1
for program in tavix-capture tavix-diagnose; do
    LC_ALL=en_US.UTF-8 "$wine" "$program.exe" --help >"$work/$program.txt" 2>&1 ||
        { echo "FAIL: $program.exe --help from the unzipped folder"; cat "$work/$program.txt"; exit 1; }
    head -n 1 "$work/$program.txt"
done
echo "PASS: the zip holds the programs and the README, and they run unzipped"
