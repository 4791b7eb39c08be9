#!/usr/bin/env bash
# Programs started without a session bus address share one session bus of
# the X display (libdbus starts or joins it). The bridge, started the same
# way, must find their dialogs on it. Runs inside run_e2e.sh.
# Usage: display_bus.sh PROBE
set -u
probe=${1:?probe}
unset DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID AT_SPI_BUS_ADDRESS
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d /tmp/rw-atspi-nobus.XXXXXX)   # no user bus socket here
chmod 700 "$XDG_RUNTIME_DIR"
trap 'kill "$z" 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT

zenity --info --title="Display bus" --text="Found on the display's bus." 2>/dev/null &
z=$!
out=$("$probe" "$z" 2>&1)
case "$out" in
    *"text 'Found on the display's bus.'"*) echo "PASS: found on the display's bus" ;;
    *) echo "FAIL: probe said:"; echo "$out"; exit 1 ;;
esac
