#!/usr/bin/env bash
# A MEX library exports mexFunction and nothing else, and carries the version stamp.
set -euo pipefail
lib=$1
exports=$(nm -D --defined-only "$lib" | awk '{print $3}')
if [ "$exports" != "mexFunction" ]; then
  echo "$lib exports: $exports"
  exit 1
fi
for stamp in "MATLAB 5.1 native" "not inlined"; do
  strings "$lib" | grep -x "$stamp" >/dev/null || { echo "$lib lacks the stamp '$stamp'"; exit 1; }
done
echo "$lib: exports only mexFunction, stamp present"
