#!/usr/bin/env bash
# The vorla demo in one command on a Debian machine:
#   sudo bash scripts/demo.sh [OUTDIR]
# installs what it needs (GNU Octave with its headers, the parallel package, the statistics package for
# Fisher's iris data, gnuplot and fonts for headless pictures, CMake and g++),
# builds the MEX files in build-demo/ and runs vorla_demo in octave-cli: a table
# of results on the circle-in-the-square task, scores on the iris data, and two
# pictures written to OUTDIR (default: doc/ of this repository).
# Root is needed only while packages are missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
outdir=${1:-$root/doc}
build=${VORLA_DEMO_BUILD:-$root/build-demo}

packages=(octave-dev octave-statistics octave-parallel gnuplot-nox fonts-freefont-otf cmake g++ make)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep 'install ok installed' > /dev/null || missing+=("$package")
done
if ((${#missing[@]})); then
  if ((EUID != 0)); then
    echo "demo.sh: missing packages: ${missing[*]}; run it as root: sudo bash scripts/demo.sh" >&2
    exit 1
  fi
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

mkdir -p "$build"
log="$build/demo-build.log"
echo "Building the MEX files in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORLA_TESTS=OFF > "$log" 2>&1 \
  || { cat "$log"; exit 1; }
cmake --build "$build" --target vorla_fit vorla_eval -j "$(nproc)" >> "$log" 2>&1 \
  || { cat "$log"; exit 1; }

mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)
cd "$root"
# Octave 7 may print a harmless "ignoring const execution_exception" line on exit.
octave-cli --no-gui --norc --eval "addpath ('$build'); vorla_demo ('$outdir'); exit (0);" 2>&1 \
  | { grep -v '^error: ignoring const execution_exception& while preparing to exit$' || true; }
