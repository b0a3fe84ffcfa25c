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

// The bound on the choice value (ChoiceReach) is tried with reach_min_nodes nodes or more,
// once reach_payback patterns have been scanned, and kept while an index for its limit would
// have a pattern measure fewer than the nodes' share 1 / index_node_cost.

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

  // The bound on the choice value where nothing shows the counts (see ChoiceReach).
  const bool ct = ct_option == 1;
  const IndexUse use = requested_index_use();
  const bool counts_unseen = oflag == 0 && !host::has_flop_counter();
  const bool limited = model.D > 0 && model.D <= std::numeric_limits<double>::max();
  const double vigilance_limit = limited ? bank.vigilance_limit(vigilance, 0.0) : 0.0;
  std::unique_ptr<ChoiceReach> reach;
  // Like the index, it waits for as much scan work as building one costs (doc/performance.md).
  std::int32_t reach_from = 0;
  if (counts_unseen && limited && use != IndexUse::never &&
      (use == IndexUse::always ||
       (template_count >= reach_min_nodes && bank.index_share(vigilance_limit) * index_node_cost >= 1))) {
    try {
      reach = std::make_unique<ChoiceReach>(model, nodes, vigilance_limit, ct, Tu);
    } catch (const std::bad_alloc&) {
      reach.reset();  // it only saves time: without memory for it, the bank scans
    }
    if (reach && use != IndexUse::always) {
      reach_from = reach_payback;
      if (reach->usable() && bank.index_share(vigilance_limit, reach->node_limits()) * index_node_cost >= 1)
        reach->give_up();
    }
  }
  // Where that bound is not taken or gives up (the cfvs of the winners spread widely, as on
  // noisy, overlapping classes), the bound in stages with cuts from the winners seen.
  std::unique_ptr<StagedReach> staged;
  if (counts_unseen && limited && use != IndexUse::never && vigilance_limit >= 0 &&
      vigilance_limit < std::numeric_limits<double>::infinity() &&
      (use == IndexUse::always ||
       (template_count >= reach_min_nodes && bank.index_share(vigilance_limit) * index_node_cost >= 1))) {
    try {
      staged = std::make_unique<StagedReach>(model, vigilance_limit, 0.0, ct, Tu, use == IndexUse::always);
    } catch (const std::bad_alloc&) {
      staged.reset();
    }
  }
  const auto node_at = [&](std::int32_t i) -> const Node& { return *nodes[static_cast<std::size_t>(i)]; };
  const auto reach_pays = [&](const double* node_limits) {
    return use == IndexUse::always || bank.index_share(vigilance_limit, node_limits) * index_node_cost < 1;
  };
  Search found[pattern_group];
  bool group_reached = false;
  // Which bound a group goes through where both can: the bound from the largest box first;
  // the one in stages is tried for a window where the first costs more than an 8th of a
  // scan per pattern, and the cheaper of the two as last measured (nodes measured through an
  // index at index_node_cost, scanned patterns, an intersection of bit rows at a 32nd of the
  // nodes per index use) is kept, the other tried again after 16 windows, or more where it
  // cost several times as much. Forced on, they take turns a window each.
  const double nodes_held = static_cast<double>(template_count);
  bool use_staged = false;
  double window_cost = 0.0;
  std::int32_t window_patterns = 0;
  std::int32_t windows_since_switch = 0;
  double reach_cost = -1.0;
  double staged_cost = -1.0;
  // The stages are judged (their cuts chosen) only where they may be taken.
  const auto staged_allowed = [&] { return !(reach && reach->usable()) || reach_cost > nodes_held / 8; };

  // 64-bit: a large data set against many nodes passes 2^32 operations.
  std::uint64_t flop_total = 2 * static_cast<std::uint64_t>(M) + 5;
  std::uint64_t comparison_total = 0;
  const std::uint32_t match_flops = 2 * static_cast<std::uint32_t>(M) + 2;
  const std::uint32_t match_comparisons = 2 * static_cast<std::uint32_t>(M);

  // The rows of the group being measured, copied out of the host's columns.
  // (At least one value, so that rows of no features still point somewhere.)
  std::vector<double> group_values(std::max<std::size_t>(1, static_cast<std::size_t>(pattern_group) * M));
  const double* group_rows[pattern_group];
  for (std::int32_t g = 0; g < pattern_group; ++g)
    group_rows[g] = group_values.data() + static_cast<std::ptrdiff_t>(g) * M;

  // An interrupted run hands back nothing; its nodes go with the vectors that own them.
  const auto stop = [] { return host::Outcome::interrupted; };
  const std::int32_t start_seconds = host::run_clock_seconds();
  std::int32_t activated_count = 0;
  std::int32_t unclassified_count = 0;
  if (oflag >= 2) mexPrintf("\nList presentation of %d patterns:\n", pattern_count);

  for (std::int32_t j = 1; j <= pattern_count; ++j) {
    std::int32_t winner = no_winner;
    double best_cfv = 0.0;
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
      group_reached = false;
      if (reach && reach->usable() && j - 1 >= reach_from && !use_staged) {
        const NodeBank::Reach r = bank.measure_within(group_rows, group_size, reach->limit(), reach->node_limits(),
                                                      reach->cut(), host::interrupt_requested);
        if (r == NodeBank::Reach::interrupted) return stop();
        if (r == NodeBank::Reach::no_index) {
          reach->give_up();
        } else {
          group_reached = true;
          // The patterns that the nodes within the limit do not settle are scanned.
          const double* again[pattern_group];
          std::int32_t again_of[pattern_group];
          std::int32_t again_count = 0;
          for (std::int32_t k = 0; k < group_size; ++k) {
            found[k] = search(bank, k, ct, Tu);
            if (!reach->settles(found[k].winner != no_winner, found[k].best_cfv)) {
              again_of[again_count] = k;
              again[again_count++] = group_rows[k];
            }
          }
          window_cost += static_cast<double>(bank.nodes_measured()) * index_node_cost + again_count * nodes_held +
                         group_size * nodes_held / 32;
          reach->note(group_size, again_count, static_cast<double>(bank.nodes_measured()), index_node_cost, reach_pays);
          if (again_count > 0) {
            if (!bank.measure(again, again_count, vigilance, 0.0, NodeBank::Results::passing, host::interrupt_requested))
              return stop();
            for (std::int32_t k = 0; k < again_count; ++k) found[again_of[k]] = search(bank, k, ct, Tu);
          }
        }
      }
      const bool staged_turn = staged && staged->active() && (use_staged || !(reach && reach->usable()));
      if (!group_reached && staged_turn) {
        // The patterns that a stage does not settle go on to the next, then are scanned.
        const double* pending[pattern_group];
        std::int32_t pending_of[pattern_group];
        std::int32_t pending_count = group_size;
        for (std::int32_t k = 0; k < group_size; ++k) {
          pending[k] = group_rows[k];
          pending_of[k] = k;
        }
        for (std::int32_t stage = 0; stage < staged->stage_count() && pending_count > 0; ++stage) {
          const NodeBank::Reach r = bank.measure_within(pending, pending_count, vigilance_limit,
                                                        staged->node_limits(stage), staged->key(),
                                                        host::interrupt_requested, stage);
          if (r == NodeBank::Reach::interrupted) return stop();
          if (r == NodeBank::Reach::no_index) break;
          window_cost += static_cast<double>(bank.nodes_measured()) * index_node_cost + pending_count * nodes_held / 32;
          std::int32_t left = 0;
          for (std::int32_t k = 0; k < pending_count; ++k) {
            const Search f = search(bank, k, ct, Tu);
            if (staged->settles(stage, f.winner != no_winner, f.best_cfv)) {
              found[pending_of[k]] = f;
            } else {
              pending[left] = pending[k];
              pending_of[left++] = pending_of[k];
            }
          }
          pending_count = left;
        }
        if (pending_count > 0) {
          if (!bank.measure(pending, pending_count, vigilance, 0.0, NodeBank::Results::passing,
                            host::interrupt_requested))
            return stop();
          for (std::int32_t k = 0; k < pending_count; ++k) found[pending_of[k]] = search(bank, k, ct, Tu);
          window_cost += pending_count * nodes_held;
        }
        group_reached = true;
      }
      if (group_reached && staged && reach && (window_patterns += group_size) >= ChoiceReach::window) {
        (staged_turn ? staged_cost : reach_cost) = window_cost / window_patterns;
        window_cost = 0.0;
        window_patterns = 0;
        ++windows_since_switch;
        const bool was_staged = use_staged;
        // A window of the dearer bound costs the difference: it is tried again only after
        // enough windows that the trials add at most an 8th.
        const double dearer = staged_cost >= 0 && reach_cost >= 0 ? std::max(staged_cost, reach_cost) /
                                                                       std::max(std::min(staged_cost, reach_cost), 1.0)
                                                                 : 1.0;
        const bool retry = windows_since_switch >= std::max(16.0, 8 * (dearer - 1));
        if (use == IndexUse::always) {
          use_staged = !use_staged;  // both bounds, a window each, wherever they are valid
        } else if (!use_staged) {
          use_staged = staged->active() && reach_cost > nodes_held / 8 &&
                       (staged_cost < 0 || staged_cost < reach_cost || retry);
        } else {
          use_staged = !(reach->usable() && (retry || (reach_cost >= 0 && staged_cost > reach_cost)));
        }
        if (use_staged != was_staged) windows_since_switch = 0;
      }
      if (!group_reached && !bank.measure(group_rows, group_size, vigilance, 0.0,
                                          oflag >= 3 ? NodeBank::Results::every_mfv : NodeBank::Results::passing,
                                          host::interrupt_requested))
        return stop();
    }
    if (oflag < 3) {
      // A search through the bound counts only the nodes it measured; nothing shows its counts.
      const Search s = group_reached ? found[g] : search(bank, g, ct, Tu);
      winner = s.winner;
      if (staged)
        staged->note(group_rows[g], s.winner != no_winner ? s.best_cfv : std::numeric_limits<double>::quiet_NaN(),
                     template_count, index_node_cost, node_at, staged_allowed);
      pattern_flops = static_cast<std::uint32_t>(template_count) * match_flops + s.vt_passes;
      pattern_comparisons = static_cast<std::uint32_t>(template_count) * match_comparisons + s.vt_passes +
                            (ct_option == 1 ? s.candidates : 0) + (s.candidates > 0 ? s.candidates - 1 : 0);
    } else {
      for (std::int32_t i = 0; i < template_count; ++i) {
        // A line per node takes long enough to be worth a poll every so many lines.
        if (i % traced_nodes_per_poll == traced_nodes_per_poll - 1 && host::interrupt_requested())
          return stop();
        const double mfv = bank.mfv(i, g);
        pattern_flops += match_flops;
        pattern_comparisons += match_comparisons;
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
    }

    if (winner == no_winner) {
      block[j - 1] = unknown_label;
      ++unclassified_count;
      if (oflag >= 2) mexPrintf("   Pattern #%d could not be classified\n", j);
    } else {
      Node& w = *nodes[winner];
      block[j - 1] = w.label;
      if (!w.active) {
        w.active = 1;
        ++activated_count;
      }
      if (oflag >= 2)
        mexPrintf("   Pattern #%d selected by node #%d and classified as '%d'\n", j, winner + 1, w.label);
    }
    host::add_flops(pattern_comparisons + pattern_flops);
    comparison_total += pattern_comparisons;
    flop_total += pattern_flops;
  }

  const std::int32_t inactive_count = template_count - activated_count;
  const std::int32_t elapsed_seconds = host::run_clock_seconds() - start_seconds;
  if (oflag >= 1) {
    mexPrintf("\nFAM performance phase summary\n");
    mexPrintf(inactive_count == 1 ? "%d inactive node detected " : "%d inactive nodes detected ", inactive_count);
    // With no templates there is nothing to be inactive.
    mexPrintf("(%f%%)\n", template_count == 0 ? 0.0 : inactive_count * 100.0 / template_count);
    if (unclassified_count != 0) {
      mexPrintf("unable to classify %d patterns ", unclassified_count);
      mexPrintf("(%f%%)\n", unclassified_count * 100.0 / pattern_count);
    }
    mexPrintf("%llu FLOPs and %llu comparisons in %d seconds\n\n", static_cast<unsigned long long>(flop_total),
              static_cast<unsigned long long>(comparison_total), elapsed_seconds);
  }
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
