// A bound on the choice value for classification searches whose counts nothing shows (no
// summary and no operation counter), so that only the winner must be found.
#ifndef VORLA_CHOICE_REACH_H
#define VORLA_CHOICE_REACH_H

#include "node.h"
#include "reach.h"

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
// Take a cut: a cfv that the winner will most likely exceed. For each node, with its choice
// denominator d > 0, there is a size limit L such that every size S^ > L gives
//   cfv = fl(fl(D - S^) / d) <= cut,
// since each rounded step is monotone in S^: it is enough that the size next above L gives
// at most the cut, which is checked for each node's L (first D - cut x d). An index that
// leaves a node out only where its size is above its own limit (NodeBank::measure_within)
// measures, exactly as the scan does, every node that could beat the cut; so when those hold
// a candidate whose cfv is above the cut, it beats every other node, and the winner among them
// (greatest cfv, ties to the lowest node number) is the scan's. Nothing else is assumed of
// the boxes. The cut is that of the largest box with a margin added to its size; the margin
// is widened when the patterns that find nothing above the cut (those are scanned) cost more
// than the index.
class ChoiceReach {
 public:
  // Patterns per judgement of the margin.
  static constexpr std::int32_t window = 256;

  // For the nodes under the run's values model, the size limit of the vigilance test and the
  // CT (when ct) against Tu; usable only where D is finite and above 0, every choice
  // denominator finite and above 0, and some box size finite. Keeps a reference to nodes.
  ChoiceReach(const ModelValues& model, const std::vector<std::unique_ptr<Node>>& nodes, double vigilance_limit,
              bool ct, double Tu)
      : nodes_(nodes), D_(model.D), vigilance_limit_(vigilance_limit), ct_(ct), Tu_(Tu) {
    const double D = D_;
    if (!(D > 0 && D <= std::numeric_limits<double>::max()) || nodes.empty()) return;
    double largest_size = -std::numeric_limits<double>::infinity();
    denominator_least_ = denominator_most_ = nodes.front()->choice_denominator;
    for (const auto& node : nodes) {
      const double d = node->choice_denominator;
      if (!(d > 0 && d <= std::numeric_limits<double>::max())) return;
      denominator_least_ = std::min(denominator_least_, d);
      denominator_most_ = std::max(denominator_most_, d);
      const double size = box_size(model, node->lower.get(), node->upper.get());
      if (std::isfinite(size)) largest_size = std::max(largest_size, size);
    }
    if (!std::isfinite(largest_size)) return;
    largest_size_ = largest_size;
    margin_ = D / 256;
    node_limits_.resize(nodes.size());
    usable_ = set_cut();
  }

  bool usable() const { return usable_; }
  void give_up() { usable_ = false; }
  // The vigilance test's size limit, and each node's: a node whose size is above its own
  // limit has a cfv of at most the cut, or fails the vigilance test.
  double limit() const { return vigilance_limit_; }
  const double* node_limits() const { return node_limits_.data(); }
  double cut() const { return cut_; }

  // Whether the search of the nodes within their limits found what the scan would: found, a
  // winner, whose cfv is best_cfv.
  bool settles(bool found, double best_cfv) const {
    // The nodes beyond their limits then fail the vigilance test, or the CT.
    if (beyond_fail_ || (ct_ && cut_ < Tu_)) return true;
    return found && best_cfv > cut_;
  }

  // Notes the patterns searched, how many of them had to be scanned and the nodes that the
  // index measured for them, and widens the margin when the scans cost more than the index
  // (a node measured through it costing node_cost scanned ones, and each pattern's
  // intersection of bit rows about one per 32 nodes held), so far as an index for the wider
  // margin may still pay; it gives up when more than half were scanned and it cannot widen.
  // pays: judges the share of nodes an index would measure for the node limits.
  template <class Pays>
  void note(std::int32_t searched, std::int32_t scanned, double measured, double node_cost, Pays&& pays) {
    searched_ += searched;
    scanned_ += scanned;
    measured_ += measured;
    if (searched_ < window) return;
    const double nodes = static_cast<double>(nodes_.size());
    if (scanned_ * nodes > measured_ * node_cost + searched_ * nodes / 32) {
      margin_ *= 2;
      if (!(set_cut() && pays(node_limits()))) {
        margin_ /= 2;
        usable_ = set_cut() && scanned_ * 2 <= searched_;
      }
    }
    searched_ = scanned_ = 0;
    measured_ = 0.0;
  }

 private:
  bool set_cut() {
    const double D = D_;
    const double numerator = D - (largest_size_ + margin_);
    cut_ = numerator / (numerator >= 0 ? denominator_least_ : denominator_most_);
    if (!std::isfinite(cut_)) return false;
    beyond_fail_ = true;
    for (std::size_t j = 0; j < nodes_.size(); ++j) {
      const double limit = choice_size_limit(D, cut_, nodes_[j]->choice_denominator);
      if (limit < vigilance_limit_) beyond_fail_ = false;
      node_limits_[j] = std::min(limit, vigilance_limit_);
    }
    return true;
  }

  const std::vector<std::unique_ptr<Node>>& nodes_;
  const double D_;
  const double vigilance_limit_;
  const bool ct_;
  const double Tu_;
  bool usable_ = false;
  double largest_size_ = 0.0;
  double denominator_least_ = 0.0;
  double denominator_most_ = 0.0;
  double margin_ = 0.0;
  double cut_ = 0.0;
  bool beyond_fail_ = false;  // every node limit is the vigilance test's
  std::vector<double> node_limits_;
  std::int32_t searched_ = 0;
  std::int32_t scanned_ = 0;
  double measured_ = 0.0;
};

}  // namespace vorla

#endif
