#!/usr/bin/env bash
# Peak resident memory of whole Octave processes (GNU time) on the noisy problem of
# bench/noisy_data.m, for each build directory given: training 10^5 rows until convergence
# (the vorla_train defaults), one presentation of 10^6 rows, and classifying 10^5 other rows
# at vigilance 0 against the network the first build trained; each against a process that
# only makes the inputs. Fails when two builds' results differ.
#   bench/noisy_peak.sh BUILD...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
run() {  # label build octave-code
  /usr/bin/time -v -o "$scratch/time" octave-cli --no-gui --norc --no-history --quiet \
    --eval "addpath('$here'); addpath('$2'); $3" > "$scratch/out"
  printf '%-44s %6d MB  %s\n' "$1" $(($(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time") / 1024)) \
    "$(tail -n 1 "$scratch/out")"
}
fit='f = @(X, y, p) vorla_fit (X, y, 10, 0, 0.001, 1, p, 0, 0, 0);'
sum='printf ("%.17g\n", sum (T(:) .* mod ((1:numel (T))'"'"', 9973)) + sum (NL(:)));'
first=""
for build in "$@"; do
  build=$(cd "$build" && pwd)
  [ -n "$first" ] || first=$build
  run "inputs only, 10^5 rows" "$build" '[X, y] = noisy_data (100000, 1); T = X; NL = y;'"$sum"
  run "$build: training 10^5 rows" "$build" "$fit"'[X, y] = noisy_data (100000, 1); [T, NL, P] = f (X, y, 1000);
    save ("-binary", "'"$scratch"'/net_'"$(basename "$(dirname "$build")")"'", "T", "NL");'"$sum"
  run "inputs only, 10^6 rows" "$build" '[X, y] = noisy_data (1000000, 3); T = X; NL = y;'"$sum"
  run "$build: one presentation of 10^6 rows" "$build" "$fit"'[X, y] = noisy_data (1000000, 3); [T, NL, P] = f (X, y, 1);'"$sum"
done
net=$(ls "$scratch"/net_* | head -n 1)
for build in "$@"; do
  build=$(cd "$build" && pwd)
  run "$build: classifying 10^5 rows" "$build" 'load ("'"$net"'"); [Q, ~] = noisy_data (100000, 2);
    p = vorla_eval (T, NL, 10, 0, 0.001, 0, Q, 0, 0); printf ("%.17g\n", sum (p .* mod ((1:numel (p))'"'"', 9973)));'
done
