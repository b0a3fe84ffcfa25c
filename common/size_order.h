// The nodes' boxes once more, grouped by their own size and rounded to float, for match
// tracking's searches that would otherwise measure every node. After a wrong winner only
// the nodes whose size for the pattern is within the raised rho's limit stay in the running,
// and a node's size for any pattern is at least its own (each term max(upper, x) -
// min(lower, x) is at least upper - lower, rounding being monotone, and so is each rounded
// partial sum, taken in the same order): a group whose nodes' own sizes all exceed the limit
// is passed over unread. The rest are read in single precision, half the bytes of the
// bank's, and only the few nodes that may still be the winner are measured exactly.
//
// Why the rough pass loses no winner (u = 2^-24, B at least every |corner| and |x_i|, all
// finite and within 2^32, and each d in [2^-32, 2^32], so that no float value overflows; a
// float rounds a double to nearest, with an error of at most u |v| + 2^-149):
//   - A corner or x_i moves by at most uB + 2^-149 in float; so do max(upper, x) and
//     min(lower, x), which move by no more than their operands. A term high - low, with its
//     rounding, then moves by at most 5uB + 3 * 2^-149, and its double by 2^-53 * 2B.
//   - The partial sums are below 3MB, so the M rounded additions move the float sum by at
//     most 3M^2 uB, and the double one by 3M^2 2^-53 B.
//   - So |S_float - S_exact| <= E = (6M + 4M^2) uB + 3M * 2^-149, taken a hundredth larger.
// The test on mfv passes exactly for S_exact <= L: a node of S_float > L + E fails it, one of
// S_float <= L - E passes it (both limits rounded outward to float). The cfv estimate
// a = fl(fl(D - S_float) / d_float) lies within (E + 3u (|D| + S)) / d + 3u |a| of
// (D - S_exact) / d, and the exact cfv within 2^-53 ((|D| + S) / d + |cfv|) of that; the
// kernel's delta is twice the sum, which also covers the rounding of a + delta and a - delta
// in float. So for a node that passes for sure, a - delta <= its exact cfv <= the winner's;
// and the winner, and any node that ties with it, has a + delta >= its exact cfv >= every
// such floor: it is listed, and the exact search among the listed nodes finds it, ties to
// the lowest node.
#ifndef VORLA_SIZE_ORDER_H
#define VORLA_SIZE_ORDER_H

#include "bank.h"
#include "kernels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace vorla {

class Node;

class SizeOrder {
 public:
  static constexpr std::int32_t lanes = kernels::rough_lanes;

  // top: the largest size limit that any search will ask for (finite, >= 0); the groups
  // split the sizes up to it evenly, and one more takes those above it. model: the run's
  // values, kept.
  SizeOrder(const ModelValues& model, double top);

  // Whether the path has the search below (where it has not, none is kept).
  static bool available(MatchPath path) { return kernels::has_rough_pick(path); }

  // Takes in node j, new or after learning changed it.
  void put(std::int32_t j, const Node& node);

  // The winner of match tracking's search among every node but those of out, for pattern x:
  // among the nodes whose exact size is at most limit, that of the greatest cfv, ties to the
  // lowest node. exact(j, cfv) measures node j as the search does: whether its size is
  // within limit, with its cfv. kernels::no_candidate where none passes; choose_in_order
  // where the rough pass cannot bound the values (a corner, x, D or a denominator out of
  // its range) or a candidate's cfv is NaN: the caller then measures whole; stopped when
  // interrupted() said yes between two groups.
  static constexpr std::int64_t stopped = -3;
  template <class Exact>
  std::int64_t pick(MatchPath path, const double* x, double limit, const std::vector<std::int32_t>& out,
                    bool (*interrupted)(), Exact&& exact) {
    const std::int64_t listed = rough(path, x, limit, out, interrupted);
    if (listed < 0) return listed;
    float floor = -std::numeric_limits<float>::infinity();
    for (const float f : state_floor_) floor = std::max(floor, f);
    std::int64_t winner = kernels::no_candidate;
    double top = 0.0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(listed); ++k) {
      if (!(bounds_[k] >= floor)) continue;
      const std::int32_t j = listed_[k];
      double cfv = 0.0;
      if (!exact(j, cfv)) continue;
      if (std::isnan(cfv)) return kernels::choose_in_order;
      if (winner == kernels::no_candidate || cfv > top || (cfv == top && j < winner)) {
        winner = j;
        top = cfv;
      }
    }
    return winner;
  }

 private:
  static constexpr std::int32_t groups = 64;

  struct Group {
    std::vector<float> raw;  // room for the blocks, and for aligning them
    float* blocks = nullptr;  // per block: per coordinate the lanes' lower, then upper; then d
    std::vector<std::int32_t> ids;  // per lane: the node, or -1 for a spare lane
    std::int32_t count = 0;
    std::int32_t capacity = 0;  // in lanes, a multiple of lanes
    // At most every own size put here since the group was last empty (NaN: read always).
    double floor = 0.0;
  };
  struct Place {
    std::int32_t group = -1;
    std::int32_t lane = 0;
  };

  // The rough pass: the count of listed nodes, or choose_in_order or stopped.
  std::int64_t rough(MatchPath path, const double* x, double limit, const std::vector<std::int32_t>& out,
                     bool (*interrupted)());
  std::int32_t group_of(double size) const;
  std::size_t block_values() const { return (2 * feature_count_ + 1) * static_cast<std::size_t>(lanes); }
  float* lane_at(Group& g, std::int32_t lane) const {
    return g.blocks + static_cast<std::size_t>(lane / lanes) * block_values() + static_cast<std::size_t>(lane % lanes);
  }
  void grow(Group& g);
  void clear(Group& g, std::int32_t lane);
  void remove(std::int32_t j);
  // Flips the sign of node j's id: a negative id is no candidate.
  void leave_out(std::int32_t j);

  const ModelValues model_;
  const std::size_t feature_count_;
  const double top_;
  Group groups_[groups];
  std::vector<Place> places_;
  // Whether every value put is within the rough pass's range, and the largest |corner|.
  bool bounded_ = true;
  double largest_ = 0.0;
  std::vector<float> x_;
  float state_floor_[lanes] = {};
  std::vector<std::int32_t> listed_;
  std::vector<float> bounds_;
};

}  // namespace vorla

#endif
