#!/usr/bin/env bash
# Runs one X11 end-to-end scenario in an X server of its own.
# Usage: run.sh SCENARIO   (REPLYWICK and KEYLOG in the environment)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
# shellcheck source=scenarios.sh
. "$here/scenarios.sh"
name=${1:?scenario name}
declare -F "scenario_$name" >/dev/null || fail "no scenario $name"
start_env
"scenario_$name"
echo "PASS: $name"
