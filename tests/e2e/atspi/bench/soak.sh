#!/usr/bin/env bash
# Soak of the accessibility bridge, not run by the test suite: COUNT zenity
# dialogs one after another on a private desktop with the accessibility
# bus, each read through one long-lived bridge the moment its window is
# managed (as the program reads a dialog that comes to the front) and
# answered through the bridge. Prints the dialogs missed (text not read),
# the warnings of D-Bus libraries seen, and the bridge process's resident
# memory (VmRSS) along the way. Figures only: nothing here fails on time.
#
#   tests/e2e/atspi/bench/soak.sh [BUILD_DIR] [COUNT] [single]   (default build/linux, 1000)
#   single: one look per dialog, without waiting for a program that has not
#           registered yet (shows how often that wait is needed)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/linux}
count=${2:-1000}
mode=${3:-}
probe=$build/tests/e2e/atspi/rw_atspi_probe
[ -x "$probe" ] || { echo "build $probe first" >&2; exit 1; }
probe=$(readlink -f "$probe")
err=$(mktemp /tmp/rw-atspi-soak.XXXXXX)
trap 'rm -f "$err"' EXIT

set +e
"$here/../run_e2e.sh" --display 96 "$probe" --soak "$count" $mode 2>"$err"
rc=$?
set -e
echo "warnings of D-Bus libraries (dbind): $(grep -c -e dbind -e 'Unable to open bus connection' "$err" || true)"
if [ $rc -ne 0 ]; then
    echo "--- last lines of standard error" >&2
    tail -20 "$err" >&2
fi
exit $rc
