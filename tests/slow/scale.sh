#!/usr/bin/env bash
# Large calls in GNU Octave with their peak resident memory (GNU time): training on 10^6
# patterns and classification of 10^7 patterns, each against a run of the same script that
# only makes the inputs. Fails when a call fails, or when it needs more than 45 bytes per
# pattern beyond its inputs (450 MB for the classification; one host block per pattern row
# took about 130).
#   tests/slow/scale.sh BUILD_DIR      (BUILD_DIR holds vorla_fit.mex and vorla_eval.mex)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
[ -x /usr/bin/time ] || apt-get install -y time

peak_kb() {  # what with_call [threads digest_file] -> peak RSS in kB; the script's own output goes to stderr
  local out extra_args=""
  out=$(mktemp)
  if (($# > 2)); then extra_args=", $3, '$4'"; fi
  /usr/bin/time -v -o "$out" octave-cli --no-gui --norc --no-history --quiet \
    --eval "addpath('$here'); scale_case('$1', '$build', $2$extra_args)" >&2 || { rm -f "$out"; return 1; }
  awk -F': ' '/Maximum resident set size/ {print $2}' "$out"
  rm -f "$out"
}

status=0
for what in fit eval; do
  n=$([ $what = fit ] && echo 1000000 || echo 10000000)
  base=$(peak_kb $what false) || { echo "$what: the inputs-only run failed" >&2; exit 1; }
  peak=$(peak_kb $what true) || { echo "$what: the call failed" >&2; exit 1; }
  extra=$(( (peak - base) * 1024 / n ))
  printf '%s: peak RSS %d MB, inputs only %d MB, %d bytes per pattern beyond the inputs\n' \
    "$what" $((peak / 1024)) $((base / 1024)) "$extra"
  [ "$extra" -le 45 ] || status=1
done

# vorla_crossval with every fold's voters batched on two threads: the serial result, and at
# most the serial call's peak memory plus 10% for the extra thread.
digests=$(mktemp -d)
base=$(peak_kb crossval false) || { echo "crossval: the inputs-only run failed" >&2; exit 1; }
one=$(peak_kb crossval true 1 "$digests/1") || { echo "crossval: the serial call failed" >&2; exit 1; }
two=$(peak_kb crossval true 2 "$digests/2") || { echo "crossval: the call on two threads failed" >&2; exit 1; }
printf 'crossval: peak RSS %d MB on one thread, %d MB on two, inputs only %d MB\n' \
  $((one / 1024)) $((two / 1024)) $((base / 1024))
cmp -s "$digests/1" "$digests/2" || { echo "crossval: two threads gave other results than one" >&2; status=1; }
[ $(( two * 10 )) -le $(( one * 11 )) ] || status=1
rm -rf "$digests"
exit $status
