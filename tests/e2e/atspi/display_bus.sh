#!/usr/bin/env bash
# Programs started without a session bus find the accessibility bus through
# the X display (the launcher's AT_SPI_BUS property on the root window). The
# bridge, started the same way, must find their dialogs there too. Runs
# inside run_e2e.sh.
# Usage: display_bus.sh PROBE
set -u
probe=${1:?probe}
unset DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID AT_SPI_BUS_ADDRESS
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d /tmp/rw-atspi-nobus.XXXXXX)   # no user bus socket here
chmod 700 "$XDG_RUNTIME_DIR"
trap 'kill "$z" 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT

zenity --info --title="Display bus" --text="Found through the display." 2>/dev/null &
z=$!
out=$("$probe" "$z" 2>&1)
case "$out" in
    *"text 'Found through the display.'"*) echo "PASS: found through the display" ;;
    *) echo "FAIL: probe said:"; echo "$out"; exit 1 ;;
esac
