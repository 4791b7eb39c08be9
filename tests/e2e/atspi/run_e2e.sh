#!/usr/bin/env bash
# Runs a command inside a private desktop: Xvfb, openbox, a D-Bus session and
# the accessibility (AT-SPI) bus, all started here and stopped on exit.
# Usage: run_e2e.sh [--display N] COMMAND [ARGS...]
set -euo pipefail

num=93
if [ "${1:-}" = "--display" ]; then num=$2; shift 2; fi
[ $# -gt 0 ] || { echo "usage: $0 [--display N] COMMAND..." >&2; exit 2; }

work=$(mktemp -d /tmp/rw-atspi.XXXXXX)
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2>/dev/null || true; done
    [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A display left behind by a crashed run is taken over only if its server is gone.
lock=/tmp/.X$num-lock
if [ -f "$lock" ] && ! kill -0 "$(tr -d ' ' <"$lock")" 2>/dev/null; then
    rm -f "$lock" "/tmp/.X11-unix/X$num"
fi
Xvfb ":$num" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$num"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
# A server that answers but is not ours (the display was taken) must not get
# our window manager and bus.
if ! xdpyinfo >/dev/null 2>&1 || ! kill -0 "${pids[0]}" 2>/dev/null; then
    echo "Xvfb :$num did not start" >&2; cat "$work/xvfb.log" >&2; exit 1
fi

# Private runtime, config and cache dirs (the accessibility bus socket lives
# in the runtime dir), and settings kept in memory: the bus launcher would
# otherwise store "accessibility on" in the user's desktop settings.
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export XDG_DATA_HOME="$work/data" GSETTINGS_BACKEND=memory
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
unset NO_AT_BRIDGE AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_PID
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
    read -r addr; read -r pid; echo "DBUS_SESSION_BUS_ADDRESS='$addr' DBUS_SESSION_BUS_PID=$pid"; })"
export DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)

# --a11y=1 reports accessibility as switched on (org.a11y.Status IsEnabled),
# which Qt programs wait for before they publish anything; GTK 3 programs
# publish whenever the bus is there.
/usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=1 >"$work/bus.log" 2>&1 &
pids+=($!)
export RW_ATSPI_LAUNCHER_PID=$!
# Wait until it owns its name. Only NameHasOwner is asked: a call to
# org.a11y.Bus itself would have the session bus start a second launcher (by
# D-Bus activation, without --a11y=1), and the two would race for the name.
owner() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
ok=
for _ in $(seq 200); do
    if owner; then ok=1; break; fi
    kill -0 "$RW_ATSPI_LAUNCHER_PID" 2>/dev/null || break
    sleep 0.05
done
[ -n "$ok" ] || { echo "accessibility bus did not start" >&2; cat "$work/bus.log" >&2; exit 1; }
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done

export LANG=C.UTF-8
unset LC_ALL
set +e
"$@"
rc=$?
set -e
if [ $rc -ne 0 ]; then
    kill -0 "$RW_ATSPI_LAUNCHER_PID" 2>/dev/null || echo "note: the bus launcher has ended" >&2
    for log in bus openbox; do echo "--- $log.log" >&2; tail -20 "$work/$log.log" >&2; done
fi
exit $rc
