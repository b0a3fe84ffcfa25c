#!/usr/bin/env bash
# bench/first_call.m in fresh Octave processes, for each build directory given in turn,
# ROUNDS times (default 5); fails when two builds' predictions differ.
#   bench/first_call.sh OLD_BUILD NEW_BUILD [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
old=$(cd "${1:?usage: $0 OLD_BUILD NEW_BUILD [ROUNDS]}" && pwd)
new=$(cd "${2:?usage: $0 OLD_BUILD NEW_BUILD [ROUNDS]}" && pwd)
sums=$(mktemp)
trap 'rm -f "$sums"' EXIT
for ((round = 1; round <= ${3:-5}; ++round)); do
  for build in "$old" "$new"; do
    line=$(octave-cli --no-gui --norc --no-history --quiet --eval "addpath('$here'); first_call('$build')")
    printf '%-4s %s\n' "$([ "$build" = "$old" ] && echo old || echo new)" "$line"
    echo "${line##*checksum }" >> "$sums"
  done
done
[ "$(sort -u "$sums" | wc -l)" -eq 1 ] || { echo "the builds' predictions differ" >&2; exit 1; }
