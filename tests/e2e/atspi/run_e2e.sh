#!/usr/bin/env bash
# Runs a command inside a private desktop: Xvfb, openbox, a D-Bus session and
# the accessibility (AT-SPI) bus, all started here and stopped on exit.
# Usage: run_e2e.sh [--display N] COMMAND [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../common.sh
. "$here/../common.sh"

num=93
if [ "${1:-}" = "--display" ]; then num=$2; shift 2; fi
[ $# -gt 0 ] || { echo "usage: $0 [--display N] COMMAND..." >&2; exit 2; }

new_work_dir work rw-atspi
# A display left behind by a crashed run is taken over only if its server is
# gone.
if ! start_xvfb "$work/xvfb.log" "$num"; then
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
start_dbus_session

start_openbox "$work/openbox.log" || true

# --a11y=1 reports accessibility as switched on (org.a11y.Status IsEnabled),
# which Qt programs wait for before they publish anything; GTK 3 programs
# publish whenever the bus is there.
/usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=1 >"$work/bus.log" 2>&1 &
track $!
export RW_ATSPI_LAUNCHER_PID=$!
# Wait until it owns its name. Only NameHasOwner is asked: a call to
# org.a11y.Bus itself would have the session bus start a second launcher (by
# D-Bus activation, without --a11y=1), and the two would race for the name.
owner() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
launcher_runs() { kill -0 "$RW_ATSPI_LAUNCHER_PID" 2>/dev/null; }
owner_or_gone() { owner || ! launcher_runs; }
if ! wait_for 10 owner_or_gone || ! owner; then
    echo "accessibility bus did not start" >&2; cat "$work/bus.log" >&2; exit 1
fi

export LANG=C.UTF-8
unset LC_ALL
set +e
"$@"
rc=$?
set -e
if [ $rc -ne 0 ]; then
    launcher_runs || echo "note: the bus launcher has ended" >&2
    for log in bus openbox; do echo "--- $log.log" >&2; tail -20 "$work/$log.log" >&2; done
fi
exit $rc
