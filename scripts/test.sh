#!/usr/bin/env bash
# Builds and runs every test: the normal build (stand-in host unit tests and the Octave
# tests against the built MEX files), then the stand-in tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer. Run from anywhere; build folders go under build-ci/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VORLA_TEST_BUILD:-$root/build-ci}
jobs=$(nproc)

echo "== sanitizer build (clang, ASan + UBSan) =="
cmake -S "$root" -B "$out/asan" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORLA_SANITIZE=ON -DVORLA_WERROR=ON >/dev/null
cmake --build "$out/asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$out/asan" -j "$jobs" --output-on-failure

if [ -x "$root/scripts/fuzz.sh" ]; then
  echo "== fuzzing (bounded) =="
  "$root/scripts/fuzz.sh" --ci
fi

"$root/scripts/test_arm.sh"

status=0
"$root/scripts/test_windows.sh" || status=$?
if [ "$status" -eq 77 ]; then
  echo "== Windows unit tests SKIPPED (see above) =="
elif [ "$status" -ne 0 ]; then
  exit "$status"
fi

echo "== build and all tests (GCC, Octave MEX files) =="
cmake -S "$root" -B "$out/main" -DCMAKE_BUILD_TYPE=Release -DVORLA_WERROR=ON >/dev/null
cmake --build "$out/main" -j "$jobs"
ctest --test-dir "$out/main" -j "$jobs" --output-on-failure
