// The node bank measures a pattern against many nodes at once. Whatever path it takes, every
// value must come out bit for bit as Node::compute_match gives it, and whole calls must not
// be told apart by anything they return, print or count.
#include "bank.h"
#include "choice_reach.h"
#include "kernels.h"
#include "node.h"
#include "reach.h"
#include "size_order.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using vorla::MatchPath;
using vorla::NodeBank;

constexpr double inf = std::numeric_limits<double>::infinity();
const double nan_value = std::numeric_limits<double>::quiet_NaN();

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

const char* name_of(MatchPath path) {
  switch (path) {
    case MatchPath::automatic: return "automatic";
    case MatchPath::per_node: return "per_node";
    case MatchPath::scalar: return "scalar";
    case MatchPath::sse2: return "sse2";
    case MatchPath::avx2: return "avx2";
    case MatchPath::avx512: return "avx512";
  }
  return "?";
}

// The blocked paths that this processor runs.
std::vector<MatchPath> blocked_paths() {
  std::vector<MatchPath> paths;
  for (MatchPath path : {MatchPath::scalar, MatchPath::sse2, MatchPath::avx2, MatchPath::avx512})
    if (vorla::match_path_available(path)) paths.push_back(path);
  return paths;
}

// Sets the process-wide path for one scope.
struct PathScope {
  explicit PathScope(MatchPath path) { vorla::set_match_path(path); }
  ~PathScope() { vorla::set_match_path(MatchPath::automatic); }
};

// Sets the process-wide use of the search index for one scope.
struct IndexScope {
  explicit IndexScope(vorla::IndexUse use) { vorla::set_index_use(use); }
  ~IndexScope() { vorla::set_index_use(vorla::IndexUse::automatic); }
};

// A host without an operation counter, as GNU Octave and MATLAB are: there the searches
// may skip what only the counts would show.
standin::CallOptions without_counter() {
  standin::CallOptions options;
  options.flop_counter = false;
  return options;
}

const char* name_of(vorla::IndexUse use) {
  return use == vorla::IndexUse::never ? " scan" : use == vorla::IndexUse::always ? " index" : " automatic";
}

constexpr vorla::IndexUse forced_uses[] = {vorla::IndexUse::never, vorla::IndexUse::always};

vorla::ModelValues model_of(std::int32_t M, double D, double alpha) { return {M, D, alpha}; }

// 32-bit draws as unsigned, so that the tests' modular picks need no casts.
struct Rng {
  using result_type = unsigned;
  explicit Rng(unsigned seed) : engine(seed) {}
  static constexpr unsigned min() { return 0; }
  static constexpr unsigned max() { return 0xffffffffu; }
  unsigned operator()() { return static_cast<unsigned>(engine()); }
  std::mt19937 engine;
};

// Values on a coarse grid, so that coordinates meet exactly (ties, faces) now and then.
double grid_value(Rng& rng, double from, double to) {
  std::uniform_int_distribution<int> step(0, 12);
  return from + (to - from) * step(rng) / 12.0;
}

bool passed(const NodeBank& bank, std::int32_t j, std::int32_t g) {
  return (bank.passes(j / NodeBank::lanes, g) >> (j % NodeBank::lanes) & 1u) != 0;
}

bool never_interrupted() { return false; }

// Expects the bank's results for the patterns, measured in one call, to be those of the
// nodes' own arithmetic: mfv for every node, the vigilance test, and cfv where it passed.
// stretched: the call polls for an interrupt between every two pairs of blocks, and so
// measures a stretch of blocks at a time.
void expect_as_nodes(NodeBank& bank, std::vector<std::unique_ptr<vorla::Node>>& nodes,
                     const std::vector<const double*>& patterns, double rho, double tolerance,
                     NodeBank::Results results, const std::string& what, bool stretched = false) {
  const std::int64_t saved = vorla::interrupt_poll_visits();
  if (stretched) vorla::set_interrupt_poll_visits(1);
  ASSERT_TRUE(bank.measure(patterns.data(), static_cast<std::int32_t>(patterns.size()), rho, tolerance, results,
                           stretched ? never_interrupted : nullptr));
  vorla::set_interrupt_poll_visits(saved);
  // The quotients divided all at once are those of each node divided alone, NaNs, infinities
  // and signed zeros included.
  const auto room = static_cast<std::size_t>(bank.block_count()) * NodeBank::lanes;
  std::vector<double> cfvs(room), mfvs(room);
  bank.divide_all(cfvs.data(), mfvs.data());
  for (std::int32_t j = 0; j < bank.count(); ++j) {
    ASSERT_EQ(bits(cfvs[static_cast<std::size_t>(j)]), bits(bank.cfv(j))) << what << " node " << j;
    ASSERT_EQ(bits(mfvs[static_cast<std::size_t>(j)]), bits(bank.mfv(j))) << what << " node " << j;
  }
  for (std::size_t g = 0; g < patterns.size(); ++g) {
    const auto pattern = static_cast<std::int32_t>(g);
    for (std::size_t j = 0; j < nodes.size(); ++j) {
      vorla::Node& n = *nodes[j];
      n.compute_match(bank.model(), patterns[g]);
      const auto at = static_cast<std::int32_t>(j);
      const bool pass = n.mfv + tolerance >= rho;
      ASSERT_EQ(passed(bank, at, pattern), pass) << what << " pattern " << g << " node " << j << " mfv " << n.mfv;
      if (pass || results == NodeBank::Results::every_mfv) {
        ASSERT_EQ(bits(bank.mfv(at, pattern)), bits(n.mfv))
            << what << " pattern " << g << " node " << j << ": " << bank.mfv(at, pattern) << " vs " << n.mfv;
      }
      const double cfv = n.match_numerator / n.choice_denominator;
      if (pass) {
        ASSERT_EQ(bits(bank.cfv(at, pattern)), bits(cfv))
            << what << " pattern " << g << " node " << j << ": " << bank.cfv(at, pattern) << " vs " << cfv;
      }
    }
    // The blocks listed as passing are those with a passing node, in increasing order.
    std::vector<std::int32_t> listed(bank.passing_blocks(pattern), bank.passing_blocks(pattern) +
                                                                     bank.passing_block_count(pattern));
    std::vector<std::int32_t> expected;
    for (std::int32_t b = 0; b < bank.block_count(); ++b)
      if (bank.passes(b, pattern) != 0) expected.push_back(b);
    ASSERT_EQ(listed, expected) << what << " pattern " << g;
    // Spare lanes of the last block never pass.
    const auto count = static_cast<std::int32_t>(nodes.size());
    if (count % NodeBank::lanes != 0) {
      ASSERT_EQ(bank.passes(count / NodeBank::lanes, pattern) >> (count % NodeBank::lanes), 0u) << what;
    }
  }
}

TEST(MatchPath, ResolvesToWhatTheProcessorRuns) {
  EXPECT_TRUE(vorla::match_path_available(MatchPath::per_node));
  EXPECT_TRUE(vorla::match_path_available(MatchPath::scalar));
#if defined(__x86_64__)
  EXPECT_TRUE(vorla::match_path_available(MatchPath::sse2));
#endif
  const MatchPath best = blocked_paths().back();
  EXPECT_EQ(vorla::resolve_match_path(MatchPath::automatic), best);
  for (MatchPath path : {MatchPath::per_node, MatchPath::scalar, MatchPath::sse2, MatchPath::avx2, MatchPath::avx512})
    EXPECT_EQ(vorla::resolve_match_path(path), vorla::match_path_available(path) ? path : best) << name_of(path);

  const vorla::ModelValues model = model_of(2, 2.0, 0.01);
  {
    PathScope scope(MatchPath::per_node);
    EXPECT_EQ(NodeBank(model).path(), MatchPath::per_node);
  }
  EXPECT_EQ(vorla::requested_match_path(), MatchPath::automatic);
  EXPECT_EQ(NodeBank(model).path(), best);
}

// Hand-worked measurements, one node and one pattern each, with D = 2 and alpha = 0.5.
TEST(NodeBank, WorkedMeasurements) {
  struct Case {
    std::vector<double> row;  // [lower upper]
    std::vector<double> x;
    double D;
    double mfv;
    double cfv;
  };
  const std::vector<Case> cases = {
      // Inside the box: size 0.4, so mfv = 1.6 / 2 and cfv = 1.6 / (2 - 0.4 + 0.5).
      {{0.2, 0.1, 0.4, 0.3}, {0.3, 0.2}, 2, 0.8, 1.6 / 2.1},
      // On two faces: still the box itself.
      {{0.2, 0.1, 0.4, 0.3}, {0.2, 0.3}, 2, 0.8, 1.6 / 2.1},
      // Outside in one coordinate: high 0.9 gives size 0.7 + 0.2 = 0.9.
      {{0.2, 0.1, 0.4, 0.3}, {0.9, 0.2}, 2, (2 - ((0.9 - 0.2) + (0.3 - 0.1))) / 2, (2 - ((0.9 - 0.2) + (0.3 - 0.1))) / 2.1},
      // Lower above upper: x between them makes high = low = x, size 0; the box's own
      // size is -0.4, so the denominator is 2.4 + 0.5.
      {{0.5, 0.5, 0.3, 0.3}, {0.4, 0.4}, 2, 1.0, 2.0 / 2.9},
      // Same box, x below both corners: high 0.3, low 0.1 in each coordinate, size 0.4.
      {{0.5, 0.5, 0.3, 0.3}, {0.1, 0.1}, 2, 0.8, 1.6 / 2.9},
      // A NaN coordinate makes high NaN: everything is NaN.
      {{0.2, 0.1, 0.4, 0.3}, {nan_value, 0.2}, 2, nan_value, nan_value},
      // -inf as a coordinate: low is -inf, size +inf.
      {{0.2, 0.1, 0.4, 0.3}, {-inf, 0.2}, 2, -inf, -inf},
      // D = 0: a proper box gives -inf; a point box at x, or x between the corners of a box
      // with lower above upper, gives 0/0.
      {{0.2, 0.1, 0.4, 0.3}, {0.3, 0.2}, 0, -inf, -0.4 / (0.5 - 0.4)},
      {{0.3, 0.2, 0.3, 0.2}, {0.3, 0.2}, 0, nan_value, 0.0},
      {{0.5, 0.5, 0.3, 0.3}, {0.4, 0.4}, 0, nan_value, 0.0},
  };
  for (MatchPath path : {MatchPath::per_node, MatchPath::scalar, MatchPath::sse2, MatchPath::avx2, MatchPath::avx512}) {
    if (!vorla::match_path_available(path)) continue;
    for (std::size_t c = 0; c < cases.size(); ++c) {
      const Case& k = cases[c];
      const vorla::ModelValues model = model_of(2, k.D, 0.5);
      vorla::Node node(model, k.row.data(), 1, 1);
      NodeBank bank(model, 1, path);
      bank.append(node);
      // Every node but one with a NaN match passes a vigilance of -inf, so cfv is computed.
      const double* x = k.x.data();
      bank.measure(&x, 1, -inf, 0.0, NodeBank::Results::every_mfv);
      const std::string what = std::string(name_of(path)) + " case " + std::to_string(c);
      EXPECT_EQ(passed(bank, 0, 0), !std::isnan(k.mfv)) << what;
      if (std::isnan(k.mfv))
        EXPECT_TRUE(std::isnan(bank.mfv(0))) << what;
      else
        EXPECT_DOUBLE_EQ(bank.mfv(0), k.mfv) << what;
      if (!std::isnan(k.mfv)) {
        if (std::isnan(k.cfv))
          EXPECT_TRUE(std::isnan(bank.cfv(0))) << what;
        else
          EXPECT_DOUBLE_EQ(bank.cfv(0), k.cfv) << what;
      }
    }
  }
}

// Twenty point boxes at j / 20 on a line (D = 1) measured against 0: node j has mfv
// 1 - j / 20, so with vigilance 0.5 nodes 0 to 10 pass, and node 10 (mfv exactly 0.5) fails
// a vigilance of 0.5 + 0.5e-7 but passes it again with the tolerance 1e-7. The twelve spare
// lanes of the second block hold empty boxes at the origin (mfv 1) and never pass.
TEST(NodeBank, VigilanceTestWorkedExample) {
  for (MatchPath path : {MatchPath::per_node, MatchPath::scalar, MatchPath::sse2, MatchPath::avx2, MatchPath::avx512}) {
    if (!vorla::match_path_available(path)) continue;
    const vorla::ModelValues model = model_of(1, 1.0, 0.001);
    std::vector<std::unique_ptr<vorla::Node>> nodes;
    NodeBank bank(model, 2, path);
    for (int j = 0; j < 20; ++j) {
      const double at = j / 20.0;
      nodes.push_back(std::make_unique<vorla::Node>(model, &at, 1));
      bank.append(*nodes.back());
    }
    const double zero = 0.0, one = 1.0;
    const double* patterns[] = {&zero, &one};
    for (auto results : {NodeBank::Results::passing, NodeBank::Results::every_mfv}) {
      bank.measure(patterns, 2, 0.5, 0.0, results);
      EXPECT_EQ(bank.passes(0, 0), 0x7ffu) << name_of(path);
      EXPECT_EQ(bank.passes(1, 0), 0u) << name_of(path);
      // Seen from 1, node j has mfv j / 20: nodes 10 to 19 pass.
      EXPECT_EQ(bank.passes(0, 1), 0xfc00u) << name_of(path);
      EXPECT_EQ(bank.passes(1, 1), 0xfu) << name_of(path);
      EXPECT_EQ(bank.mfv(10, 0), 0.5);
      EXPECT_EQ(bank.cfv(10, 0), 0.5 / 1.001);
      bank.measure(patterns, 1, 0.5 + 0.5e-7, 0.0, results);
      EXPECT_EQ(bank.passes(0, 0), 0x3ffu) << name_of(path);
      bank.measure(patterns, 1, 0.5 + 0.5e-7, 1e-7, results);
      EXPECT_EQ(bank.passes(0, 0), 0x7ffu) << name_of(path);
    }
    bank.measure(patterns, 1, 0.5, 0.0, NodeBank::Results::every_mfv);
    EXPECT_EQ(bank.mfv(19, 0), 1 - 19 / 20.0) << name_of(path);
  }
}

// Without a trace the bank makes the vigilance test by comparing each size with the largest
// size that passes. Point boxes one ulp apart put mfv on every double around the vigilance
// (with and without the tolerance), for values of D whose inverse is and is not exact, down
// to a subnormal D: the test must fall exactly where the node's own arithmetic puts it.
TEST(NodeBank, VigilanceTestAtItsEdge) {
  for (vorla::IndexUse use : forced_uses)
  for (MatchPath path : blocked_paths()) {
    for (double D : {1.0, 3.0, 0.1, 7e-5, 1e6, 1e300, 3e-310}) {
      for (double rho : {0.75, 0.5, 0.0, 1.0}) {
        for (double tolerance : {0.0, 1e-7}) {
          const vorla::ModelValues model = model_of(1, D, 0.01);
          // A box at c seen from 0 has size c and mfv (D - c) / D.
          const double centre = D * (1 - rho + tolerance);
          std::vector<std::unique_ptr<vorla::Node>> nodes;
          NodeBank bank(model, 1, path, use);
          double c = centre;
          for (int k = 0; k < 60; ++k) c = std::nextafter(c, -inf);
          for (int k = 0; k < 120; ++k, c = std::nextafter(c, inf)) {
            nodes.push_back(std::make_unique<vorla::Node>(model, &c, 1));
            bank.append(*nodes.back());
          }
          const double zero = 0.0;
          for (auto results : {NodeBank::Results::passing, NodeBank::Results::every_mfv}) {
            expect_as_nodes(bank, nodes, {&zero}, rho, tolerance, results,
                            std::string(name_of(path)) + " D=" + std::to_string(D) + " rho=" + std::to_string(rho));
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

// Random boxes (some with lower above upper, one with a NaN corner) and patterns with ties,
// faces, NaN of either sign and infinities, for feature counts around the vector widths and
// node counts that leave blocks partly filled; the patterns are measured one, two, three or
// eight (a full group) at a time. Half the banks hold only corners from +0 to +Inf, the
// others negative corners too, or a -0 or NaN corner among otherwise non-negative ones.
TEST(NodeBank, BlockedPathsMatchTheNodesBitForBit) {
  Rng rng(20240611);
  const std::vector<double> nans = {nan_value, -nan_value, std::numeric_limits<double>::signaling_NaN()};
  const std::vector<double> specials = {nan_value, inf, -inf, -0.0, 0.0};
  for (vorla::IndexUse use : forced_uses)
  for (MatchPath path : blocked_paths()) {
    for (std::int32_t M : {0, 1, 2, 3, 7, 8, 9, 17}) {
      for (std::int32_t K : {0, 1, 5, 15, 16, 17, 33, 50}) {
        for (double D : {static_cast<double>(M), 0.0, 0.75}) {
          for (double alpha : {0.0, 0.001}) {
            for (bool non_negative : {false, true}) {
              const vorla::ModelValues model = model_of(M, D, alpha);
              const bool nan_upper = alpha > 0 && D == 0.75;
              std::vector<std::unique_ptr<vorla::Node>> nodes;
              NodeBank bank(model, 8, path, use);
              std::vector<double> row(2 * static_cast<std::size_t>(M));
              for (std::int32_t j = 0; j < K; ++j) {
                for (std::int32_t i = 0; i < M; ++i) {
                  double a = non_negative ? grid_value(rng, 0.0, 1.25) : grid_value(rng, -0.25, 1.25);
                  double b = non_negative ? grid_value(rng, 0.0, 1.25) : grid_value(rng, -0.25, 1.25);
                  // One box in five keeps a coordinate with lower above upper.
                  if ((a > b) != (rng() % 5 == 0)) std::swap(a, b);
                  // Only upper corners are infinite, so that no term is Inf - Inf, a second NaN.
                  if (non_negative && a <= b && rng() % 16 == 0) b = inf;
                  row[i] = a;
                  row[M + i] = b;
                }
                // With alpha 0.001 the third box has a NaN corner, a lower one (the kernels
                // then choose low by the comparison instead of a minimum) or an upper one.
                if (alpha > 0 && j == 2 && M > 0) row[(nan_upper ? M : 0) + static_cast<std::size_t>(j) % M] = nan_value;
                // A -0 corner among non-negative ones: its bits order below +0 as integers.
                if (non_negative && D == 0.0 && j == 1 && M > 0) row[M] = -0.0;
                nodes.push_back(std::make_unique<vorla::Node>(model, row.data(), j, 1));
                bank.append(*nodes.back());
              }
              std::vector<std::vector<double>> xs(14, std::vector<double>(static_cast<std::size_t>(M)));
              for (std::vector<double>& x : xs) {
                // One kind of NaN per pattern, the kind of the NaN corner if there is one:
                // where two NaNs meet in an operation, which one comes out is the compiler's
                // choice of operand order.
                const double nan_of_pattern = alpha > 0 ? nan_value : nans[rng() % nans.size()];
                for (std::int32_t i = 0; i < M; ++i) {
                  const unsigned kind = rng() % 10;
                  if (kind == 0) {
                    double special = specials[rng() % specials.size()];
                    // Against the NaN upper corner -Inf is both high and low, and -Inf - -Inf
                    // is a second NaN.
                    if (special == -inf && nan_upper) special = inf;
                    x[i] = std::isnan(special) ? nan_of_pattern : special;
                  } else if (kind <= 2 && K > 0) {  // on a corner of some node
                    x[i] = nodes[rng() % K]->lower[i];
                  } else if (kind == 3 && K > 0) {
                    x[i] = nodes[rng() % K]->upper[i];
                  } else {
                    x[i] = grid_value(rng, -0.5, 1.5);
                  }
                }
              }
              const std::size_t counts[] = {1, 2, 3, 8};
              for (std::size_t first = 0, c = 0; first < xs.size(); first += counts[c], c = (c + 1) % 4) {
                std::vector<const double*> group;
                for (std::size_t g = first; g < first + counts[c] && g < xs.size(); ++g) group.push_back(xs[g].data());
                const double vigilances[] = {-inf, 0.0, 0.5, 0.9};
                const auto results = rng() % 2 ? NodeBank::Results::passing : NodeBank::Results::every_mfv;
                expect_as_nodes(bank, nodes, group, vigilances[rng() % 4], rng() % 2 ? 1e-7 : 0.0, results,
                                std::string(name_of(path)) + name_of(use) + " M=" + std::to_string(M) +
                                    " K=" + std::to_string(K) + (non_negative ? " non-negative" : ""),
                                rng() % 2 == 0);
                if (HasFatalFailure()) return;
              }
            }
          }
        }
      }
    }
  }
}

// The vector choice among every node's quotients takes the loop's winner (the first
// candidate, then only a strictly greater cfv): ties to the lowest node, signed zeros equal,
// infinite cfvs, no candidate, and the CT and the match-tracking test at their edges. A NaN
// cfv among the candidates is left to the loop, whose first-comer rule the vector form does
// not follow.
TEST(Kernels, ChoiceAmongEveryNodeIsTheLoops) {
  namespace k = vorla::kernels;
  Rng rng(77);
  const double Tu = 0.5;
  const double rho = 0.5;
  const double near = std::nextafter(0.5, 1.0);
  const double values[] = {-inf, -1.0, -0.0, 0.0, 0.25, 0.5 - 1e-7, std::nextafter(0.5 - 1e-7, 0.0),
                           0.5, near, 1.0, inf};
  const std::size_t value_count = sizeof values / sizeof values[0];
  int vector_choices = 0;
  for (int c = 0; c < 4000; ++c) {
    const std::size_t blocks = 1 + rng() % 5;
    const std::size_t n = blocks * k::lane_count;
    std::vector<double> cfvs(n), mfvs(n);
    std::vector<std::uint32_t> passes(blocks);
    const unsigned density = rng() % 4;  // candidates from none to nearly all
    for (std::size_t j = 0; j < n; ++j) {
      cfvs[j] = values[rng() % value_count];
      mfvs[j] = values[rng() % value_count];
      if (rng() % 4 < density) passes[j / k::lane_count] |= 1u << (j % k::lane_count);
    }
    if (c % 16 == 0) cfvs[rng() % n] = nan_value;
    if (c % 16 == 1) mfvs[rng() % n] = nan_value;
    const k::Choice choice{cfvs.data(), mfvs.data(), passes.data(), blocks, rng() % 2 == 0, c % 3 == 0 ? 0.0 : 1e-7,
                           Tu, rng() % 2 == 0, rho, rng() % 2 == 0};
    std::int64_t winner = k::no_candidate;
    bool nan_candidate = false;
    for (std::size_t j = 0; j < n; ++j) {
      if ((passes[j / k::lane_count] >> (j % k::lane_count) & 1u) == 0) continue;
      if (choice.ct && !(cfvs[j] + choice.tolerance >= Tu)) continue;
      if (choice.tracking && (choice.strict ? !(mfvs[j] > rho) : !(mfvs[j] >= rho))) continue;
      nan_candidate = nan_candidate || std::isnan(cfvs[j]);
      if (winner == k::no_candidate || cfvs[j] > cfvs[static_cast<std::size_t>(winner)])
        winner = static_cast<std::int64_t>(j);
    }
    for (const MatchPath path : blocked_paths()) {
      const std::int64_t chosen = k::choose(path, choice);
      if (chosen == k::choose_in_order) {
        EXPECT_TRUE(path != MatchPath::avx512 || nan_candidate) << name_of(path) << " case " << c;
        continue;
      }
      ++vector_choices;
      EXPECT_FALSE(nan_candidate) << name_of(path) << " case " << c;
      EXPECT_EQ(chosen, winner) << name_of(path) << " case " << c;
    }
  }
  if (vorla::match_path_available(MatchPath::avx512)) {
    EXPECT_GT(vector_choices, 3000);
  }
}

// Match tracking's pick through the nodes kept by size is the loop's winner over every node:
// the greatest exact cfv among the nodes within the size limit and not left out, ties to
// the lowest node, on boxes that tie, touch, invert, grow into other groups, and on
// coordinates from subnormal to beyond the rough pass's range (where it must give way).
TEST(SizeOrder, PicksTheLoopsWinner) {
  namespace k = vorla::kernels;
  // Only AVX-512 has the rough pass; elsewhere training measures whole, as before.
  const MatchPath path = vorla::resolve_match_path(MatchPath::avx512);
  if (!vorla::SizeOrder::available(path)) {
    EXPECT_NE(path, MatchPath::avx512);
    return;
  }
  Rng rng(2026);
  int decided = 0;
  for (int c = 0; c < 600; ++c) {
    const std::int32_t M = std::vector<std::int32_t>{1, 3, 10}[rng() % 3];
    const double D = M * std::vector<double>{1.0, 0.7, 2.5}[rng() % 3];
    const vorla::ModelValues model = model_of(M, D, c % 5 == 4 ? 0.0 : 0.001);
    const bool grid = c % 2 == 0;
    // Now and then the values are scaled to subnormals, or one value lies beyond 2^32.
    const double scale = c % 7 == 3 ? 1e-310 : 1.0;
    const auto value = [&] { return scale * (grid ? grid_value(rng, 0.0, 1.0) : (rng() % 100000) / 1e5); };
    const int n = 1 + static_cast<int>(rng() % 400);
    std::vector<std::unique_ptr<vorla::Node>> nodes;
    vorla::SizeOrder order(model, D);
    for (int j = 0; j < n; ++j) {
      std::vector<double> row(2 * static_cast<std::size_t>(M));
      for (std::int32_t i = 0; i < M; ++i) {
        const double a = value();
        const double b = a + (rng() % 3 == 0 ? 0.0 : value() / 3);
        row[i] = a;
        row[M + i] = j % 29 == 28 ? a - value() / 4 : b;  // now and then inverted
      }
      if (c % 11 == 5 && j == n / 2) row[0] = -1e10;
      nodes.push_back(std::make_unique<vorla::Node>(model, row.data(), 1, 1));
      order.put(j, *nodes.back());
    }
    std::vector<double> x(static_cast<std::size_t>(M));
    for (double& v : x) v = rng() % 9 == 0 ? -0.0 : value();
    // Learning grows some boxes, which may move them to other groups.
    for (int j = 0; j < n; j += 1 + static_cast<int>(rng() % 5)) {
      std::uint32_t flops = 0;
      std::vector<double> toward(static_cast<std::size_t>(M));
      for (double& v : toward) v = value();
      nodes[static_cast<std::size_t>(j)]->learn(model, toward.data(), c % 3 == 0 ? 0.5 : 1.0, flops);
      order.put(j, *nodes[static_cast<std::size_t>(j)]);
    }
    std::vector<std::int32_t> out;
    for (int j = 0; j < n; ++j)
      if (rng() % 8 == 0) out.push_back(j);
    // rho is mostly a node's mfv, as match tracking raises it, so that sizes meet the limit.
    double rho = c % 13 == 0 ? 1.5 : grid ? grid_value(rng, -0.5, 1.0) : (rng() % 1000) / 1e3;
    if (c % 4 != 0) {
      const vorla::Node& node = *nodes[rng() % static_cast<unsigned>(n)];
      double numerator = 0.0;
      k::measure_box(node.lower.get(), node.upper.get(), 1, static_cast<std::size_t>(M), x.data(), D, inf, numerator);
      rho = numerator / D;
    }
    const double limit = vorla::match_size_limit(D, rho, rng() % 2 == 0);
    const auto exact = [&](std::int32_t j, double& cfv) {
      const vorla::Node& node = *nodes[static_cast<std::size_t>(j)];
      double numerator = 0.0;
      if (!k::measure_box(node.lower.get(), node.upper.get(), 1, static_cast<std::size_t>(M), x.data(), D, limit,
                          numerator))
        return false;
      cfv = numerator / node.choice_denominator;
      return true;
    };
    std::int64_t winner = k::no_candidate;
    double best = 0.0;
    for (int j = 0; j < n; ++j) {
      double cfv = 0.0;
      if (std::find(out.begin(), out.end(), j) != out.end() || !exact(j, cfv)) continue;
      if (winner == k::no_candidate || cfv > best) {
        winner = j;
        best = cfv;
      }
    }
    const std::int64_t picked = order.pick(path, x.data(), limit, out, never_interrupted, exact);
    if (picked == k::choose_in_order) {
      // Only a value beyond the rough pass's range, or a choice denominator below 2^-32
      // (a box of size D + alpha or more), makes it give way.
      bool beyond = c % 11 == 5;
      for (const auto& node : nodes) beyond = beyond || !(node->choice_denominator >= 0x1p-32);
      EXPECT_TRUE(beyond) << "case " << c;
      continue;
    }
    ++decided;
    EXPECT_EQ(picked, winner) << "case " << c << ", " << n << " nodes, M " << M << ", limit " << limit;
  }
  EXPECT_GT(decided, 300);
}

// Nodes arrive one at a time (the bank grows past several capacities) and learn between
// patterns; after each refresh the bank measures what the nodes measure.
TEST(NodeBank, StaysInStepWithGrowingAndLearningNodes) {
  Rng rng(7);
  for (vorla::IndexUse use : forced_uses)
  for (MatchPath path : blocked_paths()) {
    for (double learning_rate : {1.0, 0.5}) {
      const std::int32_t M = 5;
      const vorla::ModelValues model = model_of(M, 5.0, 0.01);
      std::vector<std::unique_ptr<vorla::Node>> nodes;
      NodeBank bank(model, 1, path, use);
      std::vector<double> x(M);
      for (int step = 0; step < 300; ++step) {
        for (double& v : x) v = grid_value(rng, 0.0, 1.0);
        if (step % 3 == 0) {
          nodes.push_back(std::make_unique<vorla::Node>(model, x.data(), step));
          bank.append(*nodes.back());
        } else {
          const auto j = static_cast<std::int32_t>(rng() % nodes.size());
          std::uint32_t flops = 0;
          if (nodes[j]->learn(model, x.data(), learning_rate, flops)) bank.refresh(j);
        }
        expect_as_nodes(bank, nodes, {x.data()}, step % 2 ? 0.8 : -inf, 1e-7, NodeBank::Results::passing,
                        name_of(path));
        if (HasFatalFailure()) return;
      }
      EXPECT_EQ(bank.count(), 100);
    }
  }
}

// One run's nodes and bank under its own model values, with the patterns it measures.
struct ValuesRun {
  ValuesRun(const vorla::ModelValues& values, MatchPath path, unsigned seed) : model(values), bank(model, 1, path) {
    Rng rng(seed);
    const auto M = static_cast<std::size_t>(model.feature_count);
    std::vector<double> row(2 * M);
    for (int j = 0; j < 40; ++j) {
      for (std::size_t i = 0; i < M; ++i) {
        row[i] = grid_value(rng, 0.0, 0.8);
        row[M + i] = row[i] + grid_value(rng, 0.0, 0.2);
      }
      nodes.push_back(std::make_unique<vorla::Node>(model, row.data(), j, 1));
      bank.append(*nodes.back());
    }
    patterns.resize(24 * M);
    for (double& v : patterns) v = grid_value(rng, 0.0, 1.0);
  }
  // Measures pattern p against every node and keeps each node's mfv and cfv bits.
  void measure(std::size_t p) {
    const double* x = patterns.data() + p * static_cast<std::size_t>(model.feature_count);
    ASSERT_TRUE(bank.measure(&x, 1, -inf, 0.0, NodeBank::Results::every_mfv));
    for (std::int32_t j = 0; j < bank.count(); ++j) {
      results.push_back(bits(bank.mfv(j)));
      results.push_back(bits(bank.cfv(j)));
    }
  }
  void measure_all() {
    for (std::size_t p = 0; p < 24; ++p) measure(p);
  }

  const vorla::ModelValues model;
  std::vector<std::unique_ptr<vorla::Node>> nodes;
  NodeBank bank;
  std::vector<double> patterns;
  std::vector<std::uint64_t> results;
};

// Runs under different model values, whether one after another, side by side or on threads
// of their own, each measure with their own: the same bits every way, and those of the
// nodes under that run's values.
TEST(NodeBank, RunsUnderDifferentValuesKeepTheirOwn) {
  const vorla::ModelValues values[] = {model_of(2, 2.0, 0.01), model_of(3, 3.0, 0.5), model_of(2, 0.75, 0.0),
                                       model_of(4, 4.0, 2.5)};
  constexpr std::size_t run_count = sizeof values / sizeof values[0];
  std::vector<MatchPath> paths = blocked_paths();
  paths.push_back(MatchPath::per_node);
  for (MatchPath path : paths) {
    std::vector<std::vector<std::uint64_t>> alone;
    for (std::size_t k = 0; k < run_count; ++k) {
      ValuesRun run(values[k], path, static_cast<unsigned>(k));
      run.measure_all();
      const double* x = run.patterns.data();
      expect_as_nodes(run.bank, run.nodes, {x}, -inf, 0.0, NodeBank::Results::every_mfv, name_of(path));
      alone.push_back(run.results);
    }
    std::vector<std::unique_ptr<ValuesRun>> runs;
    for (std::size_t k = 0; k < run_count; ++k)
      runs.push_back(std::make_unique<ValuesRun>(values[k], path, static_cast<unsigned>(k)));
    for (std::size_t p = 0; p < 24; ++p)
      for (auto& run : runs) run->measure(p);
    for (std::size_t k = 0; k < run_count; ++k)
      EXPECT_EQ(runs[k]->results, alone[k]) << name_of(path) << " side by side, run " << k;

    std::vector<std::unique_ptr<ValuesRun>> threaded(run_count);
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < run_count; ++k)
      threads.emplace_back([&, k] {
        threaded[k] = std::make_unique<ValuesRun>(values[k], path, static_cast<unsigned>(k));
        threaded[k]->measure_all();
      });
    for (std::thread& t : threads) t.join();
    for (std::size_t k = 0; k < run_count; ++k)
      EXPECT_EQ(threaded[k]->results, alone[k]) << name_of(path) << " on threads, run " << k;
  }
}

// A box that grows leaves the cells of the index that it can no longer pass from: the bank
// that followed the growth measures as few nodes as one built afresh from the grown boxes.
TEST(SearchIndex, AGrownBoxLeavesTheCellsItCanNoLongerReach) {
  const std::int32_t M = 2;
  const double rho = 0.75;  // sizes up to 0.5 pass
  const vorla::ModelValues model = model_of(M, 2.0, 0.001);
  std::vector<std::unique_ptr<vorla::Node>> nodes;
  const double origin[2] = {0.0, 0.0};
  nodes.push_back(std::make_unique<vorla::Node>(model, origin, 0));
  for (int a = 0; a <= 5; ++a)  // far from x, spanning the grid
    for (int b = 3; b <= 5; ++b) {
      const double point[2] = {0.2 * a, 0.2 * b};
      nodes.push_back(std::make_unique<vorla::Node>(model, point, a));
    }
  NodeBank followed(model, 1, MatchPath::automatic, vorla::IndexUse::always);
  for (auto& n : nodes) followed.append(*n);
  const double x[2] = {0.45, 0.0};
  const double* pattern = x;
  ASSERT_TRUE(followed.measure(&pattern, 1, rho, 0.0, NodeBank::Results::passing));
  ASSERT_TRUE(passed(followed, 0, 0));
  // Node 0, a point at the origin, passes for x; grown to size 0.4 along the other
  // coordinate, it fails there.
  const double toward[2] = {0.0, 0.4};
  std::uint32_t flops = 0;
  ASSERT_EQ(nodes[0]->learn(model, toward, 1.0, flops), 1);
  followed.refresh(0);
  ASSERT_TRUE(followed.measure(&pattern, 1, rho, 0.0, NodeBank::Results::passing));
  NodeBank fresh(model, 1, MatchPath::automatic, vorla::IndexUse::always);
  for (auto& n : nodes) fresh.append(*n);
  ASSERT_TRUE(fresh.measure(&pattern, 1, rho, 0.0, NodeBank::Results::passing));
  EXPECT_EQ(followed.nodes_measured(), fresh.nodes_measured());
  EXPECT_FALSE(passed(followed, 0, 0));
}

// A network like a long training run's: many boxes whose sizes lie just under the largest
// passing size, so that a pattern passes only near a few of them. The index must give every
// bit and value of the scan while measuring a small part of the blocks, also as boxes grow
// and nodes arrive after it was built; duplicate boxes and boxes exactly at the limit
// included.
TEST(SearchIndex, SkipsBlocksThatCannotPassAndMeasuresTheRestExactly) {
  Rng rng(515);
  for (MatchPath path : blocked_paths()) {
    const std::int32_t M = 8;
    const double D = 8.0, rho = 0.6;
    const vorla::ModelValues model = model_of(M, D, 0.001);
    std::vector<std::unique_ptr<vorla::Node>> nodes;
    NodeBank bank(model, 8, path, vorla::IndexUse::always);
    std::vector<double> row(2 * M);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto add_node = [&]() {
      // Extents summing to a size just under (or, one box in fifty, exactly at) the limit.
      const double limit = D * (1 - rho);
      const double wanted = rng() % 50 == 0 ? limit : limit - 0.1 * unit(rng);
      std::vector<double> extents(M);
      double sum = 0.0;
      for (double& e : extents) sum += e = 0.5 + unit(rng);
      for (std::int32_t i = 0; i < M; ++i) {
        const double extent = extents[i] * wanted / sum;
        row[i] = (1.0 - extent) * unit(rng);
        row[M + i] = row[i] + extent;
      }
      nodes.push_back(std::make_unique<vorla::Node>(model, row.data(), static_cast<std::int32_t>(nodes.size()), 1));
      bank.append(*nodes.back());
      if (rng() % 40 == 0) {  // a duplicate
        nodes.push_back(std::make_unique<vorla::Node>(model, row.data(), static_cast<std::int32_t>(nodes.size()), 1));
        bank.append(*nodes.back());
      }
    };
    for (int j = 0; j < 3000; ++j) add_node();
    std::vector<double> x(M);
    std::size_t measured = 0;
    for (int p = 0; p < 400; ++p) {
      for (double& v : x) v = unit(rng);
      if (p % 4 == 0) {  // on a corner, where a node's size is its own
        const vorla::Node& n = *nodes[rng() % nodes.size()];
        x.assign(n.upper.get(), n.upper.get() + M);
      }
      expect_as_nodes(bank, nodes, {x.data()}, rho, 0.0, NodeBank::Results::passing, name_of(path));
      if (HasFatalFailure()) return;
      measured += bank.nodes_measured();
      // Growth after the build: boxes widen toward patterns and new nodes arrive.
      if (p % 3 == 0) {
        const auto j = static_cast<std::int32_t>(rng() % nodes.size());
        std::uint32_t flops = 0;
        if (nodes[j]->learn(model, x.data(), p % 2 ? 1.0 : 0.5, flops)) bank.refresh(j);
      }
      if (p % 5 == 0) add_node();
    }
    EXPECT_LT(measured, 400u * static_cast<std::size_t>(bank.count()) / 4) << name_of(path);
  }
}

// The index's cells at their edge: patterns just inside and just outside a node's reach
// (its box widened by the slack limit - size in one coordinate), a few ulps either way, with
// nodes spread over [0, 4] so that every coordinate is gridded. The index must agree with
// the nodes' own arithmetic on every one.
TEST(SearchIndex, AgreesAtTheEdgeOfANodesReach) {
  Rng rng(8080);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  // Snapped: corners and sizes on sixteenths, with the grid spanning [0, 4] in 64 cells, so
  // that the ends of the nodes' reach fall on the borders of cells.
  for (bool snapped : {false, true})
  for (MatchPath path : blocked_paths()) {
    for (double D : {2.0, 3.0, 0.7}) {
      const std::int32_t M = 2;
      const double rho = 0.5, limit = D * (1 - rho);
      const vorla::ModelValues model = model_of(M, D, 0.001);
      std::vector<std::unique_ptr<vorla::Node>> nodes;
      NodeBank bank(model, 1, path, vorla::IndexUse::always);
      const auto place = [&](double v) { return snapped ? std::floor(v * 16) / 16 : v; };
      for (int j = 0; j < 64; ++j) {
        const double e0 = place(limit * (0.2 + 0.5 * unit(rng))),
                     e1 = place(limit * (0.9 * unit(rng)) * (1 - e0 / limit));
        const double row[] = {place(4 * unit(rng)), place(4 * unit(rng)), 0, 0};
        double r[4] = {row[0], row[1], row[0] + e0, row[1] + e1};
        if (snapped && j < 2) {  // the corners of the grid
          r[0] = r[1] = j == 0 ? 0.0 : 4.0 - e0;
          r[2] = r[3] = r[0] + e0;
        }
        nodes.push_back(std::make_unique<vorla::Node>(model, r, j, 1));
        bank.append(*nodes.back());
      }
      for (int j = 0; j < 64; ++j) {
        const vorla::Node& n = *nodes[static_cast<std::size_t>(j)];
        const double size = (n.upper[0] - n.lower[0]) + (n.upper[1] - n.lower[1]);
        const double slack = limit - size;
        for (int side = 0; side < 4; ++side) {
          // Beyond the upper or lower corner of coordinate side / 2 by the slack.
          const std::size_t i = static_cast<std::size_t>(side / 2);
          double edge = side % 2 ? n.upper[i] + slack : n.lower[i] - slack;
          for (int k = 0; k < 3; ++k) edge = std::nextafter(edge, -inf);
          for (int k = 0; k < 7; ++k, edge = std::nextafter(edge, inf)) {
            double x[2] = {0.5 * (n.lower[0] + n.upper[0]), 0.5 * (n.lower[1] + n.upper[1])};
            x[i] = edge;
            expect_as_nodes(bank, nodes, {x}, rho, 0.0, NodeBank::Results::passing,
                            std::string(name_of(path)) + " D=" + std::to_string(D) + " node " + std::to_string(j));
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

// Everything a call leaves behind, with the run time masked.
void expect_same_call(const standin::CallResult& reference, const standin::CallResult& r, const std::string& what) {
  EXPECT_EQ(reference.error, r.error) << what;
  EXPECT_EQ(test::masked(reference.text), test::masked(r.text)) << what;
  EXPECT_EQ(reference.warnings, r.warnings) << what;
  EXPECT_EQ(reference.flops, r.flops) << what;
  EXPECT_EQ(reference.allocations, r.allocations) << what;
  EXPECT_EQ(reference.blocks_reclaimed, r.blocks_reclaimed) << what;
  EXPECT_EQ(r.free_store_live, 0) << what;
  EXPECT_TRUE(r.faults.empty()) << what;
  ASSERT_EQ(reference.outputs.size(), r.outputs.size()) << what;
  for (std::size_t k = 0; k < r.outputs.size(); ++k) {
    ASSERT_EQ(reference.outputs[k] == nullptr, r.outputs[k] == nullptr) << what;
    if (!r.outputs[k]) continue;
    EXPECT_EQ(standin::dims_of(reference.output(k)), standin::dims_of(r.output(k))) << what;
    const std::vector<double> a = standin::values_of(reference.output(k)), b = standin::values_of(r.output(k));
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t e = 0; e < a.size(); ++e) ASSERT_EQ(bits(a[e]), bits(b[e])) << what << " output " << k << " element " << e;
  }
}

// How many lines of each kind the traces of a group of calls showed, so that a group is
// known to have gone through the branches it is meant to compare.
struct Seen {
  int vt = 0, ct = 0, candidate = 0, mt = 0, updated = 0, selected = 0, unclassified = 0;
  static int occurrences(const std::string& text, const char* line) {
    int n = 0;
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
  }
  void add(const std::string& text) {
    vt += occurrences(text, "fails VT");
    ct += occurrences(text, "fails CT");
    candidate += occurrences(text, "is candidate");
    mt += occurrences(text, "Engage MT");
    updated += occurrences(text, "updated  node");
    selected += occurrences(text, "selected node");
    unclassified += occurrences(text, "could not be classified");
  }
};

// A rows x cols double matrix from its rows; unlike a list of rows it keeps its shape when
// cols is 0.
standin::ArrayPtr matrix(const std::vector<std::vector<double>>& rows, std::size_t cols) {
  std::vector<double> values(rows.size() * cols);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < cols; ++c) values[c * rows.size() + r] = rows[r][c];
  return standin::make_double(rows.size(), cols, values);
}

standin::CallResult run(const test::FitCall& call, std::int32_t M, standin::CallOptions options = {}) {
  test::Inputs in = call.inputs();
  in[0] = matrix(call.patterns, static_cast<std::size_t>(M));
  return standin::call(vorla::vorla_fit, 3, in.pointers(), options);
}

standin::CallResult run(const test::EvalCall& call, std::int32_t M, standin::CallOptions options = {}) {
  test::Inputs in = call.inputs();
  in[0] = matrix(call.templates, 2 * static_cast<std::size_t>(M));
  in[6] = matrix(call.patterns, static_cast<std::size_t>(M));
  return standin::call(vorla::vorla_eval, 1, in.pointers(), options);
}

// The reference of a call: every node measured, no index and no bound.
template <class Call>
standin::CallResult scanned(const Call& call, std::int32_t M, standin::CallOptions options) {
  IndexScope index_scope(vorla::IndexUse::never);
  return run(call, M, options);
}

TEST(SearchPaths, TrainingCallsAgree) {
  Rng rng(99);
  Seen seen;
  int calls = 0;
  for (std::int32_t M : {0, 1, 2, 3, 7, 8, 9, 17}) {
    for (int c = 0; c < 14; ++c) {
      test::FitCall call;
      const int N = 1 + static_cast<int>(rng() % (c < 11 ? 40 : 120));
      call.patterns.assign(N, std::vector<double>(M));
      call.labels.resize(N);
      for (int p = 0; p < N; ++p) {
        for (double& v : call.patterns[p]) v = grid_value(rng, 0.0, 1.0);
        call.labels[p] = 1 + static_cast<double>(rng() % 3);
      }
      if (N > 3 && c % 5 == 0) call.labels[1] = 1.5;  // never matches a node label
      const double vigilances[] = {0.0, 0.5, 0.75, 0.9, 0.97};
      call.vigilance = vigilances[rng() % 5];
      call.D = c % 7 == 3 ? 0.0 : (c % 7 == 5 ? M / 3.0 : M);
      call.alpha = c % 4 == 0 ? 0.0 : 0.001 * (1 + rng() % 2000);
      call.learning_rate = c % 3 == 0 ? 0.5 : 1.0;
      call.max_list_presentations = 1 + static_cast<double>(rng() % 6);
      call.trim_option = static_cast<double>(rng() % 2);
      call.ct_option = static_cast<double>(rng() % 2);
      call.oflag = static_cast<double>(c % 2 ? 4 : c % 5);

      standin::CallResult reference;
      {
        PathScope scope(MatchPath::per_node);
        reference = run(call, M);
      }
      test::expect_sound(reference);
      seen.add(reference.text);
      ++calls;
      for (vorla::IndexUse use : forced_uses) {
        IndexScope index_scope(use);
        for (MatchPath path : blocked_paths()) {
          PathScope scope(path);
          expect_same_call(reference, run(call, M), std::string(name_of(path)) + name_of(use) +
                                                        " M=" + std::to_string(M) + " call " + std::to_string(c));
          if (HasFatalFailure()) return;
        }
      }
    }
  }
  EXPECT_EQ(calls, 8 * 14);
  EXPECT_GT(seen.vt, 50);
  EXPECT_GT(seen.ct, 20);
  EXPECT_GT(seen.mt, 50);
  EXPECT_GT(seen.updated, 50);
  EXPECT_GT(seen.selected, 50);
}

TEST(SearchPaths, ClassificationCallsAgree) {
  Rng rng(4242);
  const std::vector<double> specials = {nan_value, inf, -inf, -0.0};
  Seen seen;
  for (std::int32_t M : {0, 1, 2, 3, 7, 8, 9, 17}) {
    for (std::int32_t K : {0, 1, 15, 16, 17, 40}) {
      for (int c = 0; c < 4; ++c) {
        test::EvalCall call;
        call.templates.assign(K, std::vector<double>(2 * static_cast<std::size_t>(M)));
        call.labels.resize(K);
        for (std::int32_t j = 0; j < K; ++j) {
          for (std::int32_t i = 0; i < M; ++i) {
            double a = grid_value(rng, 0.0, 1.0), b = grid_value(rng, 0.0, 1.0);
            if ((a > b) != (rng() % 6 == 0)) std::swap(a, b);
            call.templates[j][i] = a;
            call.templates[j][M + i] = b;
          }
          call.labels[j] = static_cast<double>(rng() % 4) + (j % 5 == 0 ? 0.7 : 0.0);
        }
        const int N = 1 + static_cast<int>(rng() % 30);
        call.patterns.assign(N, std::vector<double>(M));
        for (auto& x : call.patterns)
          for (std::int32_t i = 0; i < M; ++i) {
            const unsigned kind = rng() % 12;
            if (kind == 0)
              x[i] = specials[rng() % specials.size()];
            else if (kind == 1 && K > 0)
              x[i] = call.templates[rng() % K][i + (rng() % 2) * M];  // on a face
            else
              x[i] = grid_value(rng, -0.2, 1.2);
          }
        const double vigilances[] = {0.0, 0.5, 0.8, 0.9, 1.0};
        call.vigilance = vigilances[rng() % 5];
        call.D = c == 3 ? 0.0 : (c == 2 ? M / 2.0 : M);
        call.alpha = c == 1 ? 0.0 : (rng() % 2 ? 0.01 : 6.0);
        call.ct_option = static_cast<double>(rng() % 2);
        call.unknown_label = -1;
        call.oflag = static_cast<double>(rng() % 4);

        standin::CallResult reference;
        {
          PathScope scope(MatchPath::per_node);
          reference = run(call, M);
        }
        test::expect_sound(reference);
        seen.add(reference.text);
        for (vorla::IndexUse use : forced_uses) {
          IndexScope index_scope(use);
          for (MatchPath path : blocked_paths()) {
            PathScope scope(path);
            expect_same_call(reference, run(call, M), std::string(name_of(path)) + name_of(use) + " M=" +
                                                          std::to_string(M) + " K=" + std::to_string(K) +
                                                          " call " + std::to_string(c));
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
  EXPECT_GT(seen.vt, 50);
  EXPECT_GT(seen.ct, 20);
  EXPECT_GT(seen.candidate, 50);
  EXPECT_GT(seen.unclassified, 50);
}

// The summary's totals line, its seconds masked.
std::string totals_line(const std::string& text) {
  const auto at = text.rfind(" FLOPs and ");
  if (at == std::string::npos) return "";
  return test::masked(text.substr(text.rfind('\n', at) + 1));
}

// Without a per-node trace the searches count in bulk; whatever the trace level, a call
// returns the same outputs, reports the same operations pattern by pattern and sums them
// to the same totals.
TEST(SearchPaths, CountsDoNotDependOnTheTraceLevel) {
  Rng rng(512);
  std::vector<MatchPath> paths = blocked_paths();
  paths.push_back(MatchPath::per_node);
  for (MatchPath path : paths) {
    PathScope scope(path);
    for (int c = 0; c < 40; ++c) {
      const std::int32_t M = 1 + static_cast<std::int32_t>(rng() % 9);
      test::FitCall fit;
      const int N = 5 + static_cast<int>(rng() % 60);
      fit.patterns.assign(N, std::vector<double>(M));
      fit.labels.resize(N);
      for (int p = 0; p < N; ++p) {
        for (double& v : fit.patterns[p]) v = grid_value(rng, 0.0, 1.0);
        fit.labels[p] = 1 + static_cast<double>(rng() % 3);
      }
      fit.D = M;
      fit.vigilance = 0.25 * (rng() % 4);
      fit.alpha = 0.001 * (1 + rng() % 3000);
      fit.learning_rate = c % 2 ? 1.0 : 0.75;
      fit.max_list_presentations = 3;
      fit.ct_option = static_cast<double>(rng() % 2);
      fit.oflag = 1;
      const standin::CallResult quiet = run(fit, M);
      fit.oflag = 4;
      const standin::CallResult traced = run(fit, M);
      const std::string what = std::string(name_of(path)) + " fit call " + std::to_string(c);
      EXPECT_EQ(quiet.flops, traced.flops) << what;
      EXPECT_EQ(totals_line(quiet.text), totals_line(traced.text)) << what;
      ASSERT_EQ(quiet.outputs.size(), 3u) << what;
      for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(standin::values_of(quiet.output(k)), standin::values_of(traced.output(k))) << what;

      test::EvalCall eval;
      eval.templates.clear();
      for (std::size_t j = 0; j < 3 * fit.patterns.size() / 4; ++j) {
        std::vector<double> row(fit.patterns[j]);
        for (std::int32_t i = 0; i < M; ++i) row.push_back(fit.patterns[j][i] + grid_value(rng, -0.25, 0.5));
        eval.templates.push_back(row);
      }
      eval.labels.assign(eval.templates.size(), 2);
      for (std::size_t j = 0; j < eval.labels.size(); j += 3) eval.labels[j] = 1;
      eval.patterns = fit.patterns;
      eval.D = M;
      eval.vigilance = fit.vigilance;
      eval.alpha = fit.alpha;
      eval.ct_option = fit.ct_option;
      eval.oflag = 1;
      const standin::CallResult quiet_eval = run(eval, M);
      eval.oflag = 3;
      const standin::CallResult traced_eval = run(eval, M);
      EXPECT_EQ(quiet_eval.flops, traced_eval.flops) << what;
      EXPECT_EQ(totals_line(quiet_eval.text), totals_line(traced_eval.text)) << what;
      ASSERT_EQ(quiet_eval.outputs.size(), 1u) << what;
      EXPECT_EQ(standin::values_of(quiet_eval.output(0)), standin::values_of(traced_eval.output(0))) << what;
    }
  }
}

// Every free-store allocation of a call, the bank's among them, may fail: the call then
// ends in the out-of-memory message and leaves nothing behind.
TEST(SearchPaths, FailedAllocationsEndInTheMemoryMessage) {
  test::FitCall fit;
  fit.patterns.clear();
  fit.labels.clear();
  for (int p = 0; p < 40; ++p) {  // forty separate point boxes: the bank grows twice
    fit.patterns.push_back({p / 40.0, 1 - p / 40.0});
    fit.labels.push_back(1 + p % 2);
  }
  fit.D = 2;
  fit.vigilance = 0.999;
  test::EvalCall eval;
  eval.templates.assign(40, {0.1, 0.2, 0.3, 0.4});
  eval.labels.assign(40, 1);

  for (MatchPath path : blocked_paths()) {
    PathScope scope(path);
    struct Run {
      const char* message;
      std::function<standin::CallResult(standin::CallOptions)> call;
    };
    const Run runs[] = {
        {"VORLA_FIT: Not enough memory available; unable to run!", [&](standin::CallOptions o) { return fit.run(o); }},
        {"VORLA_EVAL: Not enough memory available; unable to run!", [&](standin::CallOptions o) { return eval.run(o); }},
    };
    for (const Run& run : runs) {
      const standin::CallResult whole = run.call({});
      test::expect_sound(whole);
      ASSERT_GT(whole.free_store_allocations, 2);
      for (long k = 1; k <= whole.free_store_allocations; ++k) {
        standin::CallOptions options;
        options.fail_free_store_allocation = k;
        const standin::CallResult r = run.call(options);
        EXPECT_EQ(r.error.value_or(""), run.message) << name_of(path) << " allocation " << k;
        EXPECT_EQ(r.free_store_live, 0) << name_of(path) << " allocation " << k;
        EXPECT_TRUE(r.faults.empty()) << name_of(path) << " allocation " << k;
      }
    }
  }
}

// A node whose size for the pattern lies beyond its limit never has a cfv above the cut.
// One feature, the pattern at 0 and boxes [-v, w - v]: the size is v exactly, and the box size
// w sets the choice denominator. The largest box ([-largest, 0]) and a point box set the
// cut (the largest and the smallest denominator); the sizes of boxes of 0 to 31/32 of that
// size walk the doubles around the limit (first D - cut x d) that their denominator d gives,
// for D below and above the sizes.
TEST(ChoiceReach, NoNodeBeyondItsLimitChoosesAboveTheCut) {
  const double zero = 0.0;
  for (double D : {1.0, 3.0, 0.1, 0.7}) {
    for (double alpha : {0.0, 0.001, 2.5}) {
      for (double largest : {0.5, 0.9, 1.0}) {
        if (!((D - largest) + alpha > 0)) continue;  // a choice denominator of 0 or less
        const vorla::ModelValues model = model_of(1, D, alpha);
        std::vector<std::unique_ptr<vorla::Node>> nodes;
        const auto add = [&](double v, double w) {
          const double row[2] = {-v, w - v};
          nodes.push_back(std::make_unique<vorla::Node>(model, row, 1, 1));
        };
        add(largest, largest);
        add(2 * D, 0.0);  // the greatest denominator too, for a cut below 0
        const double cut = vorla::ChoiceReach(model, nodes, inf, false, 0.0).cut();
        for (int part = 0; part < 32; ++part) {
          const double w = largest * part / 32;
          double v = D - cut * ((D - w) + alpha);
          for (int k = 0; k < 8; ++k) v = std::nextafter(v, -inf);
          for (int k = 0; k < 16; ++k, v = std::nextafter(v, inf)) add(v, w);
        }
        for (bool ct : {false, true}) {
          const double Tu = D / (alpha + 2 * D);
          const vorla::ChoiceReach reach(model, nodes, inf, ct, Tu);
          const std::string what = "D=" + std::to_string(D) + " alpha=" + std::to_string(alpha) +
                                   " largest=" + std::to_string(largest);
          ASSERT_TRUE(reach.usable()) << what;
          ASSERT_EQ(reach.cut(), cut) << what;
          int beyond = 0, within = 0;
          for (std::size_t j = 0; j < nodes.size(); ++j) {
            vorla::Node& n = *nodes[j];
            n.compute_match(model, &zero);
            // The size as the node sums it, from its one term.
            const double size = 0.0 + ((0.0 < n.upper[0] ? n.upper[0] : 0.0) - (0.0 <= n.lower[0] ? 0.0 : n.lower[0]));
            const double cfv = n.match_numerator / n.choice_denominator;
            if (!(size > reach.node_limits()[j])) {
              within += cfv > cut ? 1 : 0;
              continue;
            }
            ++beyond;
            EXPECT_LE(cfv, cut) << what << " node " << j << " size " << size;
          }
          // Both sides of the limits are reached, and most nodes within them can beat the cut.
          EXPECT_GT(beyond, 150) << what;
          EXPECT_GT(within, 60) << what;
          // A winner settles the search only when it is above the cut; a tie does not.
          if (!(ct && cut < Tu)) {
            EXPECT_FALSE(reach.settles(true, cut)) << what;
            EXPECT_FALSE(reach.settles(false, 0.0)) << what;
          }
          EXPECT_TRUE(reach.settles(true, std::nextafter(cut, inf))) << what;
        }
      }
    }
  }
  // What the bound needs of the nodes: D finite and above 0, choice denominators above 0.
  vorla::ModelValues model = model_of(1, 1.0, 0.0);
  std::vector<std::unique_ptr<vorla::Node>> nodes;
  const double unit_box[2] = {0.0, 1.0};
  nodes.push_back(std::make_unique<vorla::Node>(model, unit_box, 1, 1));
  EXPECT_FALSE(vorla::ChoiceReach(model, nodes, inf, false, 0.0).usable());  // denominator 0
  model = model_of(1, 1.0, 0.5);
  nodes.clear();
  nodes.push_back(std::make_unique<vorla::Node>(model, unit_box, 1, 1));
  EXPECT_TRUE(vorla::ChoiceReach(model, nodes, inf, false, 0.0).usable());
  model = model_of(1, 0.0, 0.5);
  EXPECT_FALSE(vorla::ChoiceReach(model, nodes, inf, false, 0.0).usable());
  model = model_of(1, inf, 0.5);
  EXPECT_FALSE(vorla::ChoiceReach(model, nodes, inf, false, 0.0).usable());
}

// An index with a limit per node measures every node whose size is within its own limit:
// such a node, when its size also passes the test's limit, is marked passing with the
// node's own numerator, and no other node is. Limits below 0, NaN and infinite, boxes
// inverted, patterns on faces and not finite.
TEST(NodeBank, MeasuresEveryNodeWithinItsOwnLimit) {
  Rng rng(2718);
  const std::vector<double> odd_limits = {-0.5, nan_value, inf, 0.0};
  for (MatchPath path : blocked_paths()) {
    for (std::int32_t M : {1, 3, 8}) {
      const vorla::ModelValues model = model_of(M, M, 0.01);
      std::vector<std::unique_ptr<vorla::Node>> nodes;
      NodeBank bank(model, NodeBank::full_group, path);
      std::vector<double> node_limits;
      for (int j = 0; j < 203; ++j) {
        std::vector<double> row(2 * static_cast<std::size_t>(M));
        for (std::int32_t i = 0; i < M; ++i) {
          row[i] = grid_value(rng, 0.0, 1.0);
          row[M + i] = rng() % 10 == 0 ? row[i] - 0.25 : std::min(1.0, row[i] + grid_value(rng, 0.0, 0.5));
        }
        nodes.push_back(std::make_unique<vorla::Node>(model, row.data(), 1, 1));
        bank.append(*nodes.back());
        const double size = vorla::box_size(model, nodes.back()->lower.get(), nodes.back()->upper.get());
        node_limits.push_back(rng() % 8 == 0 ? odd_limits[rng() % odd_limits.size()] : size + grid_value(rng, -0.1, 0.5));
      }
      const double limit = 0.5 * M;
      for (int round = 0; round < 6; ++round) {
        std::vector<std::vector<double>> values(NodeBank::full_group, std::vector<double>(M));
        std::vector<const double*> patterns;
        for (auto& x : values) {
          for (std::int32_t i = 0; i < M; ++i) {
            const unsigned kind = rng() % 20;
            x[i] = kind == 0 ? inf : kind < 5 ? nodes[rng() % nodes.size()]->upper[i] : grid_value(rng, -0.2, 1.2);
          }
          patterns.push_back(x.data());
        }
        ASSERT_EQ(bank.measure_within(patterns.data(), NodeBank::full_group, limit, node_limits.data(), round / 3),
                  NodeBank::Reach::measured);
        for (std::int32_t g = 0; g < NodeBank::full_group; ++g) {
          for (std::size_t j = 0; j < nodes.size(); ++j) {
            vorla::Node& n = *nodes[j];
            n.compute_match(model, patterns[g]);
            double size = 0.0;  // as the node sums it
            for (std::int32_t i = 0; i < M; ++i) {
              const double x = patterns[g][i];
              size = size + ((x < n.upper[i] ? n.upper[i] : x) - (x <= n.lower[i] ? x : n.lower[i]));
            }
            const auto at = static_cast<std::int32_t>(j);
            const std::string what = std::string(name_of(path)) + " M=" + std::to_string(M) + " node " +
                                     std::to_string(j) + " pattern " + std::to_string(g);
            if (passed(bank, at, g)) {
              ASSERT_TRUE(size <= limit) << what;
              ASSERT_EQ(bits(bank.mfv(at, g)), bits(n.mfv)) << what;
            } else if (size <= node_limits[j] || std::isnan(node_limits[j])) {
              ASSERT_FALSE(size <= limit) << what << " size " << size << " limit " << node_limits[j];
            }
          }
        }
      }
    }
  }
}

// Calls whose counts nothing shows (oflag 0 on a host without an operation counter) may find
// the winner through the bound on the choice value. Whatever they take, they give the scan's
// predictions: random boxes, many of them nested or repeated, among inverted ones in some
// calls; patterns inside, on faces, far outside (so that the
// bound's margin must widen) and not finite.
TEST(SearchPaths, WinnersWithoutCountsAgree) {
  Rng rng(777);
  const std::vector<double> specials = {nan_value, inf, -inf, -0.0};
  int bounded = 0;
  int calls = 0;
  for (std::int32_t M : {1, 2, 3, 8}) {
    for (std::int32_t K : {1, 17, 40, 300, 700}) {
      for (int c = 0; c < 5; ++c) {
        test::EvalCall call;
        call.templates.assign(K, std::vector<double>(2 * static_cast<std::size_t>(M)));
        call.labels.resize(K);
        for (std::int32_t j = 0; j < K; ++j) {
          if (j > 0 && rng() % 8 == 0) {
            call.templates[j] = call.templates[rng() % j];  // a repeated box: ties
          } else {
            for (std::int32_t i = 0; i < M; ++i) {
              const double from = grid_value(rng, 0.0, 1.0);
              call.templates[j][i] = from;
              call.templates[j][M + i] = std::min(1.0, from + grid_value(rng, 0.0, 0.5));
            }
          }
          if (c == 4 && rng() % 50 == 0) {
            const auto i = static_cast<std::size_t>(rng() % M);
            std::swap(call.templates[j][i], call.templates[j][M + i]);  // inverted
            call.templates[j][i] += 0.25;
          }
          call.labels[j] = static_cast<double>(j % 7);
        }
        const int N = 1 + static_cast<int>(rng() % 600);
        call.patterns.assign(N, std::vector<double>(M));
        const bool far_run = rng() % 3 == 0;
        for (int p = 0; p < N; ++p)
          for (std::int32_t i = 0; i < M; ++i) {
            const unsigned kind = rng() % 40;
            double& x = call.patterns[p][i];
            if (kind == 0)
              x = specials[rng() % specials.size()];
            else if (kind < 8)
              x = call.templates[rng() % K][i + (rng() % 2) * M];  // on a face
            else if (far_run && p > N / 3)
              x = grid_value(rng, 2.0, 4.0);
            else
              x = grid_value(rng, -0.2, 1.2);
          }
        const double vigilances[] = {0.0, 0.0, 0.0, 0.5, 0.9};
        call.vigilance = vigilances[rng() % 5];
        call.D = c == 3 ? M / 3.0 : M;
        call.alpha = c == 1 ? 0.0 : (rng() % 2 ? 0.001 : 3.0);
        call.ct_option = static_cast<double>(rng() % 2);
        call.unknown_label = -1;
        call.oflag = 0;
        const standin::CallOptions quiet = without_counter();

        standin::CallResult reference;
        {
          PathScope scope(MatchPath::per_node);
          IndexScope index_scope(vorla::IndexUse::never);
          reference = run(call, M, quiet);
        }
        test::expect_sound(reference);
        EXPECT_TRUE(reference.flops.empty());
        ++calls;
        for (vorla::IndexUse use : {vorla::IndexUse::always, vorla::IndexUse::automatic}) {
          IndexScope index_scope(use);
          for (MatchPath path : blocked_paths()) {
            PathScope scope(path);
            const standin::CallResult r = run(call, M, quiet);
            // The bound's index is the one thing such a call allocates beyond the scan's.
            if (use == vorla::IndexUse::always && r.free_store_allocations > reference.free_store_allocations + 2)
              ++bounded;
            expect_same_call(reference, r, std::string(name_of(path)) + name_of(use) + " M=" + std::to_string(M) +
                                               " K=" + std::to_string(K) + " call " + std::to_string(c));
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
  EXPECT_EQ(calls, 4 * 5 * 5);
  // Nearly every call under always builds the bound's index, on every path.
  EXPECT_GT(bounded, 80 * static_cast<int>(blocked_paths().size()));
}

// Two equal boxes with different labels, the pattern inside both and in no smaller box: the
// lower-numbered node classifies it on every path, whichever of the two is nearer the start.
TEST(SearchPaths, EqualChoicesGoToTheLowerNodeThroughTheBound) {
  Rng rng(31);
  const std::int32_t M = 4;
  test::EvalCall call;
  call.templates.clear();
  for (int j = 0; j < 900; ++j) {
    std::vector<double> row(2 * M);
    for (std::int32_t i = 0; i < M; ++i) {
      row[i] = grid_value(rng, 0.0, 0.5);
      row[M + i] = row[i] + 0.5;
    }
    call.templates.push_back(row);
  }
  const std::vector<double> small = {0.6, 0.6, 0.6, 0.6, 0.65, 0.65, 0.65, 0.65};
  call.templates[800] = small;
  call.templates[17] = small;
  call.labels.assign(900, 1);
  call.labels[17] = 5;
  call.labels[800] = 9;
  call.patterns.assign(300, {0.62, 0.63, 0.64, 0.65});
  call.D = M;
  call.vigilance = 0;
  call.alpha = 0.001;
  call.oflag = 0;
  const standin::CallOptions quiet = without_counter();
  for (vorla::IndexUse use : {vorla::IndexUse::never, vorla::IndexUse::always, vorla::IndexUse::automatic}) {
    IndexScope index_scope(use);
    const standin::CallResult r = run(call, M, quiet);
    test::expect_sound(r);
    ASSERT_EQ(r.outputs.size(), 1u);
    EXPECT_EQ(standin::values_of(r.output(0)), std::vector<double>(300, 5.0)) << name_of(use);
  }
}

// The bound on the choice value only saves time: when its own memory fails, the call scans
// and gives the same predictions; any other failed allocation ends the call in the memory
// message. Either way nothing is left behind.
TEST(SearchPaths, FailedAllocationsOfTheBoundFallBackToTheScan) {
  Rng rng(5);
  test::EvalCall call;
  call.templates.clear();
  for (int j = 0; j < 40; ++j) {
    const double a = grid_value(rng, 0.0, 0.5), b = grid_value(rng, 0.0, 0.5);
    call.templates.push_back({a, b, a + 0.5, b + 0.5});
  }
  call.labels.assign(40, 1);
  for (std::size_t j = 0; j < 40; j += 3) call.labels[j] = 2;
  call.patterns.clear();
  for (int p = 0; p < 20; ++p) call.patterns.push_back({grid_value(rng, 0.0, 1.0), grid_value(rng, 0.0, 1.0)});
  call.vigilance = 0;
  call.oflag = 0;
  IndexScope index_scope(vorla::IndexUse::always);
  const standin::CallOptions quiet = without_counter();
  const standin::CallResult whole = call.run(quiet);
  test::expect_sound(whole);
  int scanned_instead = 0;
  for (long k = 1; k <= whole.free_store_allocations; ++k) {
    standin::CallOptions options = quiet;
    options.fail_free_store_allocation = k;
    const standin::CallResult r = call.run(options);
    EXPECT_EQ(r.free_store_live, 0) << "allocation " << k;
    EXPECT_TRUE(r.faults.empty()) << "allocation " << k;
    if (r.error) {
      EXPECT_EQ(*r.error, "VORLA_EVAL: Not enough memory available; unable to run!") << "allocation " << k;
      continue;
    }
    ++scanned_instead;
    ASSERT_EQ(r.outputs.size(), 1u);
    EXPECT_EQ(standin::values_of(r.output(0)), standin::values_of(whole.output(0))) << "allocation " << k;
  }
  EXPECT_GT(scanned_instead, 2);
}

// The size limits of the bound are the exact edges of their tests: the size at the limit
// passes (cfv above the cut; mfv against rho) and the next double does not, for every kind
// of value around them (cuts near 1, where a step of D - S spans many doubles of a small S;
// subnormal and huge denominators; D far from M).
TEST(ReachLimits, AreTheEdgesOfTheirTests) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double huge = std::numeric_limits<double>::max();
  Rng rng(8);
  int bisected = 0;
  for (const double D : {1.0, 3.0, 10.0, 1e-300, 1e300, 0.1}) {
    std::vector<double> cuts = {0.0, -0.5, 0.5, 0.99, 0.9999, 1 - 0x1p-40, 1.0, 2.0, -huge, huge};
    std::vector<double> denominators = {D, D + 0.001, D * 0.5, D + 3.0, tiny, 1e-310, huge, 1e-5};
    for (int k = 0; k < 40; ++k) {
      cuts.push_back(1 - std::ldexp(1.0, -1 - static_cast<int>(rng() % 50)));
      denominators.push_back(D * (rng() % 1000 + 1) / 997.0 + 0.001 * (rng() % 3));
    }
    for (const double cut : cuts)
      for (const double d : denominators) {
        const double L = vorla::choice_size_limit(D, cut, d);
        const auto cfv = [&](double size) { return (D - size) / d; };
        const std::string what = "D " + std::to_string(D) + " cut " + std::to_string(cut) + " d " + std::to_string(d);
        ASSERT_FALSE(std::isnan(L)) << what;
        if (L == inf) continue;
        if (L < 0) {
          ASSERT_EQ(L, -1.0) << what;
          ASSERT_LE(cfv(0.0), cut) << what;
          continue;
        }
        ASSERT_GT(cfv(L), cut) << what;
        ASSERT_LE(cfv(std::nextafter(L, inf)), cut) << what;
        if (L != D - cut * d) ++bisected;
      }
    for (const double rho : {-1.0, 0.0, 0.5, 0.75, 0.9999999, 1.0, 1.5})
      for (const bool strict : {true, false})
        for (const double least : {-1.0, 0.0, 0x1p-1074, 0.25 * D, D, 2 * D, inf}) {
          const auto passes = [&](double size) {
            const double mfv = (D - size) / D;
            return strict ? mfv > rho : mfv >= rho;
          };
          // The largest passing size, by bisection over all the doubles: every size above
          // least fails exactly when least is at or above it.
          double largest = -1.0;
          if (passes(inf)) {
            largest = inf;
          } else if (passes(0.0)) {
            largest = vorla::last_failing_size(vorla::bits_of(0.0), vorla::bits_of(inf),
                                               [&](double size) { return !passes(size); });
          }
          const bool fail = vorla::sizes_above_fail_match(D, least, rho, strict);
          if (largest == inf) {
            EXPECT_FALSE(fail) << D << " " << rho << " " << least;  // no size fails
          } else {
            EXPECT_EQ(fail, least >= largest) << D << " " << rho << " " << least;
          }
        }
  }
  EXPECT_GT(bisected, 100);  // the edges that rounding moved from D - cut x d
}

// Training whose counts nothing shows goes through the bound's stages: every output is the
// scan's, bit for bit, on every path, for fast and slow learning, the CT, trimming,
// vigilance 0 to 1, D different from M, alpha 0, ties (repeated patterns with other labels)
// and coordinates that are subnormal or huge.
TEST(SearchPaths, TrainingWinnersWithoutCountsAgree) {
  Rng rng(2026);
  int calls = 0;
  long reached = 0;
  for (std::int32_t M : {1, 2, 3, 10}) {
    for (int c = 0; c < 12; ++c) {
      test::FitCall call;
      const int N = 40 + static_cast<int>(rng() % 400);
      const int classes = 2 + static_cast<int>(rng() % 3);
      call.patterns.assign(N, std::vector<double>(M));
      call.labels.resize(N);
      const double scale = c == 7 ? 1e-310 : (c == 8 ? 1e300 : 1.0);
      for (int p = 0; p < N; ++p) {
        if (p > 0 && rng() % 10 == 0) {
          call.patterns[p] = call.patterns[rng() % p];  // the same pattern, maybe another label
        } else {
          for (double& v : call.patterns[p]) v = scale * (c % 2 ? grid_value(rng, 0.0, 1.0) : (rng() % 100000) / 1e5);
        }
        call.labels[p] = 1 + static_cast<double>(rng() % classes);
      }
      const double vigilances[] = {0.0, 0.0, 0.0, 0.3, 0.75, 0.9, 1.0};
      call.vigilance = vigilances[rng() % 7];
      call.D = (c % 4 == 1 ? 3.0 * M : (c % 4 == 2 ? M / 2.0 : M)) * scale;
      call.alpha = c % 5 == 0 ? 0.0 : (c % 5 == 1 ? 2.0 : 0.001);
      call.learning_rate = c % 3 == 0 ? 0.5 : 1.0;
      call.max_list_presentations = 1 + static_cast<double>(rng() % 8);
      call.trim_option = static_cast<double>(rng() % 2);
      call.ct_option = static_cast<double>(c % 6 == 4);
      call.oflag = 0;
      const standin::CallOptions quiet = without_counter();

      const standin::CallResult reference = scanned(call, M, quiet);
      test::expect_sound(reference);
      ++calls;
      for (vorla::IndexUse use : {vorla::IndexUse::always, vorla::IndexUse::automatic}) {
        IndexScope index_scope(use);
        for (MatchPath path : blocked_paths()) {
          PathScope scope(path);
          const standin::CallResult r = run(call, M, quiet);
          if (use == vorla::IndexUse::always) reached += r.free_store_allocations - reference.free_store_allocations;
          expect_same_call(reference, r, std::string(name_of(path)) + name_of(use) + " M=" + std::to_string(M) +
                                             " call " + std::to_string(c));
          if (HasFatalFailure()) return;
        }
      }
    }
  }
  EXPECT_EQ(calls, 4 * 12);
  EXPECT_GT(reached, 1000);  // the bound's indexes and limits were built
}

// Training from given nodes under either match-tracking rule goes through the bound as
// vorla_fit does: the same nodes, labels and presentations as the scan, the given boxes
// (grown, repeated or inverted) included.
TEST(SearchPaths, LearningWithoutCountsAgreesUnderBothRules) {
  Rng rng(404);
  int calls = 0;
  for (std::int32_t M : {2, 5}) {
    for (int c = 0; c < 10; ++c) {
      test::LearnCall call;
      const int N = 200 + static_cast<int>(rng() % 300);
      call.fit.patterns.assign(N, std::vector<double>(M));
      call.fit.labels.resize(N);
      for (int p = 0; p < N; ++p) {
        for (double& v : call.fit.patterns[p]) v = c % 2 ? grid_value(rng, 0.0, 1.0) : (rng() % 1000) / 1e3;
        call.fit.labels[p] = 1 + static_cast<double>(rng() % 3);
        // Missing features in every third call: the plain search beside the bound's, and
        // nodes left open that the bound's searches then meet.
        if (c % 3 == 1 && p % 7 < 2) call.fit.patterns[p][static_cast<std::size_t>(p % M)] = NAN;
        if (c % 3 == 1 && p % 23 == 5) call.fit.patterns[p].assign(M, NAN);
      }
      const int given = static_cast<int>(rng() % 40);
      for (int j = 0; j < given; ++j) {
        std::vector<double> row(2 * M);
        for (std::int32_t i = 0; i < M; ++i) {
          row[i] = grid_value(rng, 0.0, 0.8);
          row[M + i] = row[i] + (j % 9 == 8 ? -0.1 : grid_value(rng, 0.0, 0.2));  // now and then inverted
        }
        if (j % 9 == 7) {  // open in feature 1, as a pattern missing it left the node
          row[0] = 1;
          row[M] = 0;
        }
        call.templates0.push_back(row);
        call.labels0.push_back(1 + static_cast<double>(rng() % 3));
      }
      call.match_tracking = c % 2;
      call.fit.D = M;
      call.fit.vigilance = c % 3 == 2 ? 0.5 : 0.0;
      call.fit.alpha = c % 4 == 3 ? 0.0 : 0.001;
      call.fit.learning_rate = c % 5 == 4 ? 0.5 : 1.0;
      call.fit.ct_option = static_cast<double>(c % 6 == 5);
      call.fit.max_list_presentations = 1 + static_cast<double>(rng() % 6);
      call.fit.oflag = 0;
      const standin::CallOptions quiet = without_counter();
      standin::CallResult reference;
      {
        IndexScope index_scope(vorla::IndexUse::never);
        reference = call.run(quiet, 3);  // the fourth output holds times
      }
      test::expect_sound(reference);
      ++calls;
      for (vorla::IndexUse use : {vorla::IndexUse::always, vorla::IndexUse::automatic}) {
        IndexScope index_scope(use);
        expect_same_call(reference, call.run(quiet, 3),
                         std::string(name_of(use)) + " M=" + std::to_string(M) + " call " + std::to_string(c));
        if (HasFatalFailure()) return;
      }
    }
  }
  EXPECT_EQ(calls, 20);
}

// A run large enough for the automatic choice to take the bound after its first windows,
// through overlapping classes with noisy labels, and one where it takes the bound beside the
// vigilance test's own index: the scan's nodes, labels and presentations.
TEST(SearchPaths, LongNoisyTrainingWithoutCountsAgrees) {
  Rng rng(12);
  const std::int32_t M = 6;
  test::FitCall call;
  const int N = 6000;
  call.patterns.assign(N, std::vector<double>(M));
  call.labels.resize(N);
  std::normal_distribution<double> normal(0.0, 0.12);
  std::vector<std::vector<double>> centres(8, std::vector<double>(M));
  for (auto& centre : centres)
    for (double& v : centre) v = 0.3 + 0.4 * (rng() % 1000) / 1000.0;
  for (int p = 0; p < N; ++p) {
    const unsigned k = rng() % 8;
    for (std::int32_t i = 0; i < M; ++i) call.patterns[p][i] = centres[k][i] + normal(rng.engine);
    call.labels[p] = rng() % 50 == 0 ? 1 + rng() % 4 : 1 + k % 4;
  }
  call.D = M;
  call.max_list_presentations = 3;
  call.oflag = 0;
  const standin::CallOptions quiet = without_counter();
  standin::CallResult reference = scanned(call, M, quiet);
  test::expect_sound(reference);
  ASSERT_GT(standin::dims_of(reference.output(0))[0], 600u);
  for (const bool ct : {false, true}) {
    call.ct_option = ct;
    if (ct) reference = scanned(call, M, quiet);
    for (vorla::IndexUse use : {vorla::IndexUse::automatic, vorla::IndexUse::always}) {
      IndexScope index_scope(use);
      const standin::CallResult r = run(call, M, quiet);
      EXPECT_GT(r.free_store_allocations, reference.free_store_allocations + 2) << name_of(use);
      expect_same_call(reference, r, std::string(name_of(use)) + (ct ? " CT" : ""));
    }
  }
  // The network classifies new patterns of the problem (and a few far away or on a node's
  // face) as the scan does, through either bound, at vigilance 0 and above.
  test::EvalCall eval;
  const std::vector<double> templates = standin::values_of(reference.output(0));
  const std::size_t K = standin::dims_of(reference.output(0))[0];
  eval.templates.assign(K, std::vector<double>(2 * M));
  for (std::size_t j = 0; j < K; ++j)
    for (std::size_t c = 0; c < 2 * static_cast<std::size_t>(M); ++c) eval.templates[j][c] = templates[c * K + j];
  eval.labels = standin::values_of(reference.output(1));
  eval.patterns.assign(3000, std::vector<double>(M));
  for (int p = 0; p < 3000; ++p) {
    const unsigned k = rng() % 8;
    for (std::int32_t i = 0; i < M; ++i) {
      const unsigned kind = rng() % 50;
      eval.patterns[p][i] = kind == 0 ? 3.0 : (kind == 1 ? eval.templates[rng() % K][i] : centres[k][i] + normal(rng.engine));
    }
  }
  eval.D = M;
  eval.alpha = 0.001;
  eval.oflag = 0;
  for (const double vigilance : {0.0, 0.4}) {
    for (const double ct : {0.0, 1.0}) {
      eval.vigilance = vigilance;
      eval.ct_option = ct;
      const standin::CallResult expected = scanned(eval, M, quiet);
      test::expect_sound(expected);
      for (vorla::IndexUse use : {vorla::IndexUse::automatic, vorla::IndexUse::always}) {
        IndexScope index_scope(use);
        expect_same_call(expected, run(eval, M, quiet), std::string("classification") + name_of(use));
      }
    }
  }
  // Uniform patterns inside or outside a sphere at vigilance 0.75: the vigilance test's own
  // index measures few of the many small boxes, and the bound competes with it.
  {
    Rng sphere_rng(75);
    test::FitCall sphere;
    const std::int32_t S = 4;
    sphere.patterns.assign(N, std::vector<double>(S));
    sphere.labels.resize(N);
    for (int p = 0; p < N; ++p) {
      double r2 = 0;
      for (double& v : sphere.patterns[p]) {
        v = (sphere_rng() % 100000) / 1e5;
        r2 += (v - 0.5) * (v - 0.5);
      }
      sphere.labels[p] = r2 > 0.3 ? 2 : 1;
    }
    sphere.D = S;
    sphere.vigilance = 0.75;
    sphere.max_list_presentations = 3;
    sphere.oflag = 0;
    const standin::CallResult expected = scanned(sphere, S, quiet);
    ASSERT_GT(standin::dims_of(expected.output(0))[0], 600u);
    expect_same_call(expected, run(sphere, S, quiet), "sphere");
  }
}

}  // namespace
