// Node visits per second of whole vorla_fit and vorla_eval calls on the stand-in host, for
// each way the node bank can measure (per_node, portable, avx2), over a grid of node counts
// K, feature counts M and pattern counts N.
//
//   cmake -S . -B build-bench -DVORLA_BENCH=ON && cmake --build build-bench --target vorla_bench
//   build-bench/bench/vorla_bench [--benchmark_filter=Eval]
#include "bank.h"
#include "standin.h"
#include "vorla_eval.h"
#include "vorla_fit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using vorla::MatchPath;

const MatchPath paths[] = {MatchPath::per_node, MatchPath::scalar, MatchPath::sse2, MatchPath::avx2, MatchPath::avx512};
const char* const path_names[] = {"per_node", "scalar", "sse2", "avx2", "avx512"};

struct Inputs {
  std::vector<standin::ArrayPtr> arrays;
  std::vector<const mxArray*> pointers() const {
    std::vector<const mxArray*> p;
    for (const auto& a : arrays) p.push_back(a.get());
    return p;
  }
};

// A rows x cols matrix of values drawn by next(row, col), stored in column order.
template <class Next>
standin::ArrayPtr matrix(std::int64_t rows, std::int64_t cols, Next next) {
  std::vector<double> values(static_cast<std::size_t>(rows * cols));
  for (std::int64_t r = 0; r < rows; ++r)
    for (std::int64_t c = 0; c < cols; ++c) values[static_cast<std::size_t>(c * rows + r)] = next(r, c);
  return standin::make_double(static_cast<mwSize>(rows), static_cast<mwSize>(cols), values);
}

bool select_path(benchmark::State& state, std::int64_t index) {
  const MatchPath path = paths[index];
  if (!vorla::match_path_available(path)) {
    state.SkipWithError("path not available on this processor");
    return false;
  }
  vorla::set_match_path(path);
  state.SetLabel(path_names[index]);
  return true;
}

// Classification of N random patterns against K random boxes (extents up to 0.3 per
// coordinate, D = M, vigilance 0.75): some nodes pass the tests, most do not.
void Eval(benchmark::State& state) {
  const std::int64_t K = state.range(0), M = state.range(1), N = state.range(2);
  if (!select_path(state, state.range(3))) return;
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> lower(static_cast<std::size_t>(K * M)), extent(lower.size());
  for (std::size_t k = 0; k < lower.size(); ++k) {
    lower[k] = 0.7 * unit(rng);
    extent[k] = 0.3 * unit(rng);
  }
  Inputs in;
  in.arrays.push_back(matrix(K, 2 * M, [&](std::int64_t r, std::int64_t c) {
    const auto at = static_cast<std::size_t>(r * M + c % M);
    return c < M ? lower[at] : lower[at] + extent[at];
  }));
  in.arrays.push_back(matrix(K, 1, [](std::int64_t r, std::int64_t) { return static_cast<double>(1 + r % 7); }));
  for (double v : {static_cast<double>(M), 0.75, 0.001, 1.0}) in.arrays.push_back(standin::make_scalar(v));
  in.arrays.push_back(matrix(N, M, [&](std::int64_t, std::int64_t) { return unit(rng); }));
  for (double v : {0.0, 0.0}) in.arrays.push_back(standin::make_scalar(v));
  const std::vector<const mxArray*> inputs = in.pointers();

  for (auto _ : state) {
    standin::CallResult r = standin::call(vorla::vorla_eval, 1, inputs);
    if (r.error) {
      state.SkipWithError(r.error->c_str());
      break;
    }
    benchmark::DoNotOptimize(r.outputs);
  }
  const double visits = static_cast<double>(N * K);
  state.counters["visits"] = visits;
  state.counters["visits/s"] = benchmark::Counter(visits, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["s/visit"] = benchmark::Counter(
      visits, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  vorla::set_match_path(MatchPath::automatic);
}

// One list presentation with fast learning that builds exactly K nodes: the first K patterns
// are K centres spaced 1/K apart in the first coordinate, each with its own label, and the
// other N - K patterns are copies of the centres moved by far less than 1/K, each of which
// widens its own centre's node. The vigilance lies between the two, so every search has
// one node that passes and K - 1 that fail.
void Fit(benchmark::State& state) {
  const std::int64_t K = state.range(0), M = state.range(1), N = state.range(2);
  if (!select_path(state, state.range(3))) return;
  std::mt19937_64 rng(2);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double spacing = 1.0 / static_cast<double>(K);
  const double noise = 0.1 / static_cast<double>(K * M);
  std::vector<double> centres(static_cast<std::size_t>(K * M));
  for (std::int64_t k = 0; k < K; ++k)
    for (std::int64_t i = 0; i < M; ++i)
      centres[static_cast<std::size_t>(k * M + i)] = i == 0 ? (static_cast<double>(k) + 0.5) * spacing : unit(rng);
  Inputs in;
  in.arrays.push_back(matrix(N, M, [&](std::int64_t r, std::int64_t c) {
    const double centre = centres[static_cast<std::size_t>((r % K) * M + c)];
    return r < K ? centre : centre + noise * (2 * unit(rng) - 1);
  }));
  in.arrays.push_back(matrix(N, 1, [&](std::int64_t r, std::int64_t) { return static_cast<double>(1 + r % K); }));
  const double vigilance = 1 - 0.5 / static_cast<double>(K * M);
  for (double v : {static_cast<double>(M), vigilance, 0.001, 1.0, 1.0, 0.0, 0.0, 0.0})
    in.arrays.push_back(standin::make_scalar(v));
  const std::vector<const mxArray*> inputs = in.pointers();

  for (auto _ : state) {
    standin::CallResult r = standin::call(vorla::vorla_fit, 3, inputs);
    if (r.error || standin::dims_of(r.output(0))[0] != static_cast<mwSize>(K)) {
      state.SkipWithError(r.error ? r.error->c_str() : "the run did not build K nodes");
      break;
    }
    benchmark::DoNotOptimize(r.outputs);
  }
  // Pattern p meets the min(p, K) nodes made before it.
  const double visits = static_cast<double>(K * (K - 1) / 2 + (N - K) * K);
  state.counters["visits"] = visits;
  state.counters["visits/s"] = benchmark::Counter(visits, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["s/visit"] = benchmark::Counter(
      visits, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  vorla::set_match_path(MatchPath::automatic);
}

// About ten million node visits per run where the pattern count allows, and enough
// patterns that building the nodes does not weigh.
std::int64_t eval_patterns(std::int64_t K) {
  return std::max<std::int64_t>(1000, std::min<std::int64_t>(20000, 10000000 / K));
}

// The paths compared on the whole grid: per_node, sse2, avx2, avx512 (scalar, the fallback
// for other processors, only at one point of it).
const std::int64_t grid_paths[] = {0, 2, 3, 4};

void eval_grid(benchmark::internal::Benchmark* b) {
  for (std::int64_t path : grid_paths)
    for (std::int64_t M : {2, 8, 32})
      for (std::int64_t K : {30, 100, 1000, 3000, 10000}) b->Args({K, M, eval_patterns(K), path});
  b->Args({1000, 8, eval_patterns(1000), 1});
  // Linearity in N.
  for (std::int64_t N : {2000, 4000, 8000, 16000}) b->Args({1000, 8, N, 4});
}

void fit_grid(benchmark::internal::Benchmark* b) {
  for (std::int64_t path : grid_paths)
    for (std::int64_t M : {2, 8, 32})
      for (std::int64_t K : {30, 100, 1000, 3000}) b->Args({K, M, std::max<std::int64_t>(2 * K, 3000), path});
  for (std::int64_t path : {3, 4})
    for (std::int64_t M : {2, 8, 32}) b->Args({10000, M, 20000, path});
  b->Args({1000, 8, 3000, 1});
  // Linearity in N: every pattern after the first K meets all K nodes.
  for (std::int64_t N : {4000, 7000, 13000}) b->Args({1000, 8, N, 4});
}

}  // namespace

// The machine may be shared: the fastest of several repetitions is the one least disturbed.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

BENCHMARK(Eval)
    ->Apply(eval_grid)
    ->ArgNames({"K", "M", "N", "path"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.1)
    ->Repetitions(5)
    ->ComputeStatistics("min", fastest)
    ->ReportAggregatesOnly(true);
BENCHMARK(Fit)
    ->Apply(fit_grid)
    ->ArgNames({"K", "M", "N", "path"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.1)
    ->Repetitions(5)
    ->ComputeStatistics("min", fastest)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
