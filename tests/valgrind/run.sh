#!/usr/bin/env bash
# The adversarial calls and the normal training and classification calls of
# tests/octave/adversarial.m, and an interrupted call of each function
# (tests/octave/interrupted_call.m; training also stopped by SIGTERM and SIGHUP, and a batch of
# networks on two threads by SIGINT), in GNU
# Octave under valgrind memcheck. Fails when the script fails or when any valgrind record
# has a stack frame in a vorla MEX file (or in a vorla function). Octave's own noise is
# suppressed by octave.supp.
#
#   tests/valgrind/run.sh BUILD_DIR            BUILD_DIR holds the MEX files
#   tests/valgrind/run.sh --baseline OUT.supp  records Octave's own noise: the same script with
#                                              .m stubs in place of the MEX files, every record
#                                              written as a suppression (trim it into octave.supp)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tests/skip.sh"
command -v valgrind > /dev/null || apt-get install -y valgrind

# --keep-debuginfo: the leak report comes after Octave has unloaded the MEX files, whose
# frames would otherwise show as "???".
vg=(valgrind --tool=memcheck --leak-check=full --num-callers=40 --keep-debuginfo=yes)
octave=(octave-cli --no-gui --norc --no-history --quiet)
export VORLA_QUICK=1

if [ "${1:-}" = --baseline ]; then
  out=${2:?usage: $0 --baseline OUT.supp}
  log=$(mktemp)
  "${vg[@]}" --gen-suppressions=all --log-file="$log" "${octave[@]}" \
    --eval "addpath('$here/stubs'); addpath('$root/tests/octave'); try adversarial(); catch end" > /dev/null 2>&1 || true
  grep -v '^==' "$log" > "$out"
  echo "$(grep -c '^{' "$out") suppressions written to $out"
  exit 0
fi

build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
for m in vorla_fit.mex vorla_eval.mex vorla_learn.mex; do
  [ -f "$build/$m" ] || { echo "no $build/$m" >&2; exit 2; }
done
log=$build/valgrind-memcheck.log
status=0
"${vg[@]}" --suppressions="$here/octave.supp" --log-file="$log" "${octave[@]}" \
  --eval "addpath('$root/tests/octave'); adversarial('$build')" || status=$?
grep -E 'ERROR SUMMARY|definitely lost:|indirectly lost:|possibly lost:' "$log" | sed 's/^==[0-9]*== //' || true
if [ $status -ne 0 ] && grep -q 'valgrind: Unrecognised instruction' "$log" &&
   ! grep -A2 'valgrind: Unrecognised instruction' "$log" | grep -E 'vorla|\.mex' > /dev/null; then
  # Some processors run instructions that this valgrind cannot decode in Octave's own
  # libraries (RDTSCP in libhwy's start-up code, where the processor does not announce it):
  # Octave cannot start under valgrind there, which says nothing about vorla.
  grep -A2 'valgrind: Unrecognised instruction' "$log" | sed 's/^==[0-9]*== //' >&2
  # The scripts still run, without memcheck: their faults and the interrupt's exit status
  # show here, only the memory checking is lost.
  plain=0
  "${octave[@]}" --eval "addpath('$root/tests/octave'); adversarial('$build')" > "$build/adversarial-plain.log" 2>&1 ||
    { plain=1; tail -20 "$build/adversarial-plain.log" >&2; }
  # Training without a cap runs until interrupted; the classification call is over in a
  # second without valgrind, so its script is only parsed (octave_parse).
  istatus=0
  out=$("${octave[@]}" --eval "addpath('$root/tests/octave'); interrupted_call('$build', 'fit', 'INT', 3)" 2>&1) || istatus=$?
  # A batch on threads prints its texts only once its networks have ended: status 1 tells.
  if [ $istatus -ne 1 ] || { [ "$which" != batch ] && ! grep -q 'List presentation' <<< "$out"; }; then plain=1; fi
  [ $plain -eq 0 ] || { echo "the adversarial or interrupted-call script failed without valgrind" >&2; exit 1; }
  vorla_skip valgrind_octave "Octave itself cannot start under valgrind on this processor;" \
    "the adversarial script and an interrupted vorla_fit call passed without memcheck"
fi
if [ $status -ne 0 ]; then
  echo "the adversarial script failed under valgrind (exit $status)" >&2
  exit 1
fi
# A long call of each function stopped by SIGINT, as Ctrl-C stops it, and calls stopped by
# the signals that end Octave (SIGTERM, SIGHUP): Octave unwinds the call and leaves with
# status 1; the trace shows that the call was running.
logs=("$log")
for run in fit:INT eval:INT learn:INT learn:TERM fit:HUP batch:INT; do
  which=${run%:*}
  signal=${run#*:}
  ilog=$build/valgrind-memcheck-interrupted-$which-$signal.log
  logs+=("$ilog")
  istatus=0
  out=$("${vg[@]}" --suppressions="$here/octave.supp" --log-file="$ilog" "${octave[@]}" \
    --eval "addpath('$root/tests/octave'); interrupted_call('$build', '$which', '$signal')" 2>&1) || istatus=$?
  grep -E 'ERROR SUMMARY|definitely lost:|indirectly lost:|possibly lost:' "$ilog" | sed 's/^==[0-9]*== //'
  # A batch on threads prints its texts only once its networks have ended: status 1 tells.
  if [ $istatus -ne 1 ] || { [ "$which" != batch ] && ! grep -q 'List presentation' <<< "$out"; }; then
    echo "$which call stopped by SIG$signal: exit $istatus, expected 1 after a running call" >&2
    tail -5 <<< "$out" >&2
    exit 1
  fi
  echo "$which call ended by SIG$signal"
done
# Stack frames (" at 0x" / " by 0x") that name vorla's code or its MEX files.
for l in "${logs[@]}"; do
  if grep -E '^==[0-9]+== +(at|by) 0x' "$l" | grep -E 'vorla|\.mex' > /dev/null; then
    echo "valgrind records point into vorla (see $l):" >&2
    grep -B12 -A4 -E '^==[0-9]+== +(at|by) 0x.*(vorla|\.mex)' "$l" | head -80 >&2
    exit 1
  fi
done
echo "no valgrind record points into the vorla MEX files"
