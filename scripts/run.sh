#!/usr/bin/env bash
# Builds the Linux program and starts it on the current X display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh run
cmake --preset linux -DRW_BUILD_TESTS=OFF >/dev/null
cmake --build --preset linux -j "$(nproc)" --target replywick 2>/dev/null || {
    echo "replywick: the Linux program cannot be built yet (the X11 backend is not finished)." >&2
    exit 1
}
if [ -z "${DISPLAY:-}" ]; then
    echo "replywick: no X display (DISPLAY is not set). Replywick needs an X11 session;" >&2
    echo "Wayland-only sessions are not supported." >&2
    exit 1
fi
exec build/linux/replywick "$@"
