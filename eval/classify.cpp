#include "classify.h"

#include "bank.h"
#include "host.h"
#include "node.h"
#include "tuning.h"
#include "winner_search.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace vorla {
namespace {

// Patterns measured per pass over the node boxes.
constexpr std::int32_t pattern_group = NodeBank::full_group;

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
      if (oflag < 3 ? !find_winners(bank, bounds, group_rows, group_size, j - 1, vigilance, ct, Tu, found)
                    : !bank.measure(group_rows, group_size, vigilance, 0.0, NodeBank::Results::every_mfv,
                                    host::interrupt_requested))
        return stop();
    }
    if (oflag < 3) {
      // A search through the bound counts only the nodes it measured; nothing shows its counts.
      const Search& s = found[g];
      winner = s.winner;
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
