#!/usr/bin/env bash
# A parameter sweep split over a cluster of the parallel package, with the cluster's
# one server on this machine over the loopback interface: each server runs
# vorla_crossval for some of the settings, and the parts must equal one vorla_crossval
# over the whole grid. When the package's server is missing or the cluster ports are taken,
# the parts run in this process instead and the script exits 77 (skipped).
#
#   tests/cluster/run.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
server=/usr/libexec/octave-pserver
. "$here/../skip.sh"
# Without a cluster the parts of the sweep run in this process: they must still equal the
# whole grid; only the transport is left unchecked.
local_sweep() {
  octave-cli --no-gui --norc --no-history --quiet \
    --eval "addpath('$build'); addpath('$here'); cluster_sweep('$build', true)" || exit 1
  vorla_skip octave_cluster "$1; the parts of the sweep ran in this process and equal the whole grid"
}
[ -x "$server" ] || local_sweep "octave-pserver not found"
# The client always uses the default ports 12501 and 12502.
if ss -ltn | grep -E ':(12501|12502)\b' > /dev/null; then
  local_sweep "cluster ports 12501/12502 in use"
fi

# The server refuses to run as root; then it runs as nobody (it must read BUILD_DIR).
as_user=()
if ((EUID == 0)); then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
pidfile=/tmp/.octave-$(hostname).pid
rm -f "$pidfile" 2> /dev/null || true
(cd /tmp && "${as_user[@]}" "$server" --octave-binary="$(command -v octave-cli)" --no-auth)
for _ in $(seq 50); do
  ss -ltn | grep ':12502\b' > /dev/null && [ -s "$pidfile" ] && break
  sleep 0.1
done
pid=$(cat "$pidfile")
trap 'kill "$pid" 2> /dev/null || true' EXIT

octave-cli --no-gui --norc --no-history --quiet \
  --eval "addpath('$build'); addpath('$here'); cluster_sweep('$build')"
