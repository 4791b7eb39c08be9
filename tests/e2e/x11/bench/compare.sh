#!/usr/bin/env bash
# Two builds of the program side by side in one run: typing (plain and brace
# mode) and reaction, alternating between them round by round so that both
# meet the same load, with `xdotool type --delay 12` in every round.
# Usage: KEYLOG=... WATCHKEYS=... compare.sh BEFORE AFTER [ROUNDS [CHARS [DIALOGS]]]
here=$(cd "$(dirname "$0")" && pwd)
before=${1:?program before}
after=${2:?program after}
rounds=${3:-2}
chars=${4:-2000}
dialogs=${5:-30}
: "${KEYLOG:?KEYLOG must name rw_keylog}"
: "${WATCHKEYS:?WATCHKEYS must name rw_watchkeys}"
for round in $(seq 1 "$rounds"); do
    for mode in replywick braces; do
        for which in before after; do
            prog=$before
            [ "$which" = after ] && prog=$after
            printf 'round %s, %s: ' "$round" "$which"
            REPLYWICK=$prog bash "$here/typing.sh" "$chars" "$mode" 2>&1 | tail -1
        done
    done
    printf 'round %s: ' "$round"
    REPLYWICK=$after bash "$here/typing.sh" "$chars" xdotool12 2>&1 | tail -1
    for which in before after; do
        prog=$before
        [ "$which" = after ] && prog=$after
        printf 'round %s, %s: ' "$round" "$which"
        REPLYWICK=$prog bash "$here/reaction.sh" "$dialogs" 2>&1 | tail -1
    done
done
