#!/bin/sh
# Instruction counts of the expression benchmarks under valgrind's callgrind: noise-free figures
# for a shared machine. Each workload runs alone (--count); its set-up and a first pass are not
# counted. Prints instructions per sample, kurvix / muparser ratios and their geometric means.
# Usage: bench/instructions.sh [path/to/kurvix_bench_expr]
set -eu
BENCH=${1:-build/bench/kurvix_bench_expr}
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT

count() {  # group side formula passes -> instructions per sample
    valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$OUT/cg" \
        "$BENCH" --count="$1/$2/$3" --passes="$4" >"$OUT/stdout" 2>"$OUT/stderr"
    ir=$(sed -n 's/.*I *refs: *\([0-9,]*\).*/\1/p' "$OUT/stderr" | tr -d ,)
    samples=$(sed -n 's/.* samples \([0-9]*\) .*/\1/p' "$OUT/stdout")
    awk -v ir="$ir" -v n="$samples" 'BEGIN { printf "%.1f", ir / n }'
}

for item in "run 8 (a) run, no cache" "miss1e6 1 (b) first sweep, 10^6 misses" \
            "miss1e5 1 (b) first sweep, 10^5 misses" "hit5000 6 (c) revisited sweep, 5000 hits"; do
    group=${item%% *}; rest=${item#* }; passes=${rest%% *}; title=${rest#* }
    echo "$title: instructions per sample"
    printf '  %-8s %10s %10s %7s\n' formula kurvix muparser ratio
    logsum=0
    for k in 1 2 3 4 5 6; do
        ik=$(count "$group" kurvix "$k" "$passes")
        im=$(count "$group" muparser "$k" "$passes")
        ratio=$(awk -v a="$ik" -v b="$im" 'BEGIN { printf "%.3f", a / b }')
        logsum=$(awk -v s="$logsum" -v r="$ratio" 'BEGIN { printf "%.6f", s + log(r) }')
        printf '  %-8s %10s %10s %7s\n' "f$k" "$ik" "$im" "$ratio"
    done
    awk -v s="$logsum" 'BEGIN { printf "  geometric mean %.3f\n\n", exp(s / 6) }'
done
