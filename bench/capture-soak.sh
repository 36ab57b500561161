#!/usr/bin/env bash
# tavix-capture over a long run without files: the simulator sends a textured
# 60 x 80 scene at 3 Mbaud; the tool takes FRAMES frames (default 10000).
# Prints the tool's resident memory every 10 s, its CPU time against the
# run's length, and the bytes against the line's capacity.
# Usage: bench/capture-soak.sh BUILD_DIR [FRAMES]
set -euo pipefail
build=${1:?build directory}
frames=${2:-10000}
work=$(mktemp -d)
sim=
trap '[ -n "$sim" ] && kill $sim 2>/dev/null; rm -rf "$work"' EXIT
"$build/tools/camsim/tavix-camsim" --rows 60 --columns 80 --pattern scene --baud 3000000 \
    --link "$work/cam" >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$work/cam" ] && break; sleep 0.1; done
TIMEFORMAT='%R %U %S'
{ time "$build/tools/capture/tavix-capture" "$work/cam" --baud 3000000 --frames "$frames" \
      --max-suspect 1000000 --timeout 30 --json >"$work/out.json" 2>"$work/err.log"; } \
    2>"$work/time" &
wrapper=$!
sleep 1
tool=$(pgrep -n -f "tavix-capture $work/cam" || true)
echo "seconds  rss_kB"
t=0
while kill -0 "$wrapper" 2>/dev/null; do
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$tool/status" 2>/dev/null || true)
    [ -n "$rss" ] && printf '%7d  %s\n' "$t" "$rss"
    sleep 10
    t=$((t + 10))
done
wait "$wrapper" || true
kill -TERM "$sim" 2>/dev/null && wait "$sim" 2>/dev/null || true
sim=
echo "simulator: $(tail -1 "$work/sim.log")"
summary=$(tail -1 "$work/out.json")
echo "$summary"
read -r real user sys <"$work/time"
bytes=$(sed -E 's/.*"bytesReceived":([0-9]+).*/\1/' <<<"$summary")
awk -v r="$real" -v u="$user" -v s="$sys" -v b="$bytes" 'BEGIN {
    printf "run %.1f s; CPU %.1f s user + %.1f s system = %.1f %% of a core\n", r, u, s, 100 * (u + s) / r
    printf "line capacity 300000 bytes/s; received %.0f bytes/s = %.3f of it\n", b / r, b / r / 300000
}'
