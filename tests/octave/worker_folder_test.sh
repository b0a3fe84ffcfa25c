#!/usr/bin/env bash
# Worker processes of 'Parallel' whatever the names of their folders: for each name below,
# TMPDIR (the task folders) and the folder holding a copy of the build's functions and MEX
# files are named with it, and Octave starts in that copy. worker_folder_check.m runs there;
# a command hidden in a name must not run.
#
#   tests/octave/worker_folder_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
names=('dollar$(touch ran-dollar)' 'backquote`touch ran-backquote`' 'double"quote' "single'quote"
       'back\slash' 'a space' $'new\nline' 'glob[a]*?')
failed=0
for name in "${names[@]}"; do
  folder="$work/$name"
  mkdir -p "$folder/tmp" "$folder/vorla"
  cp "$build"/*.m "$build"/*.mex "$folder/vorla/"
  cp -r "$build/private" "$folder/vorla/"
  # The test's way to the private run_tasks: a function beside it may call it.
  printf 'function out = vorla_test_run_tasks (varargin)\n  out = run_tasks (varargin{:});\nend\n' \
    > "$folder/vorla/vorla_test_run_tasks.m"
  if (cd "$folder/vorla" && VORLA_TEST_COPY="$folder/vorla" TMPDIR="$folder/tmp" \
      octave-cli --no-gui --norc --no-history --quiet --eval "addpath('$here'); worker_folder_check ()") \
      > "$work/log" 2>&1; then
    echo "ok $(printf '%q' "$name")"
  else
    echo "FAIL $(printf '%q' "$name")"; grep -v "ignoring const execution_exception" "$work/log" || true; failed=1
  fi
  ran=$(find "$work" -name 'ran-*')
  if [ -n "$ran" ]; then
    echo "FAIL $(printf '%q' "$name"): a command in the name ran: $ran"; failed=1
    find "$work" -name 'ran-*' -delete
  fi
done
[ "$failed" = 0 ] && echo "${#names[@]} passed, 0 failed" || echo "failed"
exit "$failed"
