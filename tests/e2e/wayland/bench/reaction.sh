#!/usr/bin/env bash
# Reaction time on Wayland (headless compositor, RW_COMPOSITOR): from a test
# window being shown to the first key the program types into it (item
# Delay 0), over N windows (default 30), each a new program (GTK 3, as
# zenity; RW_PROBE_GTK=4 for GTK 4) that shows its window a second after it
# started (so that its own start-up is not counted).
#
# A Wayland window is shown when the compositor maps it, on its first
# frame; only then can another program know of it. Where the compositor
# lists its windows (wlroots), an observer of that list (WATCHTOPLEVELS,
# rw_watchtoplevels) tells that moment, and that is the figure. The time
# from the toolkit's own map, which comes before the window has drawn
# anything (the compositor's configure and the first frame lie between),
# is printed beside it, and is the only figure elsewhere.
# Usage: REPLYWICK=... [WATCHTOPLEVELS=...] reaction.sh [N]
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/lib.sh"
probe="$here/bench/wl_keyprobe.py"
count=${1:-30}
start_env
ini_begin
ini_item "react" "RW React" 0 org.replywick.Probe "" "" "" "x{ENTER}" 0
start_rw
watch=${WATCHTOPLEVELS:-$(dirname "$REPLYWICK")/tests/e2e/wayland/rw_watchtoplevels}
shown=0
if [ -x "$watch" ]; then
    "$watch" >"$WORK/shown.log" 2>/dev/null &
    track $!
    wait_for 5 grep -q ready "$WORK/shown.log" && shown=1
fi
: >"$WORK/lat.txt"
: >"$WORK/lat_map.txt"
for i in $(seq 1 "$count"); do
    timeout 20 "$probe" "RW React" "$WORK/probe.log" 1000 2>/dev/null || fail "window $i was not answered"
    key=$(awk '$1 == "key" { print $2; exit }' "$WORK/probe.log")
    awk -v k="$key" '$1 == "map" { print k - $2; exit }' "$WORK/probe.log" >>"$WORK/lat_map.txt"
    # The observer printed its line before the key arrived: the last one is this window's.
    [ "$shown" = 1 ] && awk -v k="$key" '$1 == "shown" { s = $2 } END { if (s != "") print k - s }' "$WORK/shown.log" >>"$WORK/lat.txt"
done
stats() {
    sort -n "$1" -o "$1"
    awk '{ v[NR] = $1 } END { if (NR == 0) exit; m = v[int((NR + 1) / 2)]; p = v[int(NR * 0.95 + 0.999)];
        printf "median %.1f ms, p95 %.1f ms, min %.1f ms, max %.1f ms", m, p, v[1], v[NR] }' "$1"
}
n=$(wc -l <"$WORK/lat_map.txt")
if [ "$shown" = 1 ]; then
    echo "$RW_COMPOSITOR reaction over $n windows, from the window shown: $(stats "$WORK/lat.txt"); from the toolkit's map: $(stats "$WORK/lat_map.txt")"
else
    echo "$RW_COMPOSITOR reaction over $n windows, from the toolkit's map: $(stats "$WORK/lat_map.txt")"
fi
