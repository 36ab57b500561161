#!/bin/sh
# Builds the Windows SerialPort with MinGW-w64 and tries it under Wine against a
# pseudo-terminal fed from Linux (linked as the throwaway prefix's COM port).
#
#   tests/win32/run-wine-serial-test.sh [baud] [bytes]
#
# The Windows build runs it from CTest with the test program it built and its
# own prefix: TAVIX_SERIAL_TEST_EXE=... WINEPREFIX=... run-wine-serial-test.sh
#
# Needs: g++-mingw-w64-x86-64-posix, wine64 (Debian 12: Wine 8), python3, cmake.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
baud=${1:-921600}
bytes=${2:-100000}
port=5
missing=42
work=$(mktemp -d /tmp/tavix-wine-serial.XXXXXX)
export WINEPREFIX="${WINEPREFIX:-$work/prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
cxx=${CXX_MINGW:-x86_64-w64-mingw32-g++-posix}

exe=${TAVIX_SERIAL_TEST_EXE:-}
if [ -z "$exe" ]; then
exe="$work/SerialPortWineTest.exe"
echo "== build ($cxx) in $work"
ts=""
for f in "$root"/res/i18n/en/*.ts; do ts="$ts${ts:+|}$f"; done
cmake "-DTS_FILES=$ts" "-DOUTPUT=$work/EnglishCatalogue.cpp" \
    -P "$root/settings/TranslationCatalogue.cmake"
"$cxx" -std=c++17 -O2 -Wall -Wextra -I"$root" -o "$work/SerialPortWineTest.exe" \
    "$here/SerialPortWineTest.cpp" \
    "$root/serial/SerialPortWin32.cpp" "$root/serial/PortDevicesWin32.cpp" \
    "$root/serial/WakeEventWin32.cpp" "$root/serial/DeviceHoldersWin32.cpp" \
    "$root/serial/PortOwner.cpp" "$root/serial/PortSelection.cpp" \
    "$root/serial/PortProbeWin32.cpp" \
    "$root/settings/Translation.cpp" "$root/settings/TextToNumber.cpp" \
    "$work/EnglishCatalogue.cpp" \
    -static -static-libgcc -static-libstdc++ -lpthread
fi

echo "== Wine prefix $WINEPREFIX"
"$wine" wineboot --init >"$work/wineboot.log" 2>&1 || true
"$wineserver" -w 2>/dev/null || true
rm -f "$WINEPREFIX/dosdevices/com$missing"

echo "== feeder on com$port"
python3 "$here/feeder.py" "$WINEPREFIX/dosdevices/com$port" "$bytes" "$work/ready" \
    ${PACE:-$baud} &
feeder=$!
i=0
while [ ! -s "$work/ready" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
pty=$(cat "$work/ready")
# Wine's own way to name a serial device: its Ports key, which the mount
# manager turns into the COM device the system lists (QueryDosDevice).
"$wine" reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /d "$pty" /f >/dev/null 2>&1
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
# Start the prefix again and keep it up, so that the mount manager has made
# the COM device before the test asks the system for its ports.
"$wineserver" -p60 2>/dev/null || true
"$wine" wineboot >/dev/null 2>&1 || true
ls -l "$WINEPREFIX/dosdevices/"

echo "== test"
status=0
"$wine" "$exe" "$port" "$baud" "$bytes" "$missing" || status=$?
kill "$feeder" 2>/dev/null || true
wait "$feeder" 2>/dev/null || true
"$wineserver" -k 2>/dev/null || true
if [ "$status" -eq 0 ]; then rm -rf "$work"; else echo "kept $work"; fi
exit "$status"
