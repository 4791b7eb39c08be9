#!/usr/bin/env bash
# Reaction time on Wayland (headless sway, or KWin with RW_COMPOSITOR=kwin):
# from a test window being mapped to the first key the program types into
# it (item Delay 0), over N windows (default 30), each a new program (GTK 3,
# as zenity; RW_PROBE_GTK=4 for GTK 4) that shows its window a second after
# it started (so that its own start-up is not counted).
# Usage: [RW_COMPOSITOR=kwin] REPLYWICK=... reaction.sh [N]
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/lib.sh"
probe="$here/bench/wl_keyprobe.py"
count=${1:-30}
start_env
ini_begin
ini_item "react" "RW React" 0 org.replywick.Probe "" "" "" "x{ENTER}" 0
start_rw
: >"$WORK/lat.txt"
for i in $(seq 1 "$count"); do
    timeout 20 "$probe" "RW React" "$WORK/probe.log" 1000 2>/dev/null || fail "window $i was not answered"
    awk '$1 == "map" { m = $2 } $1 == "key" && m != "" { print $2 - m; exit }' "$WORK/probe.log" >>"$WORK/lat.txt"
done
sort -n "$WORK/lat.txt" -o "$WORK/lat.txt"
n=$(wc -l <"$WORK/lat.txt")
median=$(awk -v n="$n" 'NR == int((n + 1) / 2) { print }' "$WORK/lat.txt")
p95=$(awk -v n="$n" 'NR == int(n * 0.95 + 0.999) { print }' "$WORK/lat.txt")
printf 'wayland reaction over %d windows: median %.1f ms, p95 %.1f ms, min %.1f ms, max %.1f ms\n' \
    "$n" "$median" "$p95" "$(head -1 "$WORK/lat.txt")" "$(tail -1 "$WORK/lat.txt")"
