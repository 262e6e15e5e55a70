#!/usr/bin/env bash
# Runs each fuzz target for the given number of seconds on a corpus seeded from examples/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
out=fuzz-out
mkdir -p "$out/load" "$out/compile" "$out/rtf" "$out/crashes"
# Seeds: each example as a file for its reader (first byte: 0 current format, 1 legacy format),
# and every formula of the examples for the compiler.
for f in examples/*.kvx; do { printf '\0'; cat "$f"; } > "$out/load/seed-$(basename "$f")"; done
for f in examples/*.kvo; do { printf '\1'; cat "$f"; } > "$out/load/seed-$(basename "$f")"; done
grep -h -a -E '^(f[0-9]+|transform)=' examples/*.kvx | sed 's/^[^=]*=//' | tr -d '\r' |
  while IFS= read -r line; do printf '%s' "$line" > "$out/compile/seed-$(printf '%s' "$line" | md5sum | cut -c1-12)"; done
# Derivative references as well, which no example uses yet.
for line in "f1'(x)+f2''" "f3'(x*u)" "f1''(f2'(x), v)"; do
  printf '%s' "$line" > "$out/compile/seed-$(printf '%s' "$line" | md5sum | cut -c1-12)"
done
# and the rich-text notes of the repository for the notes reader.
cp fuzz/rtf-seeds/*.rtf "$out/rtf/"
for target in FuzzLoad FuzzCompile FuzzRtf; do
  case $target in
    FuzzLoad) corpus=$out/load ;;
    FuzzCompile) corpus=$out/compile ;;
    FuzzRtf) corpus=$out/rtf ;;
  esac
  echo "== $target for ${seconds}s"
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -artifact_prefix="$out/crashes/$target-" -print_final_stats=1 "$corpus" 2>&1 | tail -20
done
