#!/usr/bin/env bash
# Idle cost: CPU time of the running program over SECONDS (default 60) with
# no dialog appearing, and its resident memory.
# Usage: REPLYWICK=... KEYLOG=... idle.sh [SECONDS]
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/lib.sh"
secs=${1:-60}
start_env
ini_begin
ini_item "idle" "RW Idle" 0 Zenity "" "" "" "x" 0
start_rw
sleep 3
ticks() { awk '{ print $14 + $15 }' "/proc/$RW_PID/stat"; }
hz=$(getconf CLK_TCK)
a=$(ticks)
sleep "$secs"
b=$(ticks)
rss=$(awk '/VmRSS/ { print $2, $3 }' "/proc/$RW_PID/status")
awk -v d=$((b - a)) -v hz="$hz" -v s="$secs" \
    'BEGIN { printf "idle over %d s: %.3f s CPU = %.3f %% of a core\n", s, d / hz, 100 * d / hz / s }'
echo "resident memory: $rss"
