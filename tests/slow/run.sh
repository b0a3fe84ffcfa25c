#!/usr/bin/env bash
# The slow tests, left out of the default ctest run: counter wrap after more than 2^32
# operations (stand-in host) and the large Octave calls with their peak memory.
#   tests/slow/run.sh [BUILD_DIR]      (default <repo>/build-slow)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-slow}
cmake -S "$root" -B "$build" -DVORLA_SLOW_TESTS=ON -DVORLA_WERROR=ON > /dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" -L slow --output-on-failure
