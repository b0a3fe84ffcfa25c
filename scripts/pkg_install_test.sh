#!/usr/bin/env bash
# Builds the package archive from this working tree, installs it with Octave's pkg
# into a temporary prefix and runs its tests there (pkg compiles the MEX files:
# some 10 to 30 seconds).
#
#   bash scripts/pkg_install_test.sh [BUILDDIR]
# With BUILDDIR (holding the MEX files of a build) the installed functions must
# also give the same results as that build's, bit for bit.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
builddir=()
if (($#)); then
  builddir=("$(cd "$1" && pwd)")
fi
archive=$(bash "$root/scripts/make_package.sh" "$work")
# The README's install commands must name the archive that the script writes.
name=$(basename "$archive")
stale=$(grep -o 'vorla-[0-9][0-9.]*[0-9]\.tar\.gz' "$root/README.md" | grep -vxF "$name" || true)
if [[ -n $stale ]]; then
  echo "README.md names ${stale//$'\n'/, } but scripts/make_package.sh writes $name" >&2
  exit 1
fi
cd "$work"
octave-cli --no-gui --norc "$root/scripts/pkg_install_check.m" "$archive" "$work" "${builddir[@]}"
