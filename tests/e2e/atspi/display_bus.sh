#!/usr/bin/env bash
# Programs started without a session bus find the accessibility bus through
# the X display (the launcher's AT_SPI_BUS property on the root window). The
# bridge, started the same way, must find their dialogs there too. Runs
# inside run_e2e.sh.
# Usage: display_bus.sh PROBE
set -u
probe=${1:?probe}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../common.sh
. "$here/../common.sh"
unset DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID AT_SPI_BUS_ADDRESS
new_work_dir XDG_RUNTIME_DIR rw-atspi-nobus   # no user bus socket here
export XDG_RUNTIME_DIR

zenity --info --title="Display bus" --text="Found through the display." 2>/dev/null &
z=$!
track $z
out=$("$probe" "$z" 2>&1)
case "$out" in
    *"text 'Found through the display.'"*) echo "PASS: found through the display" ;;
    *) echo "FAIL: probe said:"; echo "$out"; exit 1 ;;
esac
