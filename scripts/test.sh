#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, fuzzers, and the
# end-to-end suites (Linux under Xvfb and on a headless sway, Windows under
# Wine).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
jobs=$(nproc)

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"

cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"

ctest --test-dir build/linux --output-on-failure "$@"
