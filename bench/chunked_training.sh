#!/bin/bash
# Training on a file of 10^7 records in chunks of 10^6 (the example of help vorla_train)
# against reading the whole file into one call: wall time and peak memory of each
# (GNU time's maximum resident set size; CPU time, steadier than wall time on a shared machine),
# and the two models asserted equal.
#
#   bash bench/chunked_training.sh BUILD_DIR [ROWS]
#
# Writes ROWS (default 10^7) records, 240 MB at 10^7, to a temporary folder under /tmp
# and removes it at the end.
set -euo pipefail
build=$(cd "${1:?usage: chunked_training.sh BUILD_DIR [ROWS]}" && pwd)
rows=${2:-10000000}
bench=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/vorla_chunks.XXXXXX)
trap 'rm -rf "$work"' EXIT
octave=(octave-cli --no-gui --norc --no-history --quiet)
path="addpath('$build'); addpath('$bench');"

"${octave[@]}" --eval "$path write_records ('$work/records.bin', $rows, 1e6)"
ls -l "$work/records.bin" | awk '{printf "records.bin: %d rows, %.0f MB\n", '"$rows"', $5 / 1e6}'

measure () {
  local name=$1; shift
  /usr/bin/time -v "$@" 2> "$work/$name.time"
  awk -v name="$name" -F': ' '/Maximum resident set size/ {kb = $2}
       /Elapsed \(wall clock\)/ {wall = $2}
       /User time|System time/ {cpu += $2}
       END {printf "%-8s peak memory %7.1f MB, CPU time %6.2f s, wall time %s\n", name, kb / 1024, cpu, wall}' "$work/$name.time"
}
measure octave "${octave[@]}" --eval "$path vorla_train ([0 0; 1 1], [1; 2]);"
measure chunks "${octave[@]}" --eval "$path chunked_training ('$work/records.bin', 'chunks', '$work/chunks.bin')"
measure whole "${octave[@]}" --eval "$path chunked_training ('$work/records.bin', 'whole', '$work/whole.bin')"
"${octave[@]}" --eval "a = load ('$work/chunks.bin'); b = load ('$work/whole.bin');
  same = isequal ({a.model.Templates, a.model.NLabels, a.model.ClassNames}, {b.model.Templates, b.model.NLabels, b.model.ClassNames});
  printf ('models of the chunks and of one call equal bit for bit: %d\n', same); exit (! same);"
