#!/usr/bin/env bash
# A program that hangs does not hang Replywick: a zenity dialog stopped with
# SIGSTOP is in front and matches an item whose message text must be read
# through the accessibility bus (which the stopped program never answers);
# then the next dialog opens, and the time until Replywick has answered it
# (zenity ends with Yes) is printed, COUNT times. Figures only.
#
#   tests/e2e/atspi/run_e2e.sh --display 95 bash bench/reliability/hung_x11.sh [PROGRAM] [COUNT]
set -u
cd "$(dirname "$0")/../.."
PROGRAM=$(readlink -f "${1:-build/linux/replywick}")
COUNT=${2:-5}
# shellcheck source=../../tests/e2e/common.sh
. tests/e2e/common.sh
new_work_dir WORK rw-hung
mkdir -p "$WORK/app"
cp "$PROGRAM" "$WORK/app/replywick"
INI="$WORK/app/replywick.ini"
item() {
    printf '[Item]\r\nDesc=%s\r\nTitle=%s\r\nTitleTestType=0\r\nClass=Zenity\r\nText=%s\r\nModul=\r\nSize=\r\nMacro=%s\r\nDelay=0\r\n\r\n' "$@"
}
{
    printf '; Replywick\r\n\r\n\r\n'
    item "hung" "RW Hung" "Some other message" "{Dialog Yes}"
    item "next" "RW Next" "Go on?" "{Dialog Yes}"
} >"$INI"
RW_X11_TRACE=1 "$WORK/app/replywick" /d >"$WORK/rw.log" 2>&1 &
RW_PID=$!
wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"Replywick MainForm\""' || fail "replywick did not start"

active_title() { xdotool getactivewindow getwindowname 2>/dev/null; }
times=()
for n in $(seq "$COUNT"); do
    zenity --question --title "RW Hung" --text "Hung question $n" >/dev/null 2>&1 &
    hung=$!
    track "$hung"
    wait_for 10 sh -c '[ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "RW Hung" ]' ||
        fail "the hung dialog did not come up"
    kill -STOP "$hung"
    # The stopped dialog is examined anew (Replywick asks the bus for its text).
    xdotool search --name "^RW Hung$" windowactivate 2>/dev/null || true
    sleep 0.2
    start=$(now_ms)
    zenity --question --title "RW Next" --text "Go on?" >/dev/null 2>&1 &
    next=$!
    if wait_for 10 sh -c "! kill -0 $next 2>/dev/null"; then
        wait "$next"
        rc=$?
        ms=$(( $(now_ms) - start ))
        [ "$rc" -eq 0 ] || echo "dialog $n: answered, but not with Yes (exit $rc)"
        times+=("$ms")
        echo "dialog $n: answered after $ms ms (from start of the zenity process)"
    else
        echo "dialog $n: NOT answered within 10 s"
        kill "$next" 2>/dev/null
    fi
    kill -CONT "$hung"; kill "$hung" 2>/dev/null; wait "$hung" 2>/dev/null
done
kill -0 "$RW_PID" 2>/dev/null && echo "replywick still running" || echo "replywick ended"
printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { if (NR) printf "next dialog answered: median %d ms, max %d ms over %d runs\n", a[int((NR + 1) / 2)], a[NR], NR }'
