#!/usr/bin/env bash
# Soak on Linux: COUNT zenity entry dialogs in a row, each opened once the
# previous one has ended, all answered by one item; prints how many were
# answered, the resident memory of the replywick process along the way and
# (with the accessibility bus) the warnings of D-Bus libraries it printed.
# Figures only: nothing here fails on time.
#
#   bench/reliability/soak_x11.sh [PROGRAM] [COUNT]
#       PROGRAM  default build/linux/replywick; COUNT default 1000
#   RW_SOAK_ATSPI=1  zenity on the accessibility bus, and the item also
#                    matches the dialog's message text (read through AT-SPI)
set -u
cd "$(dirname "$0")/../.."
export REPLYWICK=$(readlink -f "${1:-build/linux/replywick}")
COUNT=${2:-1000}
export KEYLOG=/bin/true
# shellcheck source=../../tests/e2e/x11/lib.sh
. tests/e2e/x11/lib.sh
ATSPI=${RW_SOAK_ATSPI:-0}
[ "$ATSPI" = 1 ] && unset NO_AT_BRIDGE

start_env
ini_begin
if [ "$ATSPI" = 1 ]; then
    ini_item "Soak" "RW Soak" 0 Zenity "Soak question" "" "" "soak{ENTER}" 0
else
    ini_item "Soak" "RW Soak" 0 Zenity "" "" "" "soak{ENTER}" 0
fi
start_rw

rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$RW_PID/status"; }
answered=0
missed=0
declare -A rss
rss[0]=$(rss_kib)
t0=$(now_ms)
slowest=0
for i in $(seq 1 "$COUNT"); do
    ts=$(now_ms)
    # A dialog that nobody answers ends after 10 s and counts as missed.
    out=$(timeout 10 zenity --entry --title "RW Soak" --text "Soak question" 2>/dev/null)
    te=$(( $(now_ms) - ts ))
    [ "$te" -gt "$slowest" ] && slowest=$te
    if [ "$out" = "soak" ]; then
        answered=$((answered + 1))
    else
        missed=$((missed + 1))
        echo "dialog $i missed (it printed '$out'); the program's last lines:" >&2
        tail -25 "$WORK/rw.log" | sed 's/^/    /' >&2
    fi
    kill -0 "$RW_PID" 2>/dev/null || fail "replywick ended during dialog $i"
    case $i in 1 | 10 | 100 | 500 | 1000 | "$COUNT") rss[$i]=$(rss_kib) ;; esac
done
total=$(( $(now_ms) - t0 ))

echo "Soak on X11 (Xvfb, openbox; zenity entry dialogs one after another; accessibility: $([ "$ATSPI" = 1 ] && echo on || echo off))"
echo "  dialogs: $COUNT; answered: $answered; missed: $missed"
if [ "$ATSPI" = 1 ]; then
    echo "  dbind warnings: $(grep -c -e dbind -e 'Unable to open bus connection' "$WORK/rw.log")"
fi
echo "  time: $((total / 1000)) s in all, $((total / COUNT)) ms per dialog on average (zenity start included), slowest $slowest ms"
for k in $(printf '%s\n' 0 1 10 100 500 1000 "$COUNT" | sort -nu); do
    [ -n "${rss[$k]:-}" ] || continue
    if [ "$k" = 0 ]; then label="at start"; else label="after dialog $k"; fi
    printf '  resident memory of replywick %-18s %6d KiB\n' "$label:" "${rss[$k]}"
done
[ "$missed" -eq 0 ]
