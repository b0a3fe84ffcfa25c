#include "winner_search.h"

#include "threads.h"
#include "tuning.h"

#include <algorithm>
#include <limits>
#include <new>

namespace vorla {

Bounds::Bounds(const ModelValues& model, NodeBank& bank, const std::vector<std::unique_ptr<Node>>& nodes,
               double vigilance, bool ct, double Tu, bool counts_unseen)
    : bank_(bank),
      nodes_(nodes),
      use_(requested_index_use()),
      ct_(ct),
      Tu_(Tu),
      nodes_held_(static_cast<double>(nodes.size())) {
  const bool limited = model.D > 0 && model.D <= std::numeric_limits<double>::max();
  vigilance_limit_ = limited ? bank.vigilance_limit(vigilance, 0.0) : 0.0;
  if (!(counts_unseen && limited && use_ != IndexUse::never &&
        (use_ == IndexUse::always || (static_cast<std::int32_t>(nodes.size()) >= reach_min_nodes &&
                                      bank.index_share(vigilance_limit_) * index_node_cost >= 1))))
    return;
  // Like the index, the bound waits for as much scan work as building one costs
  // (doc/performance.md).
  try {
    reach_ = std::make_unique<ChoiceReach>(model, nodes, vigilance_limit_, ct, Tu);
  } catch (const std::bad_alloc&) {
    reach_.reset();  // it only saves time: without memory for it, the bank scans
  }
  if (reach_ && use_ != IndexUse::always) {
    reach_from_ = reach_payback;
    if (reach_->usable() && bank.index_share(vigilance_limit_, reach_->node_limits()) * index_node_cost >= 1)
      reach_->give_up();
  }
  if (vigilance_limit_ >= 0 && vigilance_limit_ < std::numeric_limits<double>::infinity()) {
    try {
      staged_ = std::make_unique<StagedReach>(model, vigilance_limit_, 0.0, ct, Tu, use_ == IndexUse::always);
    } catch (const std::bad_alloc&) {
      staged_.reset();
    }
  }
}

Bounds::Way Bounds::find(const double* const* rows, std::int32_t group_size, std::int64_t patterns_before,
                         double vigilance, Search* found) {
  bool reached = false;
  if (reach_ && reach_->usable() && patterns_before >= reach_from_ && !use_staged_) {
    const Way w = through_reach(rows, group_size, vigilance, found);
    if (w == Way::interrupted) return w;
    reached = w == Way::reached;
  }
  const bool staged_turn = staged_ && staged_->active() && (use_staged_ || !(reach_ && reach_->usable()));
  if (!reached && staged_turn) {
    if (!through_stages(rows, group_size, vigilance, found)) return Way::interrupted;
    reached = true;
  }
  if (reached && staged_ && reach_ && (window_patterns_ += group_size) >= ChoiceReach::window) arbitrate(staged_turn);
  return reached ? Way::reached : Way::scan;
}

void Bounds::note(const double* row, const Search& s) {
  if (!staged_) return;
  const auto node_at = [&](std::int32_t i) -> const Node& { return *nodes_[static_cast<std::size_t>(i)]; };
  // The stages are judged (their cuts chosen) only where they may be taken.
  const auto whole_cost = [&] {
    return !(reach_ && reach_->usable()) || reach_cost_ > nodes_held_ / 8 ? nodes_held_ : 0.0;
  };
  staged_->note(row, s.winner != no_winner ? s.best_cfv : std::numeric_limits<double>::quiet_NaN(),
                static_cast<std::int32_t>(nodes_.size()), index_node_cost, node_at, whole_cost);
}

// The patterns that the nodes within the bound's limit do not settle are
// scanned.
Bounds::Way Bounds::through_reach(const double* const* rows, std::int32_t group_size, double vigilance, Search* found) {
  NodeBank& bank = bank_;
  const NodeBank::Reach r = bank.measure_within(rows, group_size, reach_->limit(), reach_->node_limits(), reach_->cut(),
                                                threads::interrupted);
  if (r == NodeBank::Reach::interrupted) return Way::interrupted;
  if (r == NodeBank::Reach::no_index) {
    reach_->give_up();
    return Way::scan;
  }
  const double* again[NodeBank::full_group];
  std::int32_t again_of[NodeBank::full_group];
  std::int32_t again_count = 0;
  for (std::int32_t k = 0; k < group_size; ++k) {
    found[k] = search(bank, k, ct_, Tu_);
    if (!reach_->settles(found[k].winner != no_winner, found[k].best_cfv)) {
      again_of[again_count] = k;
      again[again_count++] = rows[k];
    }
  }
  window_cost_ += static_cast<double>(bank.nodes_measured()) * index_node_cost + again_count * nodes_held_ +
                  group_size * nodes_held_ / 32;
  const auto pays = [&](const double* node_limits) {
    return use_ == IndexUse::always || bank_.index_share(vigilance_limit_, node_limits) * index_node_cost < 1;
  };
  reach_->note(group_size, again_count, static_cast<double>(bank.nodes_measured()), index_node_cost, pays);
  if (again_count > 0) {
    if (!bank.measure(again, again_count, vigilance, 0.0, NodeBank::Results::passing, threads::interrupted))
      return Way::interrupted;
    for (std::int32_t k = 0; k < again_count; ++k) found[again_of[k]] = search(bank, k, ct_, Tu_);
  }
  return Way::reached;
}

// The patterns that a stage does not settle go on to the next, then are
// scanned; false when interrupted.
bool Bounds::through_stages(const double* const* rows, std::int32_t group_size, double vigilance, Search* found) {
  NodeBank& bank = bank_;
  const double* pending[NodeBank::full_group];
  std::int32_t pending_of[NodeBank::full_group];
  std::int32_t pending_count = group_size;
  for (std::int32_t k = 0; k < group_size; ++k) {
    pending[k] = rows[k];
    pending_of[k] = k;
  }
  for (std::int32_t stage = 0; stage < staged_->stage_count() && pending_count > 0; ++stage) {
    const NodeBank::Reach r = bank.measure_within(pending, pending_count, vigilance_limit_, staged_->node_limits(stage),
                                                  staged_->key(), threads::interrupted, stage);
    if (r == NodeBank::Reach::interrupted) return false;
    if (r == NodeBank::Reach::no_index) break;
    window_cost_ += static_cast<double>(bank.nodes_measured()) * index_node_cost + pending_count * nodes_held_ / 32;
    std::int32_t left = 0;
    for (std::int32_t k = 0; k < pending_count; ++k) {
      const Search f = search(bank, k, ct_, Tu_);
      if (staged_->settles(stage, f.winner != no_winner, f.best_cfv)) {
        found[pending_of[k]] = f;
      } else {
        pending[left] = pending[k];
        pending_of[left++] = pending_of[k];
      }
    }
    pending_count = left;
  }
  if (pending_count > 0) {
    if (!bank.measure(pending, pending_count, vigilance, 0.0, NodeBank::Results::passing, threads::interrupted))
      return false;
    for (std::int32_t k = 0; k < pending_count; ++k) found[pending_of[k]] = search(bank, k, ct_, Tu_);
    window_cost_ += pending_count * nodes_held_;
  }
  return true;
}

// At the end of a window, which bound the next takes: the cost of each as last
// measured (nodes measured through an index at index_node_cost, scanned
// patterns, an intersection of bit rows at a 32nd of the nodes per index use);
// the dearer is tried again only after enough windows that the trials add at
// most an 8th.
void Bounds::arbitrate(bool staged_turn) {
  (staged_turn ? staged_cost_ : reach_cost_) = window_cost_ / window_patterns_;
  window_cost_ = 0.0;
  window_patterns_ = 0;
  ++windows_since_switch_;
  const bool was_staged = use_staged_;
  const double dearer = staged_cost_ >= 0 && reach_cost_ >= 0
                            ? std::max(staged_cost_, reach_cost_) / std::max(std::min(staged_cost_, reach_cost_), 1.0)
                            : 1.0;
  const bool retry = windows_since_switch_ >= std::max(16.0, 8 * (dearer - 1));
  if (use_ == IndexUse::always) {
    use_staged_ = !use_staged_;  // both bounds, a window each, wherever they are valid
  } else if (!use_staged_) {
    use_staged_ =
        staged_->active() && reach_cost_ > nodes_held_ / 8 && (staged_cost_ < 0 || staged_cost_ < reach_cost_ || retry);
  } else {
    use_staged_ = !(reach_->usable() && (retry || (reach_cost_ >= 0 && staged_cost_ > reach_cost_)));
  }
  if (use_staged_ != was_staged) windows_since_switch_ = 0;
}

bool find_winners(NodeBank& bank, Bounds& bounds, const double* const* rows, std::int32_t group_size,
                  std::int64_t patterns_before, double vigilance, bool ct, double Tu, Search* found) {
  const Bounds::Way way = bounds.find(rows, group_size, patterns_before, vigilance, found);
  if (way == Bounds::Way::interrupted) return false;
  if (way == Bounds::Way::scan) {
    if (!bank.measure(rows, group_size, vigilance, 0.0, NodeBank::Results::passing, threads::interrupted)) return false;
    for (std::int32_t k = 0; k < group_size; ++k) found[k] = search(bank, k, ct, Tu);
  }
  for (std::int32_t k = 0; k < group_size; ++k) bounds.note(rows[k], found[k]);
  return true;
}

}  // namespace vorla
