#!/usr/bin/env bash
# bench/first_call.m in fresh Octave processes, for each build directory given in turn,
# ROUNDS times (default 5), then each build's ratios sorted; fails when two builds'
# predictions differ. With "cold" last, each first call meets memory made cold first.
#   bench/first_call.sh OLD_BUILD NEW_BUILD [ROUNDS [cold]]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
old=$(cd "${1:?usage: $0 OLD_BUILD NEW_BUILD [ROUNDS [cold]]}" && pwd)
new=$(cd "${2:?usage: $0 OLD_BUILD NEW_BUILD [ROUNDS [cold]]}" && pwd)
cold=$([ "${4:-}" = cold ] && echo true || echo false)
lines=$(mktemp)
trap 'rm -f "$lines"' EXIT
for ((round = 1; round <= ${3:-5}; ++round)); do
  for build in "$old" "$new"; do
    line=$(octave-cli --no-gui --norc --no-history --quiet \
      --eval "addpath('$here'); first_call('$build', 1e7, 5, $cold)" 2>/dev/null)
    line="$([ "$build" = "$old" ] && echo old || echo new) load $(cut -d' ' -f1 /proc/loadavg)  $line"
    echo "$line" | tee -a "$lines"
  done
done
# Each build's ratios, sorted: real time to the median and to the fastest repeated call,
# processor time to the median.
labels=("real" "to fastest" "processor")
patterns=('real: .*) *ratio \([0-9.]*\)' 'to fastest \([0-9.]*\)' 'processor: .*ratio \([0-9.]*\)')
for which in old new; do
  for i in 0 1 2; do
    printf '%s %-11s ' "$which" "${labels[i]}"
    grep "^$which " "$lines" | sed "s/.*${patterns[i]}.*/\1/" | sort -n | tr '\n' ' '
    echo
  done
done
[ "$(sed 's/.*checksum //' "$lines" | sort -u | wc -l)" -eq 1 ] || { echo "the builds' predictions differ" >&2; exit 1; }
