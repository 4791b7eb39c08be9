#!/bin/sh
# Runs every libFuzzer binary of a fuzz build for a bounded time and fails on
# any crash, leak, hang or time-out. The seed corpora are copied to a scratch
# directory, so the source tree is never written to.
#
#   run-fuzzers.sh <fuzz build dir> [total seconds]
#
# Exit status 77 (reported by ctest as skipped) when the build dir holds no
# fuzzer, e.g. because the fuzz preset was not built:
#   cmake --preset fuzz && cmake --build --preset fuzz
set -u

build_dir=${1:?usage: run-fuzzers.sh <fuzz build dir> [total seconds]}
total=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)

fuzzers=
for f in "$build_dir"/tests/fuzz/fuzz_*; do
    [ -f "$f" ] && [ -x "$f" ] && fuzzers="$fuzzers $f"
done
if [ -z "$fuzzers" ]; then
    echo "SKIPPED: no fuzzer binaries in $build_dir/tests/fuzz" \
         "(build them with: cmake --preset fuzz && cmake --build --preset fuzz)"
    exit 77
fi

count=$(echo $fuzzers | wc -w)
each=$((total / count))
[ "$each" -lt 5 ] && each=5

scratch=$(mktemp -d "${TMPDIR:-/tmp}/rw-fuzz.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT INT TERM

status=0
for f in $fuzzers; do
    name=$(basename "$f")
    corpus="$scratch/$name/corpus"
    artifacts="$scratch/$name/artifacts"
    mkdir -p "$corpus" "$artifacts"
    if [ -d "$here/corpus/$name" ]; then
        cp "$here/corpus/$name"/* "$corpus"/ 2>/dev/null
    fi
    dict=
    [ -f "$here/$name.dict" ] && dict="-dict=$here/$name.dict"
    echo "== $name: ${each}s"
    # -timeout: one input running longer counts as a hang; the outer timeout
    # catches a fuzzer that stops answering altogether.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    timeout -k 10 $((each + 60)) "$f" \
        -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" $dict "$corpus" \
        >"$scratch/$name/log" 2>&1
    rc=$?
    if [ "$rc" -ne 0 ]; then
        status=1
        echo "FAILED: $name exited with $rc"
        tail -n 60 "$scratch/$name/log"
        for a in "$artifacts"/*; do
            [ -f "$a" ] || continue
            keep="${TMPDIR:-/tmp}/$name-$(basename "$a")"
            cp "$a" "$keep" && echo "input that failed: $keep"
        done
    else
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done )' "$scratch/$name/log"
    fi
done
exit $status
