#!/usr/bin/env bash
# Makes the Octave package archive vorla-<version>.tar.gz from this working tree:
# the package files, the .m files (help, self-tests, helpers, demo) in inst/, and
# the C++ sources with the Makefile that builds the MEX files in src/.
#
#   bash scripts/make_package.sh [OUTDIR]      (OUTDIR defaults to the current folder)
#
# Install it in Octave with:  pkg install vorla-<version>.tar.gz
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
outdir=$(mkdir -p "${1:-.}" && cd "${1:-.}" && pwd)
version=$(sed -n 's/^Version: *//p' "$root/package/DESCRIPTION")
date=$(sed -n 's/^Date: *//p' "$root/package/DESCRIPTION")
name="vorla-$version"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top="$stage/$name"
mkdir -p "$top/inst" "$top/src"
cp "$root/package/DESCRIPTION" "$root/package/COPYING" "$root/package/INDEX" "$root/package/NEWS" "$top/"
cp "$root"/octave/*.m "$top/inst/"
mkdir "$top/inst/private"
cp "$root"/octave/private/*.m "$top/inst/private/"
# help vorla reads the overview from vorla.m: the install folder is not named vorla.
cp "$root/octave/Contents.m" "$top/inst/vorla.m"
cp "$root"/package/src/* "$top/src/"
for part in common fit eval learn score; do
  mkdir "$top/src/$part"
  cp "$root/$part"/*.cpp "$root/$part"/*.h "$top/src/$part/"
done
cp "$root/common/exports.map" "$top/src/common/"

# The same tree gives the same archive: fixed order, owner and times.
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="$date 00:00:00 UTC" \
    -C "$stage" -cf - "$name" | gzip -n -9 > "$outdir/$name.tar.gz"
echo "$outdir/$name.tar.gz"
