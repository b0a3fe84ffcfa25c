#!/usr/bin/env bash
# One Ctrl-C in an interactive octave-cli ends a long vorla_fit, vorla_eval, vorla_score (on
# two threads) and vorla_learn batch (on two threads): the
# prompt is back within a second of the key press, the interrupt is not caught by a
# try/catch around the call (as for Octave's own functions), a variable set before the call
# is still there, no output was assigned, and the next call works.
# Then the signals that end Octave: SIGTERM (sent by timeout) and SIGHUP end a never-ending
# vorla_fit, vorla_learn (also a batch on threads), vorla_eval and vorla_score in Octave run with --eval within a second, Octave
# ends as it does for the signal ("fatal: caught signal ..."), and no Octave is left; a
# worker process that ends during a call (SIGCHLD) does not end the call. Octave saves its
# workspace to octave-workspace on the way out, also under --norc, unless
# crash_dumps_octave_core (false) was called.
#
#   tests/octave/interrupt_test.sh BUILD_DIR      BUILD_DIR holds the MEX files
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
command -v tmux > /dev/null || apt-get install -y tmux > /dev/null
session=vorla_interrupt_$$
limit_ms=${VORLA_INTERRUPT_LIMIT_MS:-1000}
# Octave saves its workspace where it stands when a signal ends it: a folder of our own.
work=$(mktemp -d)
trap 'tmux kill-session -t "$session" 2> /dev/null || true; rm -rf "$work"' EXIT

now_ms() { date +%s%3N; }
screen() { tmux capture-pane -p -J -S -200 -t "$session"; }
# Waits up to $2 seconds for the screen to show text matching $1.
wait_for() {
  local deadline=$(( $(now_ms) + $2 * 1000 ))
  until screen | grep -E -- "$1" > /dev/null; do
    if [ "$(now_ms)" -gt "$deadline" ]; then
      echo "timed out waiting for: $1" >&2
      screen >&2
      exit 1
    fi
    sleep 0.05
  done
}
# Types a line and presses Enter once the line shows: keys typed while Octave is still
# setting up its terminal can be lost, and are then typed again. The trailing blank keeps
# tmux from reading a final ";" as its own command separator.
type_line() {
  local text="$1 " try deadline
  for try in 1 2 3; do
    tmux send-keys -t "$session" -l -- "$text"
    deadline=$(( $(now_ms) + 5000 ))
    until screen | grep -F -- "${text:0:40}" > /dev/null; do
      [ "$(now_ms)" -gt "$deadline" ] && break
      sleep 0.05
    done
    if screen | grep -F -- "${text:0:40}" > /dev/null; then
      tmux send-keys -t "$session" Enter
      return
    fi
    tmux send-keys -t "$session" C-u
  done
  echo "could not type: $1" >&2
  screen >&2
  exit 1
}

tmux new-session -d -s "$session" -x 220 -y 50 \
  "octave-cli --no-gui --norc --no-history --quiet --interactive; sleep 30"
# Start-up on a loaded machine may be slow.
wait_for 'octave:1> $' 120
type_line "addpath('$build'); keep = 42; rand('seed', 1); P = rand(3000, 4); L = 1 + (rand(3000, 1) > 0.5); P(2:2:end, :) = P(1:2:end, :); PE = rand(400000, 16);"
wait_for 'octave:2> $' 60
# 20000 distinct boxes whose sizes all stay under D, so that every one can pass and no search
# index shortens the classification that Ctrl-C is to end.
type_line "[T, NL, LP] = vorla_fit([0.2 0.3; 0.6 0.7], [1; 2], 2, 0, 0.001, 1, 100, 0, 0, 0); TE = repmat(T, 10000, 1); NE = repmat(NL, 10000, 1); TE(:, 3:4) = TE(:, 3:4) + 1e-5 * (1:20000)'; TE = [TE(:, 1:2), zeros(20000, 14), TE(:, 3:4), ones(20000, 14)];"
wait_for 'octave:3> $' 60

# One Ctrl-C during the call; $1 is the call, $2 the prompt number before it.
interrupt() {
  local call=$1 n=$2
  type_line "try, $call; catch err, disp(['caught: ' err.message]), end, disp('after the try')"
  # The call must still be running after 3 s (it would take minutes).
  sleep 3
  if screen | grep -E "octave:$((n + 1))> $" > /dev/null; then
    echo "the call ended by itself before Ctrl-C: $call" >&2
    screen >&2
    exit 1
  fi
  local pressed
  pressed=$(now_ms)
  tmux send-keys -t "$session" C-c
  local deadline=$((pressed + 30000))
  until screen | grep -E "octave:$((n + 1))> $" > /dev/null; do
    if [ "$(now_ms)" -gt "$deadline" ]; then
      echo "no prompt 30 s after Ctrl-C: $call" >&2
      screen >&2
      exit 1
    fi
    sleep 0.02
  done
  local took=$(( $(now_ms) - pressed ))
  echo "prompt back $took ms after Ctrl-C: $call"
  if screen | grep -E '^(caught:|after the try)' > /dev/null; then
    echo "the interrupt was caught by the try/catch or the line went on" >&2
    screen >&2
    exit 1
  fi
  if [ "$took" -gt "$limit_ms" ]; then
    echo "took more than $limit_ms ms" >&2
    exit 1
  fi
}

interrupt "[T1, NL1, LP1] = vorla_fit(P, L, 4, 0.2, 0.001, 0.5, Inf, 0, 0, 0)" 3
type_line "printf('keep=%d fitted=%d\\n', keep, exist('T1', 'var')); [T2, NL2, LP2] = vorla_fit([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 100, 0, 0, 0); printf('next fit=%s\\n', mat2str([T2, NL2; LP2, 0, 0]))"
wait_for 'next fit=\[' 60
screen | grep 'keep=42 fitted=0' > /dev/null || { echo "workspace not as before the call" >&2; screen >&2; exit 1; }
screen | grep -F 'next fit=[0.2 0.2 1;0.6 0.6 2;1 0 0]' > /dev/null || { echo "the next vorla_fit went wrong" >&2; screen >&2; exit 1; }
wait_for 'octave:5> $' 60

interrupt "pred = vorla_eval(TE, NE, 16, 0, 0.001, 1, PE, -1, 0)" 5
type_line "printf('keep=%d predicted=%d\\n', keep, exist('pred', 'var')); p2 = vorla_eval(T2, NL2, 1, 0, 0.001, 0, [0.1; 0.7], -1, 0); printf('next eval=%s\\n', mat2str(p2'))"
wait_for 'next eval=\[' 60
screen | grep 'keep=42 predicted=0' > /dev/null || { echo "workspace not as before the call" >&2; screen >&2; exit 1; }
screen | grep -F 'next eval=[1 2]' > /dev/null || { echo "the next vorla_eval went wrong" >&2; screen >&2; exit 1; }
wait_for 'octave:7> $' 60

# Two threads share the patterns; only the calling thread polls, and the workers stop.
interrupt "sc = vorla_score(TE, NE, 16, 0, 0.001, 1, PE, 2, 2)" 7
type_line "printf('keep=%d scored=%d\\n', keep, exist('sc', 'var')); s2 = vorla_score(T2, NL2, 1, 0, 0.001, 0, [0.1; 0.7], 2, 2); printf('next score=%s\\n', mat2str(s2 > 0.5))"
wait_for 'next score=\[' 60
screen | grep 'keep=42 scored=0' > /dev/null || { echo "workspace not as before the call" >&2; screen >&2; exit 1; }
screen | grep -F 'next score=[true false;false true]' > /dev/null || { echo "the next vorla_score went wrong" >&2; screen >&2; exit 1; }
wait_for 'octave:9> $' 60

# A batch on two threads: the calling thread sees Ctrl-C and the workers stop.
interrupt "[TB, NB, LB] = vorla_learn(P, L, 4, 0.2, 0.001, 0.5, Inf, 0, 0, 0, 0, 0, [], [], {1:3000, 3000:-1:1, 1:2:3000}, 2)" 9
type_line "printf('keep=%d batch=%d\\n', keep, exist('TB', 'var'))"
wait_for 'keep=42 batch=0' 60

batch=(octave-cli --no-gui --norc --no-history --quiet)
# Every Octave started below carries this mark, so that none can be left unnoticed.
mark="vorla_signal_test_$$"
setup="$mark = 1; addpath('$build'); rand('seed', 1); P = rand(3000, 4); L = 1 + (rand(3000, 1) > 0.5); P(2:2:end, :) = P(1:2:end, :);"
# Pairs of equal patterns with different labels never settle, and Inf is no cap. The eval
# call measures 20000 boxes that no search index shortens against 400000 patterns; its
# workspace is too large to be worth saving on the way out.
declare -A never=(
  [vorla_fit]="[T, NL, LP] = vorla_fit(P, L, 4, 0.2, 0.001, 0.5, Inf, 0, 0, 0)"
  [vorla_learn]="[T, NL, LP, H] = vorla_learn(P, L, 4, 0.2, 0.001, 0.5, Inf, 0, 0, 0, 0, 1, [], [])"
  [vorla_learn_batch]="[T, NL, LP, H] = vorla_learn(P, L, 4, 0.2, 0.001, 0.5, Inf, 0, 0, 0, 0, 1, [], [], {1:3000, 3000:-1:1}, 2)"
  [vorla_eval]="sigterm_dumps_octave_core(false); sighup_dumps_octave_core(false); [T0, NL0, LP0] = vorla_fit([0.2 0.3; 0.6 0.7], [1; 2], 2, 0, 0.001, 1, 100, 0, 0, 0); TE = repmat(T0, 10000, 1); TE(:, 3:4) = TE(:, 3:4) + 1e-5 * (1:20000)'; TE = [TE(:, 1:2), zeros(20000, 14), TE(:, 3:4), ones(20000, 14)]; pred = vorla_eval(TE, repmat(NL0, 10000, 1), 16, 0, 0.001, 1, rand(400000, 16), -1, 0)"
  [vorla_score]="sigterm_dumps_octave_core(false); sighup_dumps_octave_core(false); [T0, NL0, LP0] = vorla_fit([0.2 0.3; 0.6 0.7], [1; 2], 2, 0, 0.001, 1, 100, 0, 0, 0); TE = repmat(T0, 10000, 1); TE(:, 3:4) = TE(:, 3:4) + 1e-5 * (1:20000)'; TE = [TE(:, 1:2), zeros(20000, 14), TE(:, 3:4), ones(20000, 14)]; sc = vorla_score(TE, repmat(NL0, 10000, 1), 16, 0, 0.001, 1, rand(400000, 16), 2, 2)"
)
names=(vorla_fit vorla_learn vorla_learn_batch vorla_eval vorla_score)

# The Octave processes of this test still running, by their mark.
left_over() { pgrep -f "$mark" || true; }

# $1 the function, $2 the signal name, $3 the folder, $4 Octave's exit status; checks that
# Octave ended as it does for the signal during its own functions (status 1), not by a crash.
check_ended() {
  local out=$3/out
  if [ "$4" != 1 ]; then echo "Octave ended with status $4 after SIG$2 during $1" >&2; cat "$out" >&2; exit 1; fi
  if ! grep -q '^calling' "$out"; then echo "$1 was not running when SIG$2 came" >&2; cat "$out" >&2; exit 1; fi
  if grep -q 'the call returned' "$out"; then echo "$1 returned after SIG$2" >&2; cat "$out" >&2; exit 1; fi
  local word=Terminated
  [ "$2" = HUP ] && word=Hangup
  grep -q "fatal: caught signal $word" "$out" || { echo "Octave did not end for SIG$2 during $1" >&2; cat "$out" >&2; exit 1; }
  local pids
  pids=$(left_over)
  if [ -n "$pids" ]; then
    echo "an Octave is left after SIG$2 during $1: $pids" >&2
    for pid in $pids; do kill -KILL "$pid" 2> /dev/null || true; done
    exit 1
  fi
}

for name in "${names[@]}"; do
  # timeout sends SIGTERM after 5 s and waits for Octave to end.
  dir=$work/term-$name
  mkdir "$dir"
  start=$(now_ms)
  status=0
  (cd "$dir" && timeout --preserve-status -s TERM 5 "${batch[@]}" --eval "$setup disp('calling'); ${never[$name]}; disp('the call returned')" > out 2>&1) || status=$?
  took=$(( $(now_ms) - start ))
  check_ended "$name" TERM "$dir" "$status"
  echo "timeout -s TERM 5 ended $name after $took ms"
  [ "$took" -le 7000 ] || { echo "more than 7 s" >&2; exit 1; }

  dir=$work/hup-$name
  mkdir "$dir"
  (cd "$dir" && exec "${batch[@]}" --eval "$setup disp('calling'); ${never[$name]}; disp('the call returned')" > out 2>&1) &
  pid=$!
  deadline=$(( $(now_ms) + 60000 ))
  until grep -q '^calling' "$dir/out"; do
    [ "$(now_ms)" -gt "$deadline" ] && { echo "$name did not start" >&2; kill -KILL "$pid"; exit 1; }
    sleep 0.05
  done
  sleep 2
  sent=$(now_ms)
  kill -HUP "$pid"
  deadline=$(( sent + 30000 ))
  while kill -0 "$pid" 2> /dev/null; do
    [ "$(now_ms)" -gt "$deadline" ] && { echo "Octave still runs 30 s after SIGHUP during $name" >&2; kill -KILL "$pid"; exit 1; }
    sleep 0.02
  done
  took=$(( $(now_ms) - sent ))
  status=0
  wait "$pid" || status=$?
  check_ended "$name" HUP "$dir" "$status"
  echo "Octave ended $took ms after SIGHUP during $name"
  [ "$took" -le "$limit_ms" ] || { echo "took more than $limit_ms ms" >&2; exit 1; }
done

# What the documentation says of the workspace Octave saves on the way out: by default it
# writes octave-workspace into the working folder, and crash_dumps_octave_core (false) keeps
# it from doing so.
[ -f "$work/term-vorla_fit/octave-workspace" ] || { echo "SIGTERM saved no octave-workspace" >&2; exit 1; }
dir=$work/term-no-core
mkdir "$dir"
status=0
(cd "$dir" && timeout --preserve-status -s TERM 5 "${batch[@]}" --eval "crash_dumps_octave_core (false); $setup disp('calling'); ${never[vorla_fit]}; disp('the call returned')" > out 2>&1) || status=$?
check_ended vorla_fit TERM "$dir" "$status"
[ ! -e "$dir/octave-workspace" ] || { echo "crash_dumps_octave_core (false) did not keep octave-workspace from being written" >&2; exit 1; }
echo "crash_dumps_octave_core (false): no octave-workspace after SIGTERM"

# Worker processes that end while training runs (about 3 s) leave it running to its end.
dir=$work/chld
mkdir "$dir"
(cd "$dir" && "${batch[@]}" --eval "$setup for k = 1:3, system(sprintf('sleep %g', 0.3 * k), false, 'async'); end; [T, NL, LP, H] = vorla_learn(P, L, 4, 0.2, 0.001, 0.5, 40, 0, 0, 0, 0, 0, [], []); printf('returned after %d presentations\\n', LP)" > out 2>&1) || true
grep -q 'returned after 40 presentations' "$dir/out" || { echo "a worker's end stopped the call" >&2; cat "$dir/out" >&2; exit 1; }
echo "1 passed, 0 failed"
