#!/usr/bin/env bash
# Runs every built fuzz target for a few seconds each over its seed corpus.
set -eu
build=${1:-build-fuzz}
seconds=${2:-10}
status=0
for f in "$build"/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    seeds="fuzz/seeds/${name#fuzz_}"
    args=("$corpus")
    [ -d "$seeds" ] && args+=("$seeds")
    echo "== $name (${seconds}s)"
    if ! "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "${args[@]}" 2>"$build/$name.log"; then
        tail -n 40 "$build/$name.log"
        status=1
    else
        grep -E 'stat::number_of_executed_units' "$build/$name.log" || true
    fi
done
exit $status
