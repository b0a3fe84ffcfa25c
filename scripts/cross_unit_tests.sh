#!/usr/bin/env bash
# Cross-compiles the engine and the stand-in unit tests for another platform: GoogleTest
# built from /usr/src/googletest with the same toolchain (once, cached in OUT/gtest), then
# the unit_tests target with -DVORLA_WERROR=ON and without the MEX files. Used by
# scripts/test_arm.sh and scripts/test_windows.sh.
#
#   scripts/cross_unit_tests.sh TOOLCHAIN_FILE OUT [CMAKE_ARGUMENT ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
toolchain=${1:?usage: $0 TOOLCHAIN_FILE OUT [CMAKE_ARGUMENT ...]}
out=${2:?usage: $0 TOOLCHAIN_FILE OUT [CMAKE_ARGUMENT ...]}
shift 2
jobs=$(nproc)

if [ ! -f "$out/gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$out/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out/gtest" -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$out/gtest-build" -j "$jobs" >/dev/null
  cmake --install "$out/gtest-build" >/dev/null
fi
cmake -S "$root" -B "$out/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DGTest_DIR="$out/gtest/lib/cmake/GTest" -DVORLA_WERROR=ON \
  -DVORLA_OCTAVE=OFF -DVORLA_MATLAB=OFF "$@" >/dev/null
cmake --build "$out/build" -j "$jobs" --target unit_tests
