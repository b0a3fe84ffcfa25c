#!/usr/bin/env bash
# Peak resident memory of whole Octave processes (GNU time) on the noisy problem of
# bench/noisy_data.m, for each build directory given in turn: training 10^5 rows until
# convergence (the vorla_train defaults), one presentation of 10^6 rows, and classifying
# 10^5 other rows at vigilance 0 against the network that the first build trained; each
# beside a process that only makes the inputs. Also prints the peak of the call itself above
# what was resident before it (Linux: the peak is reset through /proc/self/clear_refs just
# before the call, which GNU time would then miss, so the process's peak is the larger of
# the peak before the reset and the peak after). Fails when two builds' results differ.
#   bench/noisy_peak.sh BUILD...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
run() {  # case build octave-code; the code's last line of output is a checksum of the results
  /usr/bin/time -v -o "$scratch/time" octave-cli --no-gui --norc --no-history --quiet \
    --eval "addpath('$here'); addpath('$2'); $kb $3" > "$scratch/out"
  local peak h0
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time")
  h0=$(sed -n 's/^peak before the call \([0-9]*\)$/\1/p' "$scratch/out")
  [ -z "$h0" ] || [ "$h0" -le "$peak" ] || peak=$h0
  printf '%-12s %-30s process %5d MB  %s\n' "$(basename "$(dirname "$2")")" "$1" $((peak / 1024)) \
    "$(grep '^call' "$scratch/out" || echo -)"
  echo "$1: $(tail -n 1 "$scratch/out")" >> "$scratch/sums"
}
kb='kb = @(w) str2double (regexp (fileread ("/proc/self/status"), [w ":\\s*(\\d+)"], "tokens", "once"){1});'
before='printf ("peak before the call %d\n", kb ("VmHWM")); fid = fopen ("/proc/self/clear_refs", "w"); fprintf (fid, "5"); fclose (fid); r0 = kb ("VmRSS");'
after='printf ("call %d MB above %d MB\n", round ((kb ("VmHWM") - r0) / 1024), round (r0 / 1024));'
fit='f = @(X, y, p) vorla_fit (X, y, 10, 0, 0.001, 1, p, 0, 0, 0);'
sum='printf ("%.17g\n", sum (T(:) .* mod ((1:numel (T))'"'"', 9973)) + sum (NL(:)));'
first=$(cd "$1" && pwd)
run "inputs only, 10^5 rows" "$first" '[X, y] = noisy_data (100000, 1); printf ("-\n");'
run "inputs only, 10^6 rows" "$first" '[X, y] = noisy_data (1000000, 3); printf ("-\n");'
for build in "$@"; do
  build=$(cd "$build" && pwd)
  run "training 10^5 rows" "$build" "$fit"'[X, y] = noisy_data (100000, 1); '"$before"'[T, NL, ~] = f (X, y, 1000);'"$after"'
    if (strcmp ("'"$build"'", "'"$first"'")) save ("-binary", "'"$scratch/net"'", "T", "NL"); end; '"$sum"
  run "one presentation, 10^6 rows" "$build" "$fit"'[X, y] = noisy_data (1000000, 3); '"$before"'[T, NL, ~] = f (X, y, 1);'"$after$sum"
done
for build in "$@"; do
  build=$(cd "$build" && pwd)
  run "classifying 10^5 rows" "$build" 'load ("'"$scratch/net"'"); [Q, ~] = noisy_data (100000, 2); '"$before"'
    p = vorla_eval (T, NL, 10, 0, 0.001, 0, Q, 0, 0);'"$after"' printf ("%.17g\n", sum (p .* mod ((1:numel (p))'"'"', 9973)));'
done
if [ "$(sort -u "$scratch/sums" | cut -d: -f1 | uniq -d)" ]; then
  echo "the builds' results differ:" >&2
  sort -u "$scratch/sums" >&2
  exit 1
fi
