# Shared parts of the end-to-end harnesses (sourced): waiting with a
# deadline, an X server of our own on a free display, a D-Bus session bus,
# openbox, the program under test in a folder of its own with its settings
# file, and ending everything that was started when the harness exits.
#
# Safe under `set -eu`. Sourcing installs the exit handler (finish).

RW_PIDS=()      # processes that end with the harness, in the order started
RW_DIRS=()      # folders removed at the end
RW_PID=""       # the program under test, once started
RW_DBUS_PID=""  # the session bus, when started here

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# wait_for SECONDS COMMAND...: polls until COMMAND succeeds; false on time-out.
wait_for() {
    local end=$(( $(now_ms) + $1 * 1000 ))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(now_ms)" -ge "$end" ] && return 1
        sleep 0.05
    done
}

# fail MESSAGE: ends the harness, with the last lines of the program's
# output when it ran.
fail() {
    echo "FAIL: $*" >&2
    if [ -n "${WORK:-}" ] && [ -f "$WORK/rw.log" ]; then
        echo "--- replywick output (last lines)" >&2
        tail -n 40 "$WORK/rw.log" >&2
    fi
    exit 1
}

# track PID...: the processes end with the harness.
track() { RW_PIDS+=("$@"); }

# exit_of SECONDS PID: the exit code of a dialog program; 255 when it is
# still open after SECONDS.
exit_of() {
    local end=$(( $(now_ms) + $1 * 1000 )) pid=$2
    while kill -0 "$pid" 2>/dev/null; do
        [ "$(now_ms)" -ge "$end" ] && return 255
        sleep 0.05
    done
    wait "$pid"
}

# expect_exit WANTED WHAT PID: the dialog program PID must end within 10 s
# with exit code WANTED.
expect_exit() {
    local rc
    exit_of 10 "$3"; rc=$?
    [ "$rc" -eq "$1" ] || fail "$2: ended with $rc ($1 wanted)"
}

# new_work_dir VAR PREFIX: a new folder /tmp/PREFIX.XXXXXX in VAR, removed
# at the end.
new_work_dir() {
    local dir
    dir=$(mktemp -d "/tmp/$2.XXXXXX")
    RW_DIRS+=("$dir")
    printf -v "$1" '%s' "$dir"
}

# Ends the program under test and the tracked processes, the last started
# first (stopped ones are continued, so that they can end), then the
# session bus, and removes the folders.
finish() {
    local pids=("${RW_PIDS[@]}") i p
    [ -n "$RW_PID" ] && pids+=("$RW_PID")
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -CONT "${pids[i]}" 2>/dev/null || true
        kill "${pids[i]}" 2>/dev/null || true
    done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    [ -n "$RW_DBUS_PID" ] && { kill "$RW_DBUS_PID" 2>/dev/null || true; }
    for p in "${RW_DIRS[@]}"; do rm -rf "$p"; done
}
trap finish EXIT
trap "exit 1" TERM INT HUP

# start_xvfb LOG N...: an X server of our own (1280x1024x24, no TCP) on the
# first of the display numbers that is free; a display whose server has
# gone (a lock left behind by a crashed run) is taken over. Exports DISPLAY
# and tracks the server as XVFB_PID; false when none could be started.
start_xvfb() {
    local log=$1 n pid xpid
    shift
    for n in "$@"; do
        if [ -e "/tmp/.X$n-lock" ]; then
            pid=$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null || true)
            [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && continue
            rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
        fi
        [ -e "/tmp/.X11-unix/X$n" ] && continue
        # -noreset: the server would otherwise reset (and refuse clients for a
        # moment) whenever its last client, such as xdpyinfo, leaves.
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$log" 2>&1 &
        xpid=$!
        # A server that is still ending on that display would answer for a
        # moment while ours gives up, and one that is not ours must not get
        # our window manager and bus: ours must still run a little later.
        if DISPLAY=":$n" wait_for 10 xdpyinfo && sleep 0.3 && kill -0 "$xpid" 2>/dev/null &&
            DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
            track "$xpid"
            XVFB_PID=$xpid
            export DISPLAY=":$n"
            return 0
        fi
        kill "$xpid" 2>/dev/null || true
        wait "$xpid" 2>/dev/null || true
    done
    return 1
}

# start_dbus_session: a session bus of our own, ended with the harness;
# exports DBUS_SESSION_BUS_ADDRESS and DBUS_SESSION_BUS_PID.
start_dbus_session() {
    eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
        read -r addr; read -r pid; echo "DBUS_SESSION_BUS_ADDRESS='$addr' DBUS_SESSION_BUS_PID=$pid"; })"
    export DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID
    RW_DBUS_PID=$DBUS_SESSION_BUS_PID
}

# start_openbox LOG: the window manager, tracked; waits until it manages
# the screen, false when it does not within 10 s.
start_openbox() {
    openbox --sm-disable >"$1" 2>&1 &
    track $!
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'
}

# install_replywick: copies REPLYWICK into $WORK/app; its settings file
# is $INI beside it (not written here).
install_replywick() {
    : "${REPLYWICK:?REPLYWICK must name the replywick program}"
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

# start_replywick ARG...: the installed program with debug lines (/d) and
# the arguments, its output in $WORK/rw.log, as RW_PID; fails when its main
# window does not appear within 10 s.
start_replywick() {
    "$WORK/app/replywick" /d "$@" >"$WORK/rw.log" 2>&1 &
    RW_PID=$!
    wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"Replywick MainForm\""' ||
        fail "replywick did not create its main window"
}
