#!/usr/bin/env bash
# Reaction and typing on every desktop the tests can start, one after the
# other in one run, so that the figures stand side by side: X11 (openbox),
# sway (wlroots), mutter (GNOME) and KWin (KDE Plasma). Each figure comes
# from the desktop's own benchmark script (see their headers); a desktop
# that is not installed is left out.
# Usage: desktops.sh [BUILD [WINDOWS [CHARS]]]   (defaults: build/linux 30 2000)
root=$(cd "$(dirname "$0")/../../../.." && pwd)
build=$(cd "${1:-$root/build/linux}" && pwd)
windows=${2:-30}
chars=${3:-2000}
export REPLYWICK="$build/replywick"
export KEYLOG="$build/tests/e2e/x11/rw_keylog" WATCHKEYS="$build/tests/e2e/x11/rw_watchkeys"
export WATCHTOPLEVELS="$build/tests/e2e/wayland/rw_watchtoplevels"
x11="$root/tests/e2e/x11/bench"
wl="$root/tests/e2e/wayland/bench"

echo "== X11 (openbox)"
bash "$x11/reaction.sh" "$windows" 2>&1 | tail -1
bash "$x11/typing.sh" "$chars" replywick 2>&1 | grep -E '^replywick'
for compositor in sway mutter kwin; do
    echo "== $compositor"
    RW_COMPOSITOR=$compositor bash "$wl/reaction.sh" "$windows" 2>&1 | tail -1
    RW_COMPOSITOR=$compositor bash "$wl/typing.sh" "$chars" 2>&1 | grep -E '^(replywick|wtype)'
done
