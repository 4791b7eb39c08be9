#!/usr/bin/env bash
# Pictures of replywick.exe's settings windows (item list, item editor,
# About) under Wine on Xvfb, in German and in English:
# docs/screenshots/{list,editor,about}-win-{de,en}.png.
#
# Environment: RW_WINE_BUILD_DIR (the Windows build, default build/windows,
# built with the windows preset when it has no replywick.exe yet),
# RW_WINE_WORK_DIR (Wine prefix and scratch, default build/wine-screenshots),
# RW_WINE_DISPLAY (a free X display number, default :93).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${RW_WINE_BUILD_DIR:-build/windows}
work=${RW_WINE_WORK_DIR:-build/wine-screenshots}
display=${RW_WINE_DISPLAY:-:93}
harness=(python3 tests/e2e/wine/wine_e2e.py --build "$build" --work "$work" --display "$display")

scripts/deps.sh test
if [ ! -f "$build/replywick.exe" ]; then
    cmake --preset windows >/dev/null
    cmake --build --preset windows
fi
[ -d "$work/prefix/drive_c" ] || "${harness[@]}" prefix
"${harness[@]}" screenshots docs/screenshots
