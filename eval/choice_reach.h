// A bound on the choice value for classification searches whose counts nothing shows (no
// summary and no operation counter), so that only the winner must be found.
#ifndef VORLA_CHOICE_REACH_H
#define VORLA_CHOICE_REACH_H

#include "node.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace vorla {

// Where nearly every node passes the vigilance test (at vigilance 0, say) the search index
// for that test skips nothing, but an index can still find the winner.
//
// For any size limit L, a node whose size for the pattern is S^ > L has
//   cfv = fl(fl(D - S^) / d) <= cut = fl(fl(D - L) / d_least), or fl(fl(D - L) / d_most)
// when D - L < 0, since each rounded step is monotone and its choice denominator d lies in
// [d_least, d_most] with d_least > 0 (a NaN size fails the vigilance test and is no
// candidate). So when the nodes of size <= L (found through an index for that limit, and
// measured exactly as the scan measures them) hold a candidate whose cfv is above the cut, it
// beats every other node, and the winner among them is the scan's. Nothing else is assumed
// of the boxes. L is the largest box size plus a margin, at most the vigilance test's limit;
// the margin is widened when too many patterns find nothing above the cut (those are
// scanned).
class ChoiceReach {
 public:
  // Patterns per judgement of the margin.
  static constexpr std::int32_t window = 256;

  // For the nodes under the model-wide values, the size limit of the vigilance test and the
  // CT (when ct) against Tu; usable only where D is finite and above 0, every choice
  // denominator finite and above 0, and some box size finite.
  ChoiceReach(const std::vector<std::unique_ptr<Node>>& nodes, double vigilance_limit, bool ct, double Tu)
      : vigilance_limit_(vigilance_limit), ct_(ct), Tu_(Tu) {
    const double D = model.D;
    if (!(D > 0 && D <= std::numeric_limits<double>::max()) || nodes.empty()) return;
    double largest_size = -std::numeric_limits<double>::infinity();
    denominator_least_ = denominator_most_ = nodes.front()->choice_denominator;
    for (const auto& node : nodes) {
      const double d = node->choice_denominator;
      if (!(d > 0 && d <= std::numeric_limits<double>::max())) return;
      denominator_least_ = std::min(denominator_least_, d);
      denominator_most_ = std::max(denominator_most_, d);
      const double size = box_size(node->lower.get(), node->upper.get());
      if (std::isfinite(size)) largest_size = std::max(largest_size, size);
    }
    if (!std::isfinite(largest_size)) return;
    largest_size_ = largest_size;
    margin_ = D / 256;
    usable_ = set_limit();
  }

  bool usable() const { return usable_; }
  double limit() const { return limit_; }
  void give_up() { usable_ = false; }

  // The largest cfv that a node beyond the limit can have.
  double cut() const { return cut_; }

  // Whether the search of the nodes within the limit found what the scan would: found, a
  // winner, whose cfv is best_cfv.
  bool settles(bool found, double best_cfv) const {
    // Nodes beyond the limit then fail the vigilance test, or the CT.
    if (limit_ >= vigilance_limit_ || (ct_ && cut_ < Tu_)) return true;
    return found && best_cfv > cut_;
  }

  // Notes the patterns searched and how many had to be scanned; widens the margin when too
  // many were, so far as an index for it may still pay. pays: judges the share of nodes an
  // index for a limit would measure.
  template <class Pays>
  void note(std::int32_t searched, std::int32_t scanned, Pays&& pays) {
    searched_ += searched;
    scanned_ += scanned;
    if (searched_ < window) return;
    if (scanned_ * 16 > searched_) {
      margin_ *= 4;
      usable_ = set_limit() && pays(limit_);
    }
    searched_ = scanned_ = 0;
  }

 private:
  bool set_limit() {
    const double D = model.D;
    limit_ = std::min(largest_size_ + margin_, vigilance_limit_);
    if (!(limit_ < std::numeric_limits<double>::infinity()) || !(limit_ >= 0)) return false;
    const double numerator = D - limit_;
    cut_ = numerator / (numerator >= 0 ? denominator_least_ : denominator_most_);
    return true;
  }

  const double vigilance_limit_;
  const bool ct_;
  const double Tu_;
  bool usable_ = false;
  double largest_size_ = 0.0;
  double denominator_least_ = 0.0;
  double denominator_most_ = 0.0;
  double margin_ = 0.0;
  double limit_ = 0.0;
  double cut_ = 0.0;
  std::int32_t searched_ = 0;
  std::int32_t scanned_ = 0;
};

}  // namespace vorla

#endif
