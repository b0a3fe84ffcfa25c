#!/usr/bin/env bash
# Fuzzes vorla_fit, vorla_learn, vorla_eval and vorla_score on the stand-in host with libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer; the targets run side by side.
#
#   scripts/fuzz.sh --ci          about 60 seconds per target (the CI run)
#   scripts/fuzz.sh [CALLS]       CALLS calls per target (default 1000000), then a source
#                                 coverage report of common/, fit/, learn/, eval/ and score/ over the corpus
#
# BUILD_DIR (default <repo>/build-fuzz) holds the build, the growing corpus (fuzz-corpus/),
# crash inputs (fuzz-artifacts/) and the logs (fuzz-logs/). The seeds in fuzz/corpus are only read.
# A crash input replays with: BUILD_DIR/fuzz_fit BUILD_DIR/fuzz-artifacts/fit-crash-...
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-fuzz}
mode=long
calls=1000000
case "${1:-}" in
  --ci) mode=ci ;;
  "") ;;
  *[!0-9]*) echo "usage: $0 [--ci | CALLS]" >&2; exit 2 ;;
  *) calls=$1 ;;
esac

# clang++ with libFuzzer and the sanitizer runtimes, from Debian.
if ! command -v clang++ > /dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a > /dev/null 2>&1; then
  apt-get install -y clang libclang-rt-dev llvm
fi

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DVORLA_FUZZ=ON -DVORLA_OCTAVE=OFF -DVORLA_MATLAB=OFF \
  -DVORLA_TESTS=OFF -DVORLA_WERROR=ON > /dev/null
targets=(fit learn eval score batch)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}" "${targets[@]/#/fuzz_cover_}"

logs=$build/fuzz-logs
mkdir -p "$logs" "$build/fuzz-artifacts"
export ASAN_OPTIONS=detect_leaks=1
if [ "$mode" = ci ]; then limit=(-max_total_time=60); else limit=(-runs="$calls"); fi

pids=()
for t in "${targets[@]}"; do
  mkdir -p "$build/fuzz-corpus/$t"
  "$build/fuzz_$t" "${limit[@]}" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/$t-" "$build/fuzz-corpus/$t" "$root/fuzz/corpus/$t" \
    > "$logs/$t.log" 2>&1 &
  pids+=($!)
done
status=0
failed=()
for k in "${!targets[@]}"; do wait "${pids[$k]}" || failed+=("$k"); done

for t in "${targets[@]}"; do
  echo "== fuzz_$t"
  grep -E '^#[0-9]+[[:space:]]+DONE' "$logs/$t.log" || true
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$logs/$t.log" || true
done
for k in "${failed[@]}"; do
  t=${targets[$k]}
  status=1
  echo "== fuzz_$t failed:"
  grep -m1 -B2 -A16 -E '^vorla_|ERROR|deadly signal|timeout' "$logs/$t.log" || tail -20 "$logs/$t.log"
done
[ $status -eq 0 ] || { echo "fuzzing found a fault; inputs in $build/fuzz-artifacts" >&2; exit 1; }
[ "$mode" = ci ] && exit 0

# Which lines and branches of the production code the corpus reaches.
profdata=()
objects=()
for t in "${targets[@]}"; do
  LLVM_PROFILE_FILE="$logs/cover-$t.profraw" "$build/fuzz_cover_$t" "$build/fuzz-corpus/$t" "$root/fuzz/corpus/$t" > /dev/null
  profdata+=("$logs/cover-$t.profraw")
  [ "$t" = fit ] || objects+=(-object "$build/fuzz_cover_$t")
done
llvm-profdata merge -o "$logs/cover.profdata" "${profdata[@]}"
llvm-cov report "$build/fuzz_cover_fit" "${objects[@]}" -instr-profile="$logs/cover.profdata" \
  "$root/common" "$root/fit" "$root/learn" "$root/eval" "$root/score" | tee "$logs/coverage.txt"
# How the corpus calls end: every message it reaches, and successes.
for t in "${targets[@]}"; do
  LLVM_PROFILE_FILE="$logs/outcomes-$t.profraw" VORLA_FUZZ_OUTCOMES=1 "$build/fuzz_cover_$t" "$build/fuzz-corpus/$t" "$root/fuzz/corpus/$t" 2>&1 >/dev/null |
    sort -rn > "$logs/outcomes-$t.txt"
  echo "== corpus of fuzz_$t: $(wc -l < "$logs/outcomes-$t.txt") distinct endings (see $logs/outcomes-$t.txt)"
done
