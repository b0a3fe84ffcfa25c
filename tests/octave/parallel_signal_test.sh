#!/usr/bin/env bash
# A signal that ends Octave ends a parallel call of the model layer and every worker process
# it started: SIGTERM from timeout (sent to the whole process group, workers included), SIGHUP
# to Octave alone, two SIGTERMs in quick succession, and SIGINT to the group as a terminal's
# Ctrl-C sends it. Octave must be gone within 7 s of the signal, and no worker process
# (running or defunct) nor task folder is left; and timeout -s TERM 5 around a never-ending
# vorla_train with 'Parallel' ends it within 7 s.
# A SIGCHLD, which every worker that ends sends, must not end the call: the finished run
# checks that too.
#
#   tests/octave/parallel_signal_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
work=$(mktemp -d)
# However the test ends (a failure exits at once), no worker or Octave of it is left running.
leave_nothing() {
  workers_left | awk '{print $1}' | xargs -r kill -KILL 2> /dev/null || true
  pkill -KILL -P $$ 2> /dev/null || true
  rm -rf "$work"
}
trap leave_nothing EXIT
cd "$work"
export TMPDIR="$work/tmp"
mkdir "$TMPDIR"
# Small tasks go to workers at once; conflicting twins under the strict rule never converge,
# so the second setting's folds run for many minutes (cap 10^6) in this process and in the
# worker alike.
export VORLA_WORKER_COST=0
never="addpath('$build'); rand('seed', 1); P = rand(4000, 3); P(2:2:end,:) = P(1:2:end,:); L = 1 + mod((1:4000)', 2);
       vorla_crossval(P, L, 'KFold', 4, 'MatchTracking', 'strict', 'MaxPresentations', [1 1e6], 'Parallel', true, 'Display', 'final');"
failed=0

now_ms() { date +%s%3N; }
# A worker is known by its environment, which names its task folder under $TMPDIR.
workers_left() {
  local environ
  for environ in /proc/[0-9]*/environ; do
    if grep -qzF "VORLA_TASK_FOLDER=$TMPDIR/" "$environ" 2> /dev/null; then
      ps -o pid=,stat=,args= -p "$(basename "$(dirname "$environ")")" || true
    fi
  done
}

check_end() {  # $1 name, $2 ms at the signal, $3 pid
  while kill -0 "$3" 2> /dev/null; do
    if [ $(( $(now_ms) - $2 )) -gt 7000 ]; then
      echo "FAIL $1: Octave still running 7 s after the signal"; failed=1
      pkill -KILL -P "$3" 2> /dev/null || true
      kill -KILL "$3" 2> /dev/null || true
      break
    fi
    sleep 0.1
  done
  local elapsed=$(( $(now_ms) - $2 ))
  sleep 0.5
  local left
  left=$(workers_left)
  if [ -n "$left" ]; then
    echo "FAIL $1: processes left: $left"; failed=1
    echo "$left" | awk '{print $1}' | xargs -r kill -KILL 2> /dev/null || true
  elif [ -n "$(ls -A "$TMPDIR")" ]; then
    echo "FAIL $1: task folders left: $(ls "$TMPDIR")"; failed=1
    rm -rf "${TMPDIR:?}"/*
  else
    echo "ok $1: ended $elapsed ms after the signal, nothing left"
  fi
}

# Waits until the workers are running and the call is past its first setting, or the workers
# have run for 5 s: Octave prints a setting's line between its own tasks, so where it took a
# task of the second setting (which never ends) before the first setting's last result came
# in, it prints nothing more, and under load that happens.
wait_running() {  # $1 log file
  local deadline=$(( $(now_ms) + 400000 ))  # minutes under load: the first setting trains and searches four folds
  local running_since=0
  until grep -q "setting 1 of 2" "$1" && [ -n "$(workers_left)" ]; do
    if [ -n "$(workers_left)" ]; then
      [ "$running_since" -gt 0 ] || running_since=$(now_ms)
      [ $(( $(now_ms) - running_since )) -lt 5000 ] || break
    fi
    if [ "$(now_ms)" -gt "$deadline" ]; then
      echo "FAIL: the call never started its workers"; cat "$1"; exit 1
    fi
    sleep 0.1
  done
  sleep 2
}

# SIGTERM from timeout, to the whole group: timeout passes the TERM it gets on to the group.
# Its own limit only guards against a call that never ends: under load the first setting
# took more than 10 s, and timeout ended the call before the signal could be sent.
set +e
timeout -s TERM 600 octave-cli --no-gui --norc --no-history --quiet --eval "$never" > term.log 2>&1 &
runner=$!
wait_running term.log
signal_ms=$(now_ms)
kill -TERM "$runner"
check_end "SIGTERM from timeout" "$signal_ms" "$runner"
wait "$runner"
set -e

# SIGHUP to Octave alone: it must end its workers itself.
octave-cli --no-gui --norc --no-history --quiet --eval "$never" > hup.log 2>&1 &
main=$!
wait_running hup.log
signal_ms=$(now_ms)
kill -HUP "$main"
check_end "SIGHUP to Octave alone" "$signal_ms" "$main"

# Two SIGTERMs a few ms apart, as timeout sends them (to Octave, then to its group): the
# second comes while the first's cleanup runs, and Octave stops that cleanup short.
octave-cli --no-gui --norc --no-history --quiet --eval "$never" > twice.log 2>&1 &
main=$!
wait_running twice.log
signal_ms=$(now_ms)
kill -TERM "$main"; sleep 0.003; kill -TERM "$main" 2> /dev/null || true
check_end "two SIGTERMs during the cleanup" "$signal_ms" "$main"

# SIGINT to the group, as Ctrl-C in a terminal.
setsid octave-cli --no-gui --norc --no-history --quiet --eval "$never" > int.log 2>&1 &
main=$!
wait_running int.log
signal_ms=$(now_ms)
kill -INT -- "-$main"
check_end "SIGINT to the group" "$signal_ms" "$main"

# As a batch job would: timeout -s TERM 5 around a never-ending vorla_train with voters in
# parallel (its first voter runs in Octave, timed, before any worker starts).
started=$(now_ms)
timeout -s TERM 5 octave-cli --no-gui --norc --no-history --quiet --eval "addpath('$build'); rand('seed', 1);
  P = rand(4000, 3); P(2:2:end,:) = P(1:2:end,:); L = 1 + mod((1:4000)', 2);
  vorla_train(P, L, 'MatchTracking', 'strict', 'MaxPresentations', 1e6, 'Voters', 3, 'Parallel', true);" \
  > train.log 2>&1 || true
elapsed=$(( $(now_ms) - started ))
if [ "$elapsed" -gt 7000 ] || [ -n "$(workers_left)" ] || [ -n "$(ls -A "$TMPDIR")" ]; then
  echo "FAIL timeout -s TERM 5 around vorla_train: $elapsed ms, left: $(workers_left) $(ls "$TMPDIR")"; failed=1
else
  echo "ok timeout -s TERM 5 around vorla_train: ended after $elapsed ms, nothing left"
fi

# A parallel call whose workers end one by one (each a SIGCHLD) runs to its end.
octave-cli --no-gui --norc --no-history --quiet --eval "addpath('$build'); rand('seed', 1); P = rand(600, 3); L = 1 + (sum(P, 2) > 1.5);
  a = vorla_crossval(P, L, 'Vigilance', [0 0.5 0.8], 'Parallel', true); b = vorla_crossval(P, L, 'Vigilance', [0 0.5 0.8]);
  [a.Time] = b.Time; exit(! isequal(a, b));" > chld.log 2>&1 && echo "ok SIGCHLD of ending workers" \
  || { echo "FAIL SIGCHLD of ending workers"; cat chld.log; failed=1; }

[ "$failed" = 0 ] && echo "6 passed, 0 failed" || echo "failed"
exit "$failed"
