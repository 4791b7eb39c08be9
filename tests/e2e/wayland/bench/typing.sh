#!/usr/bin/env bash
# Typing on Wayland (headless sway, or KWin with RW_COMPOSITOR=kwin): CHARS
# characters (default 2,000) of mixed ASCII, Latin-1 and other scripts into
# a GTK entry, by replywick and (on sway, which offers it a virtual
# keyboard) by wtype; characters lost or altered and characters per second
# (from the first key to the last the window saw).
# Usage: [RW_COMPOSITOR=kwin] REPLYWICK=... typing.sh [CHARS [ascii]]   (ascii: printable ASCII only)
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/lib.sh"
. "$here/scenarios.sh"
probe="$here/bench/wl_keyprobe.py"
chars=${1:-2000}
kind=${2:-mixed}
start_env
if [ "$kind" = ascii ]; then
    text=$(/usr/bin/python3 -c 'import random; r = random.Random(5); print("".join(r.choice("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:-_!?()") for _ in range(4000)), end="")')
else
    text=$(mixed_text)
fi
text=$(printf '%s' "$text" | /usr/bin/python3 -c 'import sys; sys.stdout.write(sys.stdin.read()[:int(sys.argv[1])])' "$chars")

# report WHO: loss and rate from the probe's log against the text.
report() {
    /usr/bin/python3 - "$1" "$WORK/probe.log" "$text" <<'PY'
import ast, sys
who, log, want = sys.argv[1], sys.argv[2], sys.argv[3]
keys, got = [], None
for line in open(log, encoding="utf-8"):
    parts = line.split(" ", 1)
    if parts[0] == "key":
        keys.append(float(parts[1].split()[0]))
    elif parts[0] == "text":
        got = ast.literal_eval(parts[1])
if got is None:
    print("%s: the window was not answered" % who)
    sys.exit(0)
import difflib
same = sum(b.size for b in difflib.SequenceMatcher(None, want, got, autojunk=False).get_matching_blocks())
secs = (keys[-1] - keys[0]) / 1000.0 if len(keys) > 1 else 0
print("%s: %d characters, %d arrived, %d lost or altered, %.0f characters/s over %.2f s"
      % (who, len(want), len(got), len(want) - same, len(want) / secs if secs else 0, secs))
PY
}

ini_begin
ini_item "type" "RW Typing" 0 org.replywick.Probe "" "" "" "$text{ENTER}" 0
start_rw
timeout 300 "$probe" "RW Typing" "$WORK/probe.log" 2>/dev/null
report replywick
kill "$RW_PID"
wait "$RW_PID" 2>/dev/null
RW_PID=""

if [ "$RW_COMPOSITOR" = sway ] && command -v wtype >/dev/null; then
    "$probe" "RW wtype" "$WORK/probe.log" 2>/dev/null &
    probe_pid=$!
    track $!
    wait_for 10 focused_is "RW wtype" || fail "the wtype window did not come up"
    sleep 0.5
    # wtype's own keymap holds only the characters of the call: Return in a
    # call of its own may not reach GTK, so the text is asked for by signal.
    wtype "$text"
    sleep 1
    kill "$probe_pid"
    wait_for 10 grep -q '^text ' "$WORK/probe.log"
    report wtype
fi
