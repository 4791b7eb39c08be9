#!/usr/bin/env bash
# Benchmark, not run by the test suite: time of one examination of a zenity
# dialog (Snapshot through the accessibility bus plus the dialog-text rule),
# 30 times on one long-lived bridge, as the program keeps one.
# Usage: tests/e2e/atspi/bench.sh [BUILD_DIR] [COUNT]   (default build/linux, 30)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/linux}
count=${2:-30}
probe=$build/tests/e2e/atspi/rw_atspi_probe
[ -x "$probe" ] || { echo "build $probe first" >&2; exit 1; }

exec "$here/run_e2e.sh" --display 96 bash -c '
    zenity --question --title="Save changes" \
        --text="Do you want to save the changes to the document?" 2>/dev/null &
    z=$!
    sleep 1
    "$0" "$z" --bench "$1"
    kill "$z"
' "$probe" "$count"
