#!/usr/bin/env bash
# Typing: 2,000 characters of mixed ASCII, Latin-1 and other scripts into a
# zenity entry, by replywick and by `xdotool type`; characters lost or
# altered and characters per second.
# Usage: REPLYWICK=... KEYLOG=... typing.sh [CHARS [MODE]]
# MODE: replywick, braces, xdotool12, xdotool1; without it, all four, each
# in an X server of its own.
here=$(cd "$(dirname "$0")/.." && pwd)
chars=${1:-2000}
if [ -z "${2:-}" ]; then
    for mode in replywick braces xdotool12 xdotool1; do
        bash "$0" "$chars" "$mode"
    done
    exit 0
fi
mode=$2
. "$here/lib.sh"
start_env

text=$(python3 - "$chars" <<'PY'
import random, sys
n = int(sys.argv[1])
random.seed(7)
ascii_ = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:-_!?()[]<>=+*/#&%$@'\""
latin1 = "äöüÄÖÜßéèêàáâçñøåæÿíìîóòôúùû¡¿£¥©®°±µ¶·½"
other = "€łŁżźćńśąęřšžčďťňůőűğışΩαβγδεζηθλμπσφχψωЖжЙйЯяЮюШщЁёΣ中文字日本語한국어אבגدلس"
pools = [ascii_] * 6 + [latin1] * 2 + [other] * 2
print("".join(random.choice(random.choice(pools)) for _ in range(n)), end="")
PY
)

score() {  # expected actual -> "lost N"
    python3 - "$1" "$2" <<'PY'
import difflib, sys
want, got = sys.argv[1], sys.argv[2]
m = difflib.SequenceMatcher(None, want, got, autojunk=False)
same = sum(b.size for b in m.get_matching_blocks())
print(f"{len(want) - same} lost or altered, {max(0, len(got) - same)} extra")
PY
}

case $mode in xdotool12) delays=12 ;; xdotool1) delays=1 ;; *) delays="" ;; esac
for delay in $delays; do
    zenity --entry --title="xdotool typing" --text="Typing" --width=600 >"$WORK/xd.txt" 2>/dev/null &
    zpid=$!
    wait_for 10 xdotool search --name "^xdotool typing$" || fail "zenity did not come up"
    xdotool search --name "^xdotool typing$" windowactivate --sync 2>/dev/null
    wait_for 10 active_is "xdotool typing" || fail "zenity did not come to the front: active=$(xdotool getactivewindow getwindowname 2>&1), windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>&1 | tr "\n" ,)"
    sleep 0.3
    t0=$(now_ms)
    xdotool type --delay "$delay" -- "$text"
    t1=$(now_ms)
    sleep 0.5
    xdotool key --clearmodifiers Return
    if ! wait_for 10 sh -c "! kill -0 $zpid"; then
        # The entry did not take Return (xdotool may leave a key mapped
        # oddly); its text is lost to us.
        kill "$zpid"
        echo "xdotool type --delay $delay: zenity did not end on Return"
    fi
    wait "$zpid" 2>/dev/null
    got=$(cat "$WORK/xd.txt")
    [ -n "${BENCH_OUT:-}" ] && cp "$WORK/xd.txt" "$BENCH_OUT.xdotool$delay"
    echo "xdotool type --delay $delay: ${#text} chars in $((t1 - t0)) ms, $(( ${#text} * 1000 / (t1 - t0 + 1) )) chars/s, $(score "$text" "$got")"
done

[ -n "$delays" ] && exit 0

if [ "$mode" = replywick ]; then
# replywick: the macro is the text alone (no braces), Return comes after.
ini_begin
ini_item "typing" "RW Typing" 0 Zenity "" "" "" "$text" 0
start_rw
zenity --entry --title="RW Typing" --text="Typing" --width=600 >"$WORK/rw.txt" 2>/dev/null &
zpid=$!
wait_for 20 grep -q "SendKeys: " "$WORK/rw.log" || fail "not matched"
t0=$(now_ms)
wait_for 300 grep -q "SendKeys finished" "$WORK/rw.log" || fail "typing did not finish"
t1=$(now_ms)
xdotool key Return
wait "$zpid"
got=$(cat "$WORK/rw.txt")
[ -n "${BENCH_OUT:-}" ] && { printf '%s' "$text" >"$BENCH_OUT.want"; cp "$WORK/rw.txt" "$BENCH_OUT.replywick"; }
echo "replywick: ${#text} chars in $((t1 - t0)) ms, $(( ${#text} * 1000 / (t1 - t0 + 1) )) chars/s, $(score "$text" "$got")"
exit 0
fi

# The same in brace mode (the macro ends with {ENTER}): every character
# waits for the entry to have taken the one before.
ini_begin
ini_item "typing" "RW Braces" 0 Zenity "" "" "" "$text{ENTER}" 0
start_rw
t0=$(now_ms)
timeout 300 zenity --entry --title="RW Braces" --text="Typing" --width=600 >"$WORK/rwb.txt" 2>/dev/null ||
    fail "brace-mode typing did not end with Enter"
t1=$(now_ms)
got=$(cat "$WORK/rwb.txt")
echo "replywick, brace mode: ${#text} chars in $((t1 - t0)) ms incl. dialog start, $(( ${#text} * 1000 / (t1 - t0 + 1) )) chars/s, $(score "$text" "$got")"

