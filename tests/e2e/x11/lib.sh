# Shared parts of the X11 end-to-end scenarios: an X server of our own with
# a window manager, a D-Bus session and a tray host; the program under test
# copied into a folder of its own with its settings file beside it.
#
# Needs REPLYWICK (the program) and KEYLOG (the test window) in the
# environment. Sourced by run.sh and by the benchmark scripts.

set -u
: "${REPLYWICK:?REPLYWICK must name the replywick program}"
: "${KEYLOG:?KEYLOG must name the rw_keylog test window}"

WORK=$(mktemp -d /tmp/rw-x11-e2e.XXXXXX)
ENV_PIDS=()   # Xvfb, openbox, trayer (stopped in reverse order)
APP_PIDS=()   # zenity, test windows, replywick
RW_PID=""
DBUS_PID=""
export NO_AT_BRIDGE=1   # zenity need not wait for an accessibility bus here

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

fail() {
    echo "FAIL: $*" >&2
    if [ -f "$WORK/rw.log" ]; then
        echo "--- replywick output (last lines)" >&2
        tail -n 40 "$WORK/rw.log" >&2
    fi
    exit 1
}

# wait_for SECONDS COMMAND...: polls until COMMAND succeeds; false on time-out.
wait_for() {
    local end=$(( $(now_ms) + $1 * 1000 ))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(now_ms)" -ge "$end" ] && return 1
        sleep 0.05
    done
}

stop_env() {
    local p
    for p in "${APP_PIDS[@]}" $RW_PID; do kill "$p" 2>/dev/null; done
    for (( i=${#ENV_PIDS[@]}-1; i>=0; i-- )); do kill "${ENV_PIDS[$i]}" 2>/dev/null; done
    [ -n "$DBUS_PID" ] && kill "$DBUS_PID" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap stop_env EXIT
trap "exit 1" TERM INT HUP

start_trayer() {
    trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
        >>"$WORK/trayer.log" 2>&1 &
    TRAYER_PID=$!
    ENV_PIDS+=($!)
    wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"panel\""' || fail "trayer did not start"
}

start_env() {
    local n started=""
    for n in 92 95 $(seq 100 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        # -noreset: the server would otherwise reset (and refuse clients for a
        # moment) whenever its last client, such as xdpyinfo, leaves.
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
        local xpid=$!
        # A server that is still ending on that display would answer for a
        # moment while ours gives up: ours must still run a little later.
        if DISPLAY=":$n" wait_for 10 xdpyinfo && sleep 0.3 && kill -0 "$xpid" 2>/dev/null &&
            DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
            ENV_PIDS+=("$xpid")
            export DISPLAY=":$n"
            started=1
            break
        fi
        kill "$xpid" 2>/dev/null
    done
    [ -n "$started" ] || fail "no X server could be started"
    eval "$(dbus-launch --sh-syntax)"
    DBUS_PID=${DBUS_SESSION_BUS_PID:-}
    openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
    ENV_PIDS+=($!)
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "openbox did not start: $(cat "$WORK/openbox.log")"
    start_trayer
    mkdir -p "$WORK/app"
    cp "$REPLYWICK" "$WORK/app/replywick"
    INI="$WORK/app/replywick.ini"
}

# ini_begin; ini_item DESC TITLE TYPE CLASS TEXT MODUL SIZE MACRO DELAY ...
ini_begin() { printf '; Replywick\r\n\r\n\r\n' >"$INI"; }
ini_item() {
    printf '[Item]\r\nDesc=%s\r\nTitle=%s\r\nTitleTestType=%s\r\nClass=%s\r\nText=%s\r\nModul=%s\r\nSize=%s\r\nMacro=%s\r\nDelay=%s\r\n\r\n' \
        "$@" >>"$INI"
}

start_rw() {
    RW_X11_TRACE=1 "$WORK/app/replywick" /d "$@" >"$WORK/rw.log" 2>&1 &
    RW_PID=$!
    wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"Replywick MainForm\""' ||
        fail "replywick did not create its main window"
    wait_for 10 tray_icon_pos || fail "the tray icon was not embedded"
}

# Position of the centre of the program's tray icon: "X Y".
tray_icon_pos() {
    xwininfo -root -tree | awk '/"Replywick": \("replywick" "Replywick"\)/ && $0 ~ /22x22|[0-9]+x[0-9]+\+/ {
        split($NF, a, "+"); split($(NF-1), s, "x"); split(s[2], h, "+");
        if (a[2] != "" && s[1] > 4) { print a[2] + int(s[1] / 2), a[3] + int(h[1] / 2); found = 1; exit }
    } END { exit !found }'
}

click_tray_icon() {
    local pos
    pos=$(tray_icon_pos) || fail "no tray icon"
    # shellcheck disable=SC2086
    xdotool mousemove $pos click 1
}

# keylog TITLE LOG [WxH]: opens a test window and waits until it is active.
keylog() {
    "$KEYLOG" "$@" &
    APP_PIDS+=($!)
    LAST_PID=$!
    wait_for 10 active_is "$1" || fail "window '$1' did not become active"
}

# keylog_start TITLE LOG [WxH]: opens a test window without waiting for it.
keylog_start() {
    "$KEYLOG" "$@" &
    APP_PIDS+=($!)
    LAST_PID=$!
}

active_is() { [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$1" ]; }

# The key presses a log holds, as "keysym" words on one line.
presses() { awk '$1 == "down" { printf "%s ", $2 }' "$1" 2>/dev/null; }

active_id() { xprop -root _NET_ACTIVE_WINDOW | awk '{ print $NF }'; }
