#!/usr/bin/env bash
# Builds the Linux program and starts it on the current X display or
# Wayland compositor.
# Arguments are passed on (for example /d for debug lines on standard error,
# /ini=FILE for another settings file).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "replywick: neither an X display (DISPLAY) nor a Wayland display (WAYLAND_DISPLAY) is set." >&2
    exit 1
fi

scripts/deps.sh run
cmake --preset linux -DRW_BUILD_TESTS=OFF >/dev/null
if ! cmake --build --preset linux -j "$(nproc)" --target replywick >/tmp/replywick-build.$$.log 2>&1; then
    cat /tmp/replywick-build.$$.log >&2
    rm -f /tmp/replywick-build.$$.log
    echo "replywick: the build failed (see above)." >&2
    exit 1
fi
rm -f /tmp/replywick-build.$$.log
# Dialog texts and buttons come through the accessibility bus, which is
# reached through the session bus: join the display's session bus, or start
# it as any GTK program there would, when none is set.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/bus" ] && [ -n "${DISPLAY:-}" ]; then
    eval "$(dbus-launch --sh-syntax --autolaunch="$(dbus-uuidgen --get)")" || true
fi
# A second start while it runs on this display ends at once, silently.
exec build/linux/replywick "$@"
