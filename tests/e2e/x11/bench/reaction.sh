#!/usr/bin/env bash
# Reaction time: from a zenity dialog being mapped to the first key event
# the program sends into it (item Delay 0), over N dialogs (default 30).
# Usage: REPLYWICK=... KEYLOG=... WATCHKEYS=... reaction.sh [N]
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/lib.sh"
: "${WATCHKEYS:?WATCHKEYS must name rw_watchkeys}"
count=${1:-30}
start_env
ini_begin
ini_item "react" "RW React" 0 Zenity "" "" "" "x" 0
start_rw
"$WATCHKEYS" >"$WORK/events.txt" &
track $!
sleep 0.5
for i in $(seq 1 "$count"); do
    before=$(grep -c '^key' "$WORK/events.txt")
    zenity --entry --title="RW React" --text="Dialog $i" >/dev/null 2>&1 &
    zpid=$!
    wait_for 10 sh -c "[ \$(grep -c '^key' '$WORK/events.txt') -gt $before ]" || fail "dialog $i not answered"
    kill "$zpid"
    wait "$zpid" 2>/dev/null
    sleep 0.3
done
# For each map, the first key after it.
awk '$1 == "map" { m = $2; armed = 1 } $1 == "key" && armed { print $2 - m; armed = 0 }' "$WORK/events.txt" |
    sort -n >"$WORK/lat.txt"
n=$(wc -l <"$WORK/lat.txt")
median=$(awk -v n="$n" 'NR == int((n + 1) / 2) { print }' "$WORK/lat.txt")
p95=$(awk -v n="$n" 'NR == int(n * 0.95 + 0.999) { print }' "$WORK/lat.txt")
printf 'reaction over %d dialogs: median %.1f ms, p95 %.1f ms, min %.1f ms, max %.1f ms\n' \
    "$n" "$median" "$p95" "$(head -1 "$WORK/lat.txt")" "$(tail -1 "$WORK/lat.txt")"
