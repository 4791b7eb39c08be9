# The Wayland end-to-end scenarios' desktop: a headless compositor of our
# own (RW_COMPOSITOR: sway, the default; its file here, COMPOSITOR.sh,
# starts it and tells its windows), a D-Bus session with the accessibility
# bus, and the program under test copied into a folder of its own with its
# settings file beside it (the parts shared with the other harnesses are in
# ../common.sh).
#
# A compositor's file defines:
#   start_compositor   starts it, exports WAYLAND_DISPLAY
#   toplevels          its windows, one "app_id<TAB>title<TAB>focused" a line
# and may define focus_title TITLE (gives that window the focus),
# focus_new_window TITLE (the same for a window that has just come up,
# whether or not it has the focus already) and window_entry_text TITLE
# (the text in that window's entry field). It sets
# COMPOSITOR_AFTER_BUSES=1 when the compositor needs the accessibility bus
# before it starts (mutter); by default it starts first.
#
# Needs REPLYWICK in the environment. Sourced by run.sh and the benchmark.

set -u
: "${REPLYWICK:?REPLYWICK must name the replywick program}"
RW_COMPOSITOR=${RW_COMPOSITOR:-sway}

# shellcheck source=../common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
# shellcheck source=sway.sh
. "$(dirname "${BASH_SOURCE[0]}")/$RW_COMPOSITOR.sh"

new_work_dir WORK rw-wl-e2e
chmod 755 "$WORK"

# A session bus that the compositor's user may join too (swaybar, the tray
# host, runs as that user); ended with the harness.
start_session_bus() {
    cat >"$WORK/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$WORK/session-bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    eval "$(dbus-daemon --config-file="$WORK/bus.conf" --fork --print-address=1 --print-pid=1 | {
        read -r addr; read -r pid; echo "DBUS_SESSION_BUS_ADDRESS='$addr' DBUS_SESSION_BUS_PID=$pid"; })"
    export DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID
    RW_DBUS_PID=$DBUS_SESSION_BUS_PID
    chmod 666 "$WORK/session-bus"
}

# The accessibility bus, as the accessibility harness starts it.
start_atspi() {
    /usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=1 >"$WORK/bus.log" 2>&1 &
    track $!
    local launcher=$!
    owner() {
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
    }
    wait_for 10 owner || fail "the accessibility bus did not start: $(tail -5 "$WORK/bus.log")"
    kill -0 "$launcher" || fail "the accessibility bus launcher ended"
}

start_env() {
    unset DISPLAY NO_AT_BRIDGE AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_PID XDG_SESSION_TYPE
    export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache"
    export XDG_DATA_HOME="$WORK/data" GSETTINGS_BACKEND=memory GDK_BACKEND=wayland
    export LANG=C.UTF-8
    unset LC_ALL
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
    start_session_bus
    if [ "${COMPOSITOR_AFTER_BUSES:-0}" = 1 ]; then
        start_atspi
        start_compositor
    else
        start_compositor
        start_atspi
    fi
    install_replywick
}

focused_is() { toplevels | awk -F'\t' -v t="$1" '$2 == t && $3 == "True" { f = 1 } END { exit !f }'; }
window_is() { toplevels | awk -F'\t' -v t="$1" '$2 == t { f = 1 } END { exit !f }'; }
no_window() { ! window_is "$1"; }

start_rw() {
    RW_X11_TRACE=1 REPLYWICK_WINDOW_SYSTEM=wayland "$WORK/app/replywick" /d "$@" >"$WORK/rw.log" 2>&1 &
    RW_PID=$!
    wait_for 10 grep -q "wayland: tray icon add" "$WORK/rw.log" || fail "replywick did not start"
}

# entry TITLE OUT [TIMEOUT]: a zenity entry dialog, in the background; its
# answer goes to OUT, its pid to LAST_PID.
entry() {
    timeout "${3:-20}" zenity --entry --title="$1" --text="Type here" >"$2" 2>/dev/null &
    LAST_PID=$!
    track $!
}

zenity_bg() {
    zenity "$@" 2>/dev/null &
    track $!
    LAST_PID=$!
}

# The bus name of the program's tray icon (StatusNotifierItem) once the
# tray host (swaybar) has it.
tray_item() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null |
        grep -o '"[^"]*/StatusNotifierItem"' | tr -d '"' | cut -d/ -f1 | head -1 | grep .
}
