#!/usr/bin/env bash
# One Ctrl-C in an interactive octave-cli ends a long vorla_fit and a long vorla_eval: the
# prompt is back within a second of the key press, the interrupt is not caught by a
# try/catch around the call (as for Octave's own functions), a variable set before the call
# is still there, no output was assigned, and the next call works.
#
#   tests/octave/interrupt_test.sh BUILD_DIR      BUILD_DIR holds vorla_fit.mex and vorla_eval.mex
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
command -v tmux > /dev/null || apt-get install -y tmux > /dev/null
session=vorla_interrupt_$$
limit_ms=${VORLA_INTERRUPT_LIMIT_MS:-1000}
trap 'tmux kill-session -t "$session" 2> /dev/null || true' EXIT

now_ms() { date +%s%3N; }
screen() { tmux capture-pane -p -J -S -200 -t "$session"; }
# Waits up to $2 seconds for the screen to show text matching $1.
wait_for() {
  local deadline=$(( $(now_ms) + $2 * 1000 ))
  until screen | grep -qE -- "$1"; do
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
    until screen | grep -qF -- "${text:0:40}"; do
      [ "$(now_ms)" -gt "$deadline" ] && break
      sleep 0.05
    done
    if screen | grep -qF -- "${text:0:40}"; then
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
  if screen | grep -qE "octave:$((n + 1))> $"; then
    echo "the call ended by itself before Ctrl-C: $call" >&2
    screen >&2
    exit 1
  fi
  local pressed
  pressed=$(now_ms)
  tmux send-keys -t "$session" C-c
  local deadline=$((pressed + 30000))
  until screen | grep -qE "octave:$((n + 1))> $"; do
    if [ "$(now_ms)" -gt "$deadline" ]; then
      echo "no prompt 30 s after Ctrl-C: $call" >&2
      screen >&2
      exit 1
    fi
    sleep 0.02
  done
  local took=$(( $(now_ms) - pressed ))
  echo "prompt back $took ms after Ctrl-C: $call"
  if screen | grep -qE '^(caught:|after the try)'; then
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
wait_for 'next fit=' 60
screen | grep -q 'keep=42 fitted=0' || { echo "workspace not as before the call" >&2; screen >&2; exit 1; }
screen | grep -qF 'next fit=[0.2 0.2 1;0.6 0.6 2;1 0 0]' || { echo "the next vorla_fit went wrong" >&2; screen >&2; exit 1; }
wait_for 'octave:5> $' 60

interrupt "pred = vorla_eval(TE, NE, 16, 0, 0.001, 1, PE, -1, 0)" 5
type_line "printf('keep=%d predicted=%d\\n', keep, exist('pred', 'var')); p2 = vorla_eval(T2, NL2, 1, 0, 0.001, 0, [0.1; 0.7], -1, 0); printf('next eval=%s\\n', mat2str(p2'))"
wait_for 'next eval=' 60
screen | grep -q 'keep=42 predicted=0' || { echo "workspace not as before the call" >&2; screen >&2; exit 1; }
screen | grep -qF 'next eval=[1 2]' || { echo "the next vorla_eval went wrong" >&2; screen >&2; exit 1; }
echo "1 passed, 0 failed"
