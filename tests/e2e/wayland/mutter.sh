# mutter, GNOME's compositor, headless: it offers neither wlroots' nor
# KDE's protocols, so the program learns the windows and the foreground
# from the accessibility bus. It runs as whoever runs the tests (root in
# CI), in the harness's runtime folder, and needs the session bus and the
# accessibility bus before it starts (COMPOSITOR_AFTER_BUSES). No tray
# host: the program's icon has nowhere to show.
#
# The seat has no keyboard at first, and without one mutter activates no
# window. Unless RW_MUTTER_KEYBOARD=0, mutter_keys.py gives it one through
# mutter's remote-desktop interface (its own, not the program's) and
# sends Alt+Tab on request (focus_title). Sourced by lib.sh.

COMPOSITOR_PROGRAM=mutter
COMPOSITOR_AFTER_BUSES=1
# Debian's python, which has python3-dbus, whatever comes first on PATH.
RW_PY=/usr/bin/python3
[ -x "$RW_PY" ] || RW_PY=python3
RW_KEYS_DONE=0

start_compositor() {
    local name="rw-mutter-$$"
    mutter --wayland --headless --virtual-monitor 1280x800 --no-x11 --wayland-display "$name" \
        >"$WORK/mutter.log" 2>&1 &
    track $!
    wait_for 15 test -S "$XDG_RUNTIME_DIR/$name" || fail "mutter did not start: $(tail -5 "$WORK/mutter.log")"
    export WAYLAND_DISPLAY="$name"
    [ "${RW_MUTTER_KEYBOARD:-1}" = 0 ] || start_seat_keyboard
}

# The helper that gives the seat a keyboard; its commands go through a fifo.
start_seat_keyboard() {
    mkfifo "$WORK/keys"
    "$RW_PY" "$(dirname "${BASH_SOURCE[0]}")/mutter_keys.py" "$WORK/keys" >"$WORK/keys.log" 2>&1 &
    track $!
    wait_for 15 grep -q '^ready' "$WORK/keys.log" || fail "the seat got no keyboard: $(tail -5 "$WORK/keys.log")"
}

# seat_keys COMMAND: one command of mutter_keys.py, waited for.
seat_keys() {
    [ -p "$WORK/keys" ] || fail "the seat has no keyboard of the tests (RW_MUTTER_KEYBOARD=0)"
    echo "$*" >"$WORK/keys"
    RW_KEYS_DONE=$((RW_KEYS_DONE + 1))
    wait_for 10 grep -q "^done $RW_KEYS_DONE\$" "$WORK/keys.log" || fail "the seat's keyboard did not answer"
}

# The windows the accessibility bus tells, one "program<TAB>title<TAB>active"
# a line (mutter itself tells no one).
toplevels() { "$RW_PY" "$(dirname "${BASH_SOURCE[0]}")/a11y.py" frames 2>/dev/null; }

# focus_title TITLE: Alt+Tab, with one Tab more each time, until the window
# of that title is active.
focus_title() {
    local n
    for n in 1 2 3 4; do
        seat_keys alttab "$n"
        wait_for 2 focused_is "$1" && return 0
    done
    return 1
}

# The text of the first editable text in the window of that title.
window_entry_text() { "$RW_PY" "$(dirname "${BASH_SOURCE[0]}")/a11y.py" text "$1"; }
