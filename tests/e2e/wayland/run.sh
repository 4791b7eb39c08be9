#!/usr/bin/env bash
# Runs one Wayland end-to-end scenario in a headless compositor of its own.
# Usage: [RW_COMPOSITOR=sway|...] run.sh SCENARIO   (REPLYWICK in the environment)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
# shellcheck source=scenarios.sh
. "$here/scenarios.sh"
name=${1:?scenario name}
command -v "$COMPOSITOR_PROGRAM" >/dev/null || { echo "SKIP: $COMPOSITOR_PROGRAM is not installed"; exit 77; }
declare -F "scenario_$name" >/dev/null || fail "no scenario $name"
# What a scenario needs to settle before the desktop starts.
if declare -F "setup_$name" >/dev/null; then "setup_$name"; fi
start_env
"scenario_$name"
echo "PASS: $name"
