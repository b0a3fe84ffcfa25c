#!/usr/bin/env bash
# A parameter sweep split over a cluster of the parallel package, with the cluster's
# one server on this machine over the loopback interface: each server runs
# vorla_crossval for some of the settings, and the parts must equal one vorla_crossval
# over the whole grid. Exits 77 (skipped) when the package or its server is missing or
# the cluster ports are taken.
#
#   tests/cluster/run.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
server=/usr/libexec/octave-pserver
[ -x "$server" ] || { echo "octave-pserver not found: skipped"; exit 77; }
# The client always uses the default ports 12501 and 12502.
if ss -ltn | grep -Eq ':(12501|12502)\b'; then
  echo "cluster ports 12501/12502 in use: skipped"
  exit 77
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
  ss -ltn | grep -q ':12502\b' && [ -s "$pidfile" ] && break
  sleep 0.1
done
pid=$(cat "$pidfile")
trap 'kill "$pid" 2> /dev/null || true' EXIT

octave-cli --no-gui --norc --no-history --quiet \
  --eval "addpath('$build'); addpath('$here'); cluster_sweep('$build')"
