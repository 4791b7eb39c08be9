# The X11 end-to-end scenarios' desktop: an X server of our own with a
# window manager, a D-Bus session and a tray host; the program under test
# copied into a folder of its own with its settings file beside it (the
# parts shared with the other harnesses are in ../common.sh).
#
# Needs REPLYWICK (the program) and KEYLOG (the test window) in the
# environment. Sourced by run.sh and by the benchmark scripts.

set -u
: "${REPLYWICK:?REPLYWICK must name the replywick program}"
: "${KEYLOG:?KEYLOG must name the rw_keylog test window}"

# shellcheck source=../common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
# shellcheck source=../tray.sh
. "$(dirname "${BASH_SOURCE[0]}")/../tray.sh"

new_work_dir WORK rw-x11-e2e
export NO_AT_BRIDGE=1   # zenity need not wait for an accessibility bus here
# The program picks Wayland in a Wayland session; these scenarios are X11's.
unset WAYLAND_DISPLAY

start_trayer() {
    trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
        >>"$WORK/trayer.log" 2>&1 &
    TRAYER_PID=$!
    track $!
    wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"panel\""' || fail "trayer did not start"
}

start_env() {
    start_xvfb "$WORK/xvfb.log" 92 95 $(seq 100 140) || fail "no X server could be started"
    start_dbus_session
    start_openbox "$WORK/openbox.log" || fail "openbox did not start: $(cat "$WORK/openbox.log")"
    start_trayer
    install_replywick
}

start_rw() {
    RW_X11_TRACE=1 start_replywick "$@"
    wait_for 10 tray_icon_pos || fail "the tray icon was not embedded"
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
    track $!
    LAST_PID=$!
    wait_for 10 active_is "$1" || fail "window '$1' did not become active"
}

# keylog_start TITLE LOG [WxH]: opens a test window without waiting for it.
keylog_start() {
    "$KEYLOG" "$@" &
    track $!
    LAST_PID=$!
}

active_is() { [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$1" ]; }

# The key presses a log holds, as "keysym" words on one line.
presses() { awk '$1 == "down" { printf "%s ", $2 }' "$1" 2>/dev/null; }

active_id() { xprop -root _NET_ACTIVE_WINDOW | awk '{ print $NF }'; }
