#!/usr/bin/env bash
# How long the program takes to end on SIGTERM while a macro sits in a
# minute-long pause, and to notice that the pause's target has gone, over N
# runs (default 5) each.
# Usage: REPLYWICK=... KEYLOG=... stop_in_pause.sh [N]
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/lib.sh"
count=${1:-5}
start_env
pause_ready() { grep -q "SendKeys: {DELAY=60000}" "$WORK/rw.log"; }
stopped() { grep -q "SendKeys stopped" "$WORK/rw.log"; }
term=() gone=()
for i in $(seq 1 "$count"); do
    ini_begin
    ini_item "pause" "RW Pause $i" 0 RwKeylog "" "" "" "{DELAY=60000}{DELAY=60000}x" 0
    start_rw
    keylog "RW Pause $i" "$WORK/pause.log"
    wait_for 10 pause_ready || fail "run $i: the macro did not start"
    sleep 0.5
    t0=$(now_ms)
    kill -TERM "$RW_PID"
    wait_for 30 sh -c "! kill -0 $RW_PID" || fail "run $i: no end after SIGTERM"
    term+=($(( $(now_ms) - t0 )))
    wait "$RW_PID" 2>/dev/null
    RW_PID=""
    kill "$LAST_PID" 2>/dev/null

    ini_begin
    ini_item "pause" "RW Gone $i" 0 RwKeylog "" "" "" "{DELAY=60000}{DELAY=60000}x" 0
    start_rw
    keylog "RW Gone $i" "$WORK/gone.log"
    wait_for 10 pause_ready || fail "run $i: the macro did not start"
    sleep 0.5
    t0=$(now_ms)
    kill "$LAST_PID"
    wait_for 30 stopped || fail "run $i: the pause went on"
    gone+=($(( $(now_ms) - t0 )))
    kill -TERM "$RW_PID"
    wait "$RW_PID" 2>/dev/null
    RW_PID=""
done
median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
printf 'SIGTERM to exit during a pause: median %s ms, max %s ms (%d runs)\n' \
    "$(median "${term[@]}")" "$(printf '%s\n' "${term[@]}" | sort -n | tail -1)" "$count"
printf 'target gone to playback stopped: median %s ms, max %s ms (%d runs)\n' \
    "$(median "${gone[@]}")" "$(printf '%s\n' "${gone[@]}" | sort -n | tail -1)" "$count"
