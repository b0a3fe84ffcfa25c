// The bound on the choice value in stages, with cuts chosen from the winners seen, for
// searches whose counts nothing shows (no summary, no trace and no operation counter): only
// the winners of a pattern's searches (and in training the course of match tracking) must
// come out as the scan gives them. Where the cfvs of the winners spread widely (noisy,
// overlapping classes), a cut from the largest box (ChoiceReach) leaves nearly every node
// within reach; a cut that most winners exceed, with a lower one behind it for the rest,
// leaves few.
#ifndef VORLA_STAGED_REACH_H
#define VORLA_STAGED_REACH_H

#include "node.h"
#include "reach.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace vorla {

// Why a search that measures only the nodes within their limits chooses as the scan does.
// (Classification's search is the first search below, with no tolerance and no match
// tracking.)
//
// Take a cut, and give node j the limit L_j = min(choice_size_limit(D, cut, d_j), V), V the
// vigilance test's size limit: a node whose size S^ for the pattern is above L_j fails the
// vigilance test (S^ > V) or has cfv <= cut (common/reach.h). NodeBank::measure_within
// measures every node with S^ <= L_j exactly as the scan does (the index leaves a node out
// of a cell only where its size is above its own limit; common/index.cpp), and passes it
// against V. Call the others unmeasured.
//
// The first search takes the greatest cfv among the nodes that pass the vigilance test and
// the CT, ties to the lowest node number. An unmeasured node that passes has cfv <= cut; so
// when the measured nodes give a winner above the cut, no unmeasured node equals or beats
// it, and it is the scan's winner. Otherwise the result still stands where no unmeasured
// node can be a candidate: every L_j is V (they fail the vigilance test), or the CT is on
// and fl(cut + tolerance) < Tu (cfv <= cut gives fl(cfv + tolerance) <= fl(cut + tolerance),
// rounding being monotone, so they fail the CT).
//
// Match tracking then chooses among the eligible nodes whose stored mfv passes against the
// raised rho: mfv > rho, or mfv >= rho with the wrong winners left out (the tolerant rule).
// An unmeasured node would be eligible in the scan only if it passed the vigilance test and
// the CT, so again its cfv is <= cut: a winner above the cut is the scan's. Otherwise the
// result stands where no unmeasured node passes: the two conditions above, or every size
// above the least L_j failing mfv against rho (sizes_above_fail_match), since an unmeasured
// node's size is above its limit. Where none of this holds, the pattern is measured whole
// and its eligibility built again from every test of its searches so far; the measure calls
// give every node the scan's bits.
//
// Any cut will do for exactness; the cuts only decide the cost. Limits only ever stand for
// the cut they were computed for: a node whose box learning changed, or a new node, enters
// the index with the limit of its new choice denominator, and a new cut builds the index
// again.
class StagedReach {
 public:
  // The bound measures a pattern in up to two stages, each through an index of its own with
  // its own cut (the first higher), before it measures the pattern whole.
  static constexpr std::int32_t stages = 2;

  // vigilance_limit: the size limit of the first search (finite, >= 0); forced: used from
  // the first pattern whatever it costs (the tests' choice), with short windows.
  StagedReach(const ModelValues& model, double vigilance_limit, double tolerance, bool ct, double Tu, bool forced)
      : model_(model), vigilance_limit_(vigilance_limit), tolerance_(tolerance), ct_(ct), Tu_(Tu),
        forced_(forced), window_(forced ? 16 : 256) {
    cfvs_.reserve(static_cast<std::size_t>(window_));
  }

  bool active() const { return active_; }
  // The stages in use (1 or 2) while active.
  std::int32_t stage_count() const { return stage_count_; }
  double cut(std::int32_t stage) const { return cut_[stage]; }
  // What the node limits derive from: a new value for every new set of limits.
  double key() const { return static_cast<double>(generation_); }
  double limit() const { return vigilance_limit_; }
  const double* node_limits(std::int32_t stage) const { return limits_[stage].data(); }

  // The limits of a node of choice denominator d, one per stage, new (j = the node count
  // before it) or changed; none (measured always) while the bound is not in use.
  const double* enter(std::int32_t j, double d) {
    if (!active_) return nullptr;
    for (std::int32_t k = 0; k < stages; ++k) {
      const double limit = std::min(choice_size_limit(model_.D, cut_[k], d), vigilance_limit_);
      std::vector<double>& limits = limits_[k];
      if (static_cast<std::size_t>(j) >= limits.size()) limits.resize(static_cast<std::size_t>(j) + 1);
      limits[static_cast<std::size_t>(j)] = limit;
      least_[k] = std::min(least_[k], limit);
      entered_[k] = limit;
    }
    return entered_;
  }

  // Whether the search of the nodes within their limits of a stage chose as the scan would
  // (see above).
  bool settles(std::int32_t stage, bool found, double best_cfv) const {
    return (found && best_cfv > cut_[stage]) || least_[stage] >= vigilance_limit_ ||
           (ct_ && !(cut_[stage] + tolerance_ >= Tu_));
  }
  bool settles_reselect(std::int32_t stage, bool found, double best_cfv, double rho, bool strict) const {
    return settles(stage, found, best_cfv) || sizes_above_fail_match(model_.D, least_[stage], rho, strict);
  }

  // After each pattern x: the least cfv of its winners (NaN when a search of it found none).
  // Every window of patterns the cuts are chosen again where that costs less than keeping
  // them: among cuts just below the least cfvs of 1/64 .. 3/4 of the window's patterns, the
  // one or two whose indexes (the nodes an index would have a pattern measure, each costing
  // node_cost scanned ones, and each use about a 32nd of the nodes) and whole
  // measurements (the patterns at or below the last cut, each at whole_cost()) cost least, if
  // below whole_cost() itself. The nodes an index measures are estimated from a sample of the
  // nodes against a few of the window's patterns, with the index's own test (each coordinate
  // within the slack of the node's interval, give or take the cells). node(j): node j;
  // whole_cost(): what a pattern's search without the bound costs, in scanned nodes (a scan
  // of every node, or less where the vigilance test's own index measures fewer; 0: the bound
  // is not taken), asked only when a window is judged.
  template <class NodeAt, class WholeCost>
  void note(const double* x, double least_cfv, std::int32_t node_count, double node_cost, NodeAt&& node,
            WholeCost&& whole_cost) {
    cfvs_.push_back(std::isnan(least_cfv) ? -std::numeric_limits<double>::infinity() : least_cfv);
    if (cfvs_.size() % kept_every == 0) {
      const std::size_t M = static_cast<std::size_t>(model_.feature_count);
      kept_.resize(kept_patterns * M);
      std::copy(x, x + M, kept_.begin() + static_cast<std::ptrdiff_t>(kept_next_ * M));
      kept_next_ = (kept_next_ + 1) % kept_patterns;
      kept_count_ = std::min(kept_count_ + 1, kept_patterns);
    }
    if (static_cast<std::int32_t>(cfvs_.size()) < window_ && !(forced_ && !started_)) return;
    // Judged every window at first, and less often while judgements change nothing.
    if (++windows_ >= judge_every_ || forced_) {
      const std::int64_t before = generation_;
      const bool was_active = active_;
      const double whole = forced_ ? static_cast<double>(node_count) : whole_cost();
      // Below the cost of one use of an index the bound cannot win.
      if (forced_ || whole > node_count * index_use_share)
        choose(node_count, node_cost, whole, node);
      else
        active_ = false;
      judge_every_ = generation_ == before && was_active == active_ ? std::min(judge_every_ * 2, 16) : 1;
      windows_ = 0;
    }
    started_ = true;
    cfvs_.clear();
  }

 private:
  // A use of an index reads its bit rows: about a 32nd of the nodes' worth, in scanned nodes.
  static constexpr double index_use_share = 1.0 / 32;
  static constexpr std::size_t sample_size = 256;
  static constexpr int candidates = 7;
  static constexpr std::size_t kept_patterns = 32;
  static constexpr std::size_t kept_every = 8;

  // The share of the sampled nodes that an index for the cut would measure for the kept
  // patterns: where every coordinate lies within the node's slack (its limit less its size)
  // of its interval, widened by a cell of the range of the sampled corners.
  template <class NodeAt>
  double measured_share(double cut, std::int32_t node_count, NodeAt&& node) {
    const std::size_t M = static_cast<std::size_t>(model_.feature_count);
    const auto n = static_cast<std::size_t>(node_count);
    const std::size_t taken = std::min<std::size_t>(n, sample_size);
    if (taken == 0 || kept_count_ == 0) return 1.0;
    std::vector<double>& widen = widen_;
    widen.assign(M, 0.0);
    std::vector<double>& low = low_;
    low.assign(M, std::numeric_limits<double>::infinity());
    for (std::size_t k = 0; k < taken; ++k) {
      const Node& v = node(static_cast<std::int32_t>(k * n / taken));
      for (std::size_t i = 0; i < M; ++i) {
        low[i] = std::min(low[i], v.lower[i]);
        widen[i] = std::max(widen[i], v.upper[i]);
      }
    }
    for (std::size_t i = 0; i < M; ++i) widen[i] = (widen[i] - low[i]) / 64;
    double hits = 0.0;
    for (std::size_t k = 0; k < taken; ++k) {
      const Node& v = node(static_cast<std::int32_t>(k * n / taken));
      const double limit = std::min(choice_size_limit(model_.D, cut, v.choice_denominator), vigilance_limit_);
      const double slack = limit - box_size(model_, v.lower.get(), v.upper.get());
      if (!(slack >= 0)) {
        if (!(slack < 0)) hits += static_cast<double>(kept_count_);
        continue;
      }
      for (std::size_t p = 0; p < kept_count_; ++p) {
        const double* x = kept_.data() + p * M;
        bool within = true;
        for (std::size_t i = 0; i < M && within; ++i)
          within = x[i] >= v.lower[i] - slack - widen[i] && x[i] <= v.upper[i] + slack + widen[i];
        if (within) hits += 1.0;
      }
    }
    return hits / static_cast<double>(taken * kept_count_);
  }

  template <class NodeAt>
  void choose(std::int32_t node_count, double node_cost, double whole, NodeAt&& node) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::sort(cfvs_.begin(), cfvs_.end());
    const double patterns = static_cast<double>(cfvs_.size());
    const double nodes = static_cast<double>(node_count);
    const auto below = [&](double cut) {
      return static_cast<double>(std::upper_bound(cfvs_.begin(), cfvs_.end(), cut) - cfvs_.begin()) / patterns;
    };
    // Per pattern, in scanned nodes' worth: the index of a cut, and the whole measurement.
    const auto index_cost = [&](double cut) {
      return measured_share(cut, node_count, node) * node_cost * nodes + nodes * index_use_share;
    };
    const auto cost_of = [&](double high, double high_cost, double low, double low_cost, bool two) {
      return two ? high_cost + below(high) * low_cost + below(low) * whole : high_cost + below(high) * whole;
    };
    double cuts[candidates];
    double costs[candidates];
    int found = 0;
    const double shares[candidates] = {1.0 / 64, 1.0 / 32, 1.0 / 16, 1.0 / 8, 1.0 / 4, 1.0 / 2, 3.0 / 4};
    for (const double q : shares) {
      if (cfvs_.empty()) break;
      const double cut = std::nextafter(cfvs_[static_cast<std::size_t>(q * patterns)], -inf);
      if (!std::isfinite(cut) || (found > 0 && cut == cuts[found - 1])) continue;
      cuts[found] = cut;
      costs[found] = index_cost(cut);
      ++found;
    }
    double best = inf;
    double best_cut[stages] = {0.0, 0.0};
    bool best_two = false;
    for (int h = 0; h < found; ++h)
      for (int l = 0; l <= h; ++l) {
        const double c = cost_of(cuts[h], costs[h], cuts[l], costs[l], l != h);
        if (c < best) {
          best = c;
          best_cut[0] = cuts[h];
          best_cut[1] = cuts[l];
          best_two = l != h;
        }
      }
    if (!forced_) {
      if (!(best < whole)) {
        active_ = false;
        return;
      }
      // New cuts build the indexes again: taken only where they save a good share.
      if (active_) {
        const double now = cost_of(cut_[0], index_cost(cut_[0]), cut_[1], index_cost(cut_[1]), stage_count_ == 2);
        if (!(best < 0.8 * now)) return;
      }
    } else {
      // Both stages, as far apart as the window allows, so that every path is taken.
      best_two = true;
      best_cut[0] = found > 0 ? cuts[found - 1] : 0.0;
      best_cut[1] = found > 0 ? cuts[0] : 0.0;
    }
    cut_[0] = best_cut[0];
    cut_[1] = best_cut[1];
    stage_count_ = best_two ? 2 : 1;
    active_ = true;
    for (std::int32_t k = 0; k < stages; ++k) {
      least_[k] = vigilance_limit_;
      limits_[k].assign(static_cast<std::size_t>(node_count), 0.0);
    }
    for (std::int32_t j = 0; j < node_count; ++j) enter(j, node(j).choice_denominator);
    ++generation_;
  }

  const ModelValues model_;
  const double vigilance_limit_;
  const double tolerance_;
  const bool ct_;
  const double Tu_;
  const bool forced_;
  const std::int32_t window_;
  bool active_ = false;
  bool started_ = false;
  std::int32_t stage_count_ = 1;
  double cut_[stages] = {0.0, 0.0};
  double least_[stages] = {0.0, 0.0};  // at most every node limit of the stage
  double entered_[stages] = {0.0, 0.0};
  std::int64_t generation_ = 0;
  std::int32_t windows_ = 0;
  std::int32_t judge_every_ = 1;
  std::vector<double> limits_[stages];
  std::vector<double> cfvs_;
  std::vector<double> kept_;  // a few patterns of the window, every kept_every-th
  std::size_t kept_next_ = 0;
  std::size_t kept_count_ = 0;
  std::vector<double> widen_;
  std::vector<double> low_;
};

}  // namespace vorla

#endif
