#!/usr/bin/env bash
# The Windows path: cross-compiles the engine and the stand-in unit tests with Debian's
# MinGW-w64 (the compiler MATLAB offers on Windows; GoogleTest built from /usr/src/googletest
# with the same toolchain, everything linked statically; scripts/cross_unit_tests.sh) and runs
# the unit tests once under wine64. Where wine cannot start a program on this machine, it says
# so and exits with 77, which scripts/test.sh reports as a skip. Build folders go under
# build-ci/windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VORLA_TEST_BUILD:-$root/build-ci}/windows

echo "== Windows cross-build (MinGW-w64, unit tests under wine64) =="
# Tests are listed when ctest runs, not after the build: the build needs no wine.
"$root/scripts/cross_unit_tests.sh" "$root/cmake/x86_64-w64-mingw32.cmake" "$out" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST

export WINEDEBUG=-all WINEPREFIX=$out/wineprefix
# Debian installs wine64 outside PATH.
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
if [ ! -x "$wine64" ] || ! "$wine64" cmd /c exit >/dev/null 2>&1; then
  echo "SKIPPED: wine64 cannot start a Windows program on this machine; the unit tests were built, not run"
  exit 77
fi
# One process for all tests, as on ARM. Wine runs the code at native speed, so the long
# counter test that the ARM step leaves to the native builds runs here too.
"$wine64" "$out/build/tests/unit_tests.exe" --gtest_brief=1
