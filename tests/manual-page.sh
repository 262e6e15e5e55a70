#!/bin/sh
# The manual pages, English and German, are well-formed and name every option the program's
# usage text names.
set -eu
kurvix=$1
shift
options=$("$kurvix" --usage 2>&1 | grep -o -- '--[a-z]*' | sort -u || true)
[ -n "$options" ] || { echo "keine Optionen im Aufruftext"; exit 1; }
warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
for page in "$@"; do
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man --warnings -l "$page" 2>"$warnings")
  [ ! -s "$warnings" ] || { echo "$page:"; cat "$warnings"; exit 1; }
  for option in $options; do
    echo "$text" | grep -q -- "^ *$option\\b" || { echo "$page beschreibt $option nicht"; exit 1; }
  done
done
echo "$options" | wc -l
