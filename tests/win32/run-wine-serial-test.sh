#!/bin/sh
# The Windows SerialPort under Wine against a pseudo-terminal fed from Linux
# (linked and registered as the prefix's COM5). The Windows build's CTest runs
# it with the test program it built (SerialPortWineTest) and its own prefix:
#
#   TAVIX_SERIAL_TEST_EXE=<exe> [WINEPREFIX=<prefix>] run-wine-serial-test.sh [baud] [bytes]
#
# Needs: wine64 (Debian 12: Wine 8) and python3.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
baud=${1:-921600}
bytes=${2:-100000}
port=5
missing=42
exe=${TAVIX_SERIAL_TEST_EXE:?the test program (build/win/tests/engine/SerialPortWineTest.exe)}
work=$(mktemp -d /tmp/tavix-wine-serial.XXXXXX)
export WINEPREFIX="${WINEPREFIX:-$work/prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}

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
