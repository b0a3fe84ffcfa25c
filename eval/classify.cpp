#include "classify.h"

#include "bank.h"
#include "choice_reach.h"
#include "host.h"
#include "node.h"
#include "staged_reach.h"
#include "tuning.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace vorla {
namespace {

constexpr std::int32_t no_winner = -1;

// Patterns measured per pass over the node boxes.
constexpr std::int32_t pattern_group = NodeBank::full_group;

// What the search of one measured pattern found.
struct Search {
  std::int32_t winner = no_winner;
  double best_cfv = 0.0;  // the winner's
  std::uint32_t vt_passes = 0;
  std::uint32_t candidates = 0;
};

// The search of pattern g of the bank's last measure call when nothing is printed per
// node: the same tests and the same winner as the traced search, but only the nodes that
// the bank marked as passing the vigilance test are visited. Called once per pattern from
// three places; taken as a call, it made a classification with few nodes up to twice as slow.
[[gnu::always_inline]] inline Search search(const NodeBank& bank, std::int32_t g, bool ct, double Tu) {
  Search s;
  double best_cfv = 0.0;
  bank.for_each_passing(g, [&](std::int32_t i) {
    ++s.vt_passes;
    const double cfv = bank.cfv(i, g);
    if (ct && !(cfv >= Tu)) return;
    if (s.candidates++ == 0 || best_cfv < cfv) {
      s.winner = i;
      best_cfv = cfv;
    }
  });
  s.best_cfv = best_cfv;
  return s;
}

// The two bounds on the choice value that a call may search through where nothing shows the
// counts, and the arbiter between them. ChoiceReach is tried with reach_min_nodes nodes or
// more, once reach_payback patterns have been scanned, and kept while an index for its limit
// would have a pattern measure fewer than the nodes' share 1 / index_node_cost; where it is
// not taken or gives up (the cfvs of the winners spread widely, as on noisy, overlapping
// classes), the bound in stages with cuts from the winners seen (StagedReach).
class Bounds {
 public:
  Bounds(const ModelValues& model, NodeBank& bank, const std::vector<std::unique_ptr<Node>>& nodes,
         double vigilance, bool ct, double Tu, bool counts_unseen)
      : bank_(bank), nodes_(nodes), use_(requested_index_use()), ct_(ct), Tu_(Tu),
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

  enum class Way { scan, reached, interrupted };

  // The winners of a group through a bound where one is taken (reached), or the group left
  // to the caller's scan. patterns_before: the patterns of the call before this group.
  Way find(const double* const* rows, std::int32_t group_size, std::int32_t patterns_before, double vigilance,
           Search* found) {
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
    if (reached && staged_ && reach_ && (window_patterns_ += group_size) >= ChoiceReach::window)
      arbitrate(staged_turn);
    return reached ? Way::reached : Way::scan;
  }

  // What one pattern's search tells the stages, in the order of the patterns.
  void note(const double* row, const Search& s) {
    if (!staged_) return;
    const auto node_at = [&](std::int32_t i) -> const Node& { return *nodes_[static_cast<std::size_t>(i)]; };
    // The stages are judged (their cuts chosen) only where they may be taken.
    const auto allowed = [&] { return !(reach_ && reach_->usable()) || reach_cost_ > nodes_held_ / 8; };
    staged_->note(row, s.winner != no_winner ? s.best_cfv : std::numeric_limits<double>::quiet_NaN(),
                  static_cast<std::int32_t>(nodes_.size()), index_node_cost, node_at, allowed);
  }

 private:
  // The patterns that the nodes within the bound's limit do not settle are scanned.
  Way through_reach(const double* const* rows, std::int32_t group_size, double vigilance, Search* found) {
    NodeBank& bank = bank_;
    const NodeBank::Reach r = bank.measure_within(rows, group_size, reach_->limit(), reach_->node_limits(),
                                                  reach_->cut(), host::interrupt_requested);
    if (r == NodeBank::Reach::interrupted) return Way::interrupted;
    if (r == NodeBank::Reach::no_index) {
      reach_->give_up();
      return Way::scan;
    }
    const double* again[pattern_group];
    std::int32_t again_of[pattern_group];
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
      if (!bank.measure(again, again_count, vigilance, 0.0, NodeBank::Results::passing, host::interrupt_requested))
        return Way::interrupted;
      for (std::int32_t k = 0; k < again_count; ++k) found[again_of[k]] = search(bank, k, ct_, Tu_);
    }
    return Way::reached;
  }

  // The patterns that a stage does not settle go on to the next, then are scanned; false when
  // interrupted.
  bool through_stages(const double* const* rows, std::int32_t group_size, double vigilance, Search* found) {
    NodeBank& bank = bank_;
    const double* pending[pattern_group];
    std::int32_t pending_of[pattern_group];
    std::int32_t pending_count = group_size;
    for (std::int32_t k = 0; k < group_size; ++k) {
      pending[k] = rows[k];
      pending_of[k] = k;
    }
    for (std::int32_t stage = 0; stage < staged_->stage_count() && pending_count > 0; ++stage) {
      const NodeBank::Reach r = bank.measure_within(pending, pending_count, vigilance_limit_,
                                                    staged_->node_limits(stage), staged_->key(),
                                                    host::interrupt_requested, stage);
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
      if (!bank.measure(pending, pending_count, vigilance, 0.0, NodeBank::Results::passing, host::interrupt_requested))
        return false;
      for (std::int32_t k = 0; k < pending_count; ++k) found[pending_of[k]] = search(bank, k, ct_, Tu_);
      window_cost_ += pending_count * nodes_held_;
    }
    return true;
  }

  // At the end of a window, which bound the next takes: the cost of each as last measured
  // (nodes measured through an index at index_node_cost, scanned patterns, an intersection of
  // bit rows at a 32nd of the nodes per index use); the dearer is tried again only after
  // enough windows that the trials add at most an 8th.
  void arbitrate(bool staged_turn) {
    (staged_turn ? staged_cost_ : reach_cost_) = window_cost_ / window_patterns_;
    window_cost_ = 0.0;
    window_patterns_ = 0;
    ++windows_since_switch_;
    const bool was_staged = use_staged_;
    const double dearer = staged_cost_ >= 0 && reach_cost_ >= 0 ? std::max(staged_cost_, reach_cost_) /
                                                                    std::max(std::min(staged_cost_, reach_cost_), 1.0)
                                                              : 1.0;
    const bool retry = windows_since_switch_ >= std::max(16.0, 8 * (dearer - 1));
    if (use_ == IndexUse::always) {
      use_staged_ = !use_staged_;  // both bounds, a window each, wherever they are valid
    } else if (!use_staged_) {
      use_staged_ = staged_->active() && reach_cost_ > nodes_held_ / 8 &&
                    (staged_cost_ < 0 || staged_cost_ < reach_cost_ || retry);
    } else {
      use_staged_ = !(reach_->usable() && (retry || (reach_cost_ >= 0 && staged_cost_ > reach_cost_)));
    }
    if (use_staged_ != was_staged) windows_since_switch_ = 0;
  }

  NodeBank& bank_;
  const std::vector<std::unique_ptr<Node>>& nodes_;
  const IndexUse use_;
  const bool ct_;
  const double Tu_;
  const double nodes_held_;
  double vigilance_limit_ = 0.0;
  std::unique_ptr<ChoiceReach> reach_;
  std::int32_t reach_from_ = 0;
  std::unique_ptr<StagedReach> staged_;
  bool use_staged_ = false;
  double window_cost_ = 0.0;
  std::int32_t window_patterns_ = 0;
  std::int32_t windows_since_switch_ = 0;
  double reach_cost_ = -1.0;
  double staged_cost_ = -1.0;
};

// What a call counts and prints: the operations of each pattern and of all, the nodes that
// won at least once, and the patterns no node took.
struct Tally {
  explicit Tally(std::int32_t M)
      : flop_total(2 * static_cast<std::uint64_t>(M) + 5), match_flops(2 * static_cast<std::uint32_t>(M) + 2),
        match_comparisons(2 * static_cast<std::uint32_t>(M)) {}
  // 64-bit: a large data set against many nodes passes 2^32 operations.
  std::uint64_t flop_total;
  std::uint64_t comparison_total = 0;
  const std::uint32_t match_flops;
  const std::uint32_t match_comparisons;
  std::int32_t activated_count = 0;
  std::int32_t unclassified_count = 0;
};

// The traced search of pattern g (oflag 3): a line per node, the same tests and winner as the
// search, and the counts of every test; false when interrupted.
bool traced_search(const NodeBank& bank, std::int32_t g, std::int32_t template_count, double vigilance,
                   std::int32_t ct_option, double Tu, const Tally& tally, std::int32_t& winner,
                   std::uint32_t& pattern_flops, std::uint32_t& pattern_comparisons) {
  double best_cfv = 0.0;
  for (std::int32_t i = 0; i < template_count; ++i) {
    // A line per node takes long enough to be worth a poll every so many lines.
    if (i % traced_nodes_per_poll == traced_nodes_per_poll - 1 && host::interrupt_requested()) return false;
    const double mfv = bank.mfv(i, g);
    pattern_flops += tally.match_flops;
    pattern_comparisons += tally.match_comparisons;
    const double rho = vigilance;
    // No tolerance here; NaN fails both tests.
    if (!(mfv >= rho)) {
      mexPrintf("      Node #%d fails VT (MFV=%f < rho=%f)\n", i + 1, mfv, rho);
      continue;
    }
    const double cfv = bank.cfv(i, g);
    pattern_flops += 1;
    pattern_comparisons += 1;
    if (ct_option == 1 && !(cfv >= Tu)) {
      mexPrintf("      Node #%d fails CT (CFV=%f < Tu=%f)\n", i + 1, cfv, Tu);
      continue;
    }
    mexPrintf("      Node #%d is candidate (CFV=%f)\n", i + 1, cfv);
    if (ct_option == 1) pattern_comparisons += 1;
    if (winner == no_winner) {
      winner = i;
      best_cfv = cfv;
    } else {
      pattern_comparisons += 1;
      if (best_cfv < cfv) {
        winner = i;
        best_cfv = cfv;
      }
    }
  }
  return true;
}

// Pattern j's label (the winner's, or unknown_label), its trace line and its counts.
void record(std::int32_t j, std::int32_t winner, std::vector<std::unique_ptr<Node>>& nodes,
            std::int32_t unknown_label, double* block, std::int32_t oflag, Tally& tally) {
  if (winner == no_winner) {
    block[j - 1] = unknown_label;
    ++tally.unclassified_count;
    if (oflag >= 2) mexPrintf("   Pattern #%d could not be classified\n", j);
    return;
  }
  Node& w = *nodes[winner];
  block[j - 1] = w.label;
  if (!w.active) {
    w.active = 1;
    ++tally.activated_count;
  }
  if (oflag >= 2) mexPrintf("   Pattern #%d selected by node #%d and classified as '%d'\n", j, winner + 1, w.label);
}

void print_summary(const Tally& tally, std::int32_t template_count, std::int32_t pattern_count,
                   std::int32_t elapsed_seconds) {
  const std::int32_t inactive_count = template_count - tally.activated_count;
  mexPrintf("\nFAM performance phase summary\n");
  mexPrintf(inactive_count == 1 ? "%d inactive node detected " : "%d inactive nodes detected ", inactive_count);
  // With no templates there is nothing to be inactive.
  mexPrintf("(%f%%)\n", template_count == 0 ? 0.0 : inactive_count * 100.0 / template_count);
  if (tally.unclassified_count != 0) {
    mexPrintf("unable to classify %d patterns ", tally.unclassified_count);
    mexPrintf("(%f%%)\n", tally.unclassified_count * 100.0 / pattern_count);
  }
  mexPrintf("%llu FLOPs and %llu comparisons in %d seconds\n\n", static_cast<unsigned long long>(tally.flop_total),
            static_cast<unsigned long long>(tally.comparison_total), elapsed_seconds);
}

host::Outcome run(const ModelValues& model, std::int32_t template_count, double* const* template_rows,
                  const double* node_labels, double vigilance, std::int32_t ct_option, std::int32_t pattern_count,
                  const ColumnMatrix& patterns, std::int32_t unknown_label, double* block, std::int32_t oflag) {
  const std::int32_t M = model.feature_count;
  const double Tu = model.D / (model.alpha + 2 * model.D);

  std::vector<std::unique_ptr<Node>> nodes(static_cast<std::size_t>(template_count));
  NodeBank bank(model, pattern_group);
  bank.reserve(template_count);
  for (std::int32_t i = 0; i < template_count; ++i) {
    const std::int32_t label = static_cast<std::int32_t>(node_labels[i]);
    nodes[i] = std::make_unique<Node>(model, template_rows[i], label, 1);
    nodes[i]->active = 0;
    bank.append(*nodes[i]);
  }
  const bool ct = ct_option == 1;
  // The bounds only where nothing shows the counts (see ChoiceReach).
  Bounds bounds(model, bank, nodes, vigilance, ct, Tu, oflag == 0 && !host::has_flop_counter());
  Search found[pattern_group];
  bool group_reached = false;
  Tally tally(M);

  // The rows of the group being measured, copied out of the host's columns.
  // (At least one value, so that rows of no features still point somewhere.)
  std::vector<double> group_values(std::max<std::size_t>(1, static_cast<std::size_t>(pattern_group) * M));
  const double* group_rows[pattern_group];
  for (std::int32_t g = 0; g < pattern_group; ++g)
    group_rows[g] = group_values.data() + static_cast<std::ptrdiff_t>(g) * M;

  // An interrupted run hands back nothing; its nodes go with the vectors that own them.
  const auto stop = [] { return host::Outcome::interrupted; };
  const std::int32_t start_seconds = host::run_clock_seconds();
  if (oflag >= 2) mexPrintf("\nList presentation of %d patterns:\n", pattern_count);

  for (std::int32_t j = 1; j <= pattern_count; ++j) {
    std::int32_t winner = no_winner;
    std::uint32_t pattern_flops = 0;
    std::uint32_t pattern_comparisons = 0;
    if (oflag >= 3) mexPrintf("   Pattern #%d is being presented\n", j);

    // The bank measures all nodes against a group of patterns at once; each pattern's tests,
    // counts and trace then take the nodes in order.
    const std::int32_t g = (j - 1) % pattern_group;
    // The vigilance test takes no tolerance here: mfv + 0.0 >= rho is mfv >= rho.
    // Polled once per group, and within the measure call when the bank is large.
    if (g == 0) {
      if (host::interrupt_requested()) return stop();
      const std::int32_t group_size = std::min(pattern_group, pattern_count - (j - 1));
      patterns.copy_rows(j - 1, group_size, group_values.data());
      const Bounds::Way way = bounds.find(group_rows, group_size, j - 1, vigilance, found);
      if (way == Bounds::Way::interrupted) return stop();
      group_reached = way == Bounds::Way::reached;
      if (!group_reached && !bank.measure(group_rows, group_size, vigilance, 0.0,
                                          oflag >= 3 ? NodeBank::Results::every_mfv : NodeBank::Results::passing,
                                          host::interrupt_requested))
        return stop();
    }
    if (oflag < 3) {
      // A search through the bound counts only the nodes it measured; nothing shows its counts.
      const Search s = group_reached ? found[g] : search(bank, g, ct, Tu);
      winner = s.winner;
      bounds.note(group_rows[g], s);
      pattern_flops = static_cast<std::uint32_t>(template_count) * tally.match_flops + s.vt_passes;
      pattern_comparisons = static_cast<std::uint32_t>(template_count) * tally.match_comparisons + s.vt_passes +
                            (ct_option == 1 ? s.candidates : 0) + (s.candidates > 0 ? s.candidates - 1 : 0);
    } else if (!traced_search(bank, g, template_count, vigilance, ct_option, Tu, tally, winner, pattern_flops,
                              pattern_comparisons)) {
      return stop();
    }
    record(j, winner, nodes, unknown_label, block, oflag, tally);
    host::add_flops(pattern_comparisons + pattern_flops);
    tally.comparison_total += pattern_comparisons;
    tally.flop_total += pattern_flops;
  }
  const std::int32_t elapsed_seconds = host::run_clock_seconds() - start_seconds;
  if (oflag >= 1) print_summary(tally, template_count, pattern_count, elapsed_seconds);
  return host::Outcome::done;
}

}  // namespace

host::Outcome classify(const std::int32_t& template_count, const std::int32_t& feature_count,
                       double* const* template_rows, const double* node_labels, const double& D,
                       const double& vigilance, const double& alpha, const std::int32_t& ct_option,
                       const std::int32_t& pattern_count, const ColumnMatrix& patterns,
                       const std::int32_t& unknown_label, double* predictions, std::int32_t oflag) {
  const ModelValues model{feature_count, D, alpha};
  try {
    return run(model, template_count, template_rows, node_labels, vigilance, ct_option, pattern_count, patterns,
               unknown_label, predictions, oflag);
  } catch (const std::bad_alloc&) {
    return host::Outcome::out_of_memory;
  }
}

}  // namespace vorla
