# Sourced by test runners. vorla_skip NAME REASON... says why NAME cannot run on this
# machine, records it in $VORLA_SKIP_LOG (set by scripts/test.sh, which lists the
# records at the end of the run) and exits 77, ctest's skip code. A runner that skips
# first runs what it can of its check another way and puts that in REASON.
vorla_skip() {
  local name=$1
  shift
  echo "skipped: $*"
  if [ -n "${VORLA_SKIP_LOG:-}" ]; then
    echo "$name: $*" >> "$VORLA_SKIP_LOG"
  fi
  exit 77
}
