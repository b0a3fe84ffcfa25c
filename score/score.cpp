#include "score.h"

#include "bank.h"
#include "choice_reach.h"
#include "node.h"
#include "tuning.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace vorla {
namespace {

constexpr std::int32_t pattern_group = NodeBank::full_group;

// As in classification: the bound is tried for a class of reach_min_nodes nodes or more, once
// reach_payback patterns have been scanned, and kept while its index pays.

// The candidates of one class for pattern g of the bank's last measure call: the greatest cfv
// that is a number (the score) with the lowest node holding it, and the first candidate,
// which classification keeps when its cfv is not a number (a box of size D with alpha 0
// holding the pattern: 0/0). Nodes are numbered within the class's bank.
struct Best {
  bool found = false;
  double cfv = 0.0;
  std::int32_t node = -1;
  std::int32_t first = -1;
  bool first_nan = false;
};

inline Best best_choice(const NodeBank& bank, std::int32_t g, bool ct, double Tu) {
  Best b;
  bank.for_each_passing(g, [&](std::int32_t i) {
    const double cfv = bank.cfv(i, g);
    if (ct && !(cfv >= Tu)) return;
    if (b.first < 0) {
      b.first = i;
      b.first_nan = cfv != cfv;
    }
    if (cfv != cfv) return;
    if (!b.found || b.cfv < cfv) {
      b.cfv = cfv;
      b.node = i;
    }
    b.found = true;
  });
  return b;
}

// best_choice for a pattern with a missing feature, measured node by node under the rule of
// size_with_missing, without tolerance (the bank's kernels and bounds need sizes that are
// never negative, which such a pattern's own extents of open boxes are not).
Best plain_best_choice(const ModelValues& model, const std::vector<std::unique_ptr<Node>>& nodes, const double* x,
                       double vigilance, bool ct, double Tu) {
  Best b;
  for (std::size_t k = 0; k < nodes.size(); ++k) {
    const Node& node = *nodes[k];
    const double numerator = model.D - size_with_missing(model, node.lower.get(), node.upper.get(), x);
    if (!(numerator / model.D >= vigilance)) continue;
    const double cfv = numerator / node.choice_denominator;
    if (ct && !(cfv >= Tu)) continue;
    const auto i = static_cast<std::int32_t>(k);
    if (b.first < 0) {
      b.first = i;
      b.first_nan = cfv != cfv;
    }
    if (cfv != cfv) continue;
    if (!b.found || b.cfv < cfv) {
      b.cfv = cfv;
      b.node = i;
    }
    b.found = true;
  }
  return b;
}

// The patterns of a group that have a missing feature, which are searched apart (see
// plain_best_choice); the others, in their order, go to the bank together.
struct GroupSplit {
  GroupSplit(const ModelValues& model, const double* const* rows, std::int32_t group_size) {
    for (std::int32_t g = 0; g < group_size; ++g) {
      missing[g] = any_missing(model, rows[g]);
      if (missing[g]) continue;
      complete_of[complete_count] = g;
      complete_rows[complete_count++] = rows[g];
    }
    all_complete = complete_count == group_size;
  }
  bool missing[pattern_group] = {};
  const double* complete_rows[pattern_group] = {};
  std::int32_t complete_of[pattern_group] = {};
  std::int32_t complete_count = 0;
  bool all_complete = true;
};

// The nodes of one class with their bank and, where it pays, a bound on the choice value:
// each class is a winner search of its own, whose winner's cfv is the class's score.
struct ClassSearch {
  explicit ClassSearch(const ModelValues& model) : bank(model, pattern_group) {}
  std::vector<std::unique_ptr<Node>> nodes;
  NodeBank bank;
  std::unique_ptr<ChoiceReach> reach;
  std::int32_t reach_from = 0;
  double vigilance_limit = 0.0;
  std::int32_t reserved = 0;  // nodes of the class
  std::vector<std::int32_t> numbers;  // each node's row in Templates
};

void prepare_reach(ClassSearch& s, double vigilance, bool ct, double Tu) {
  const IndexUse use = requested_index_use();
  const std::int32_t count = s.bank.count();
  const ModelValues& model = s.bank.model();
  if (!(model.D > 0 && model.D <= std::numeric_limits<double>::max()) || use == IndexUse::never || count == 0) return;
  s.vigilance_limit = s.bank.vigilance_limit(vigilance, 0.0);
  if (use != IndexUse::always &&
      (count < reach_min_nodes || s.bank.index_share(s.vigilance_limit) * index_node_cost < 1))
    return;
  try {
    s.reach = std::make_unique<ChoiceReach>(model, s.nodes, s.vigilance_limit, ct, Tu);
  } catch (const std::bad_alloc&) {
    s.reach.reset();  // it only saves time: without memory for it, the bank scans
    return;
  }
  if (use != IndexUse::always) {
    s.reach_from = reach_payback;
    if (s.reach->usable() && s.bank.index_share(s.vigilance_limit, s.reach->node_limits()) * index_node_cost >= 1)
      s.reach->give_up();
  }
}

// Finds the best candidate of the class for each pattern of the group; false when interrupted.
bool search_group(ClassSearch& s, const double* const* rows, std::int32_t group_size, std::int32_t first_pattern,
                  double vigilance, bool ct, double Tu, Best* found) {
  ChoiceReach* reach = s.reach.get();
  if (reach && reach->usable() && first_pattern >= s.reach_from) {
    const NodeBank::Reach r = s.bank.measure_within(rows, group_size, reach->limit(), reach->node_limits(),
                                                    reach->cut(), host::interrupt_requested);
    if (r == NodeBank::Reach::interrupted) return false;
    if (r == NodeBank::Reach::measured) {
      // The patterns that the nodes within their limits do not settle are scanned.
      const double* again[pattern_group];
      std::int32_t again_of[pattern_group];
      std::int32_t again_count = 0;
      for (std::int32_t k = 0; k < group_size; ++k) {
        found[k] = best_choice(s.bank, k, ct, Tu);
        if (!reach->settles(found[k].found, found[k].cfv)) {
          again_of[again_count] = k;
          again[again_count++] = rows[k];
        }
      }
      const IndexUse use = requested_index_use();
      reach->note(group_size, again_count, static_cast<double>(s.bank.nodes_measured()), index_node_cost,
                  [&](const double* node_limits) {
                    return use == IndexUse::always ||
                           s.bank.index_share(s.vigilance_limit, node_limits) * index_node_cost < 1;
                  });
      if (again_count == 0) return true;
      if (!s.bank.measure(again, again_count, vigilance, 0.0, NodeBank::Results::passing, host::interrupt_requested))
        return false;
      for (std::int32_t k = 0; k < again_count; ++k) found[again_of[k]] = best_choice(s.bank, k, ct, Tu);
      return true;
    }
    reach->give_up();
  }
  if (!s.bank.measure(rows, group_size, vigilance, 0.0, NodeBank::Results::passing, host::interrupt_requested))
    return false;
  for (std::int32_t k = 0; k < group_size; ++k) found[k] = best_choice(s.bank, k, ct, Tu);
  return true;
}

// search_group for a whole group, the patterns with a missing feature measured node by node.
bool search_class(ClassSearch& s, const double* const* rows, std::int32_t group_size, const GroupSplit& split,
                  std::int32_t first_pattern, double vigilance, bool ct, double Tu, Best* found) {
  if (split.all_complete) return search_group(s, rows, group_size, first_pattern, vigilance, ct, Tu, found);
  Best complete_found[pattern_group];
  if (split.complete_count > 0 &&
      !search_group(s, split.complete_rows, split.complete_count, first_pattern, vigilance, ct, Tu, complete_found))
    return false;
  for (std::int32_t g = 0; g < group_size; ++g)
    if (split.missing[g]) found[g] = plain_best_choice(s.bank.model(), s.nodes, rows[g], vigilance, ct, Tu);
  for (std::int32_t c = 0; c < split.complete_count; ++c) found[split.complete_of[c]] = complete_found[c];
  return true;
}

host::Outcome run(const ModelValues& model, std::int32_t template_count, double* const* template_rows,
                  const double* node_labels, double vigilance, std::int32_t ct_option, std::int32_t pattern_count,
                  const ColumnMatrix& patterns, std::int32_t class_count, double* scores, double* classes_out) {
  const std::int32_t M = model.feature_count;
  const double Tu = model.D / (model.alpha + 2 * model.D);
  const bool ct = ct_option == 1;

  // A search for each class that has nodes, in class order; the other columns stay 0. Nothing
  // here grows with class_count but the scores themselves.
  std::vector<std::int32_t> node_classes(static_cast<std::size_t>(template_count));
  for (std::int32_t i = 0; i < template_count; ++i) node_classes[i] = static_cast<std::int32_t>(node_labels[i]) - 1;
  std::vector<std::int32_t> present(node_classes);
  std::sort(present.begin(), present.end());
  present.erase(std::unique(present.begin(), present.end()), present.end());
  std::vector<std::unique_ptr<ClassSearch>> classes(present.size());
  for (auto& c : classes) c = std::make_unique<ClassSearch>(model);
  const auto search_of = [&](std::int32_t c) -> ClassSearch& {
    return *classes[static_cast<std::size_t>(std::lower_bound(present.begin(), present.end(), c) - present.begin())];
  };
  for (std::int32_t i = 0; i < template_count; ++i) ++search_of(node_classes[i]).reserved;
  for (auto& c : classes) {
    c->nodes.reserve(static_cast<std::size_t>(c->reserved));
    c->numbers.reserve(static_cast<std::size_t>(c->reserved));
    c->bank.reserve(c->reserved);
  }
  for (std::int32_t i = 0; i < template_count; ++i) {
    ClassSearch& s = search_of(node_classes[i]);
    s.nodes.push_back(std::make_unique<Node>(model, template_rows[i], node_classes[i] + 1, 1));
    s.numbers.push_back(i);
    s.bank.append(*s.nodes.back());
  }
  // The bound leaves unmeasured some candidates of its class, among them maybe the first of
  // all; that matters only where a cfv can be 0/0, so the bound waits for no such box.
  bool choice_nan_possible = false;
  for (const auto& c : classes)
    for (const auto& node : c->nodes) choice_nan_possible = choice_nan_possible || !(node->choice_denominator > 0);
  if (!choice_nan_possible)
    for (auto& c : classes) prepare_reach(*c, vigilance, ct, Tu);

  std::vector<double> group_values(std::max<std::size_t>(1, static_cast<std::size_t>(pattern_group) * M));
  const double* group_rows[pattern_group];
  for (std::int32_t g = 0; g < pattern_group; ++g)
    group_rows[g] = group_values.data() + static_cast<std::ptrdiff_t>(g) * M;
  Best found[pattern_group];
  std::int32_t selected_class[pattern_group] = {};
  // Per pattern of the group, what classification would select so far: the node and its
  // cfv, and the first candidate, whichever class they lie in.
  struct Selection {
    std::int32_t node;
    double cfv;
    std::int32_t first;
    std::int32_t first_class;
    bool first_nan;
  } selected[pattern_group];
  const std::size_t N = static_cast<std::size_t>(pattern_count);
  std::fill(scores, scores + N * static_cast<std::size_t>(class_count), 0.0);

  for (std::int32_t first = 0; first < pattern_count; first += pattern_group) {
    if (host::interrupt_requested()) return host::Outcome::interrupted;
    const std::int32_t group_size = std::min(pattern_group, pattern_count - first);
    patterns.copy_rows(first, group_size, group_values.data());
    std::fill(selected, selected + group_size, Selection{-1, 0.0, -1, -1, false});
    const GroupSplit split(model, group_rows, group_size);
    for (std::size_t k = 0; k < classes.size(); ++k) {
      ClassSearch& s = *classes[k];
      if (!search_class(s, group_rows, group_size, split, first, vigilance, ct, Tu, found))
        return host::Outcome::interrupted;
      double* column = scores + static_cast<std::size_t>(present[k]) * N + static_cast<std::size_t>(first);
      for (std::int32_t g = 0; g < group_size; ++g) {
        const Best& b = found[g];
        // Every accepting node has mfv >= vigilance >= 0, so its cfv is at least 0 where its
        // choice denominator is above 0; the floor keeps other boxes' scores at 0 too.
        column[g] = b.found && b.cfv > 0 ? b.cfv : 0.0;
        Selection& e = selected[g];
        if (b.first >= 0 && (e.first < 0 || s.numbers[b.first] < e.first)) {
          e.first = s.numbers[b.first];
          e.first_class = present[k];
          e.first_nan = b.first_nan;
        }
        // Classification takes the greatest cfv, ties to the lowest node number.
        if (b.found && (e.node < 0 || e.cfv < b.cfv || (e.cfv == b.cfv && s.numbers[b.node] < e.node))) {
          e.node = s.numbers[b.node];
          e.cfv = b.cfv;
          selected_class[g] = present[k];
        }
      }
    }
    if (classes_out) {
      for (std::int32_t g = 0; g < group_size; ++g) {
        const Selection& e = selected[g];
        // A first candidate whose cfv is not a number is never displaced.
        const std::int32_t c = e.first >= 0 && e.first_nan ? e.first_class : e.node >= 0 ? selected_class[g] : -1;
        classes_out[first + g] = c + 1;
      }
    }
  }
  return host::Outcome::done;
}

}  // namespace

host::Outcome score(std::int32_t template_count, std::int32_t feature_count, double* const* template_rows,
                    const double* node_labels, double D, double vigilance, double alpha, std::int32_t ct_option,
                    std::int32_t pattern_count, const ColumnMatrix& patterns, std::int32_t class_count,
                    double* scores, double* classes) {
  const ModelValues model{feature_count, D, alpha};
  try {
    return run(model, template_count, template_rows, node_labels, vigilance, ct_option, pattern_count, patterns,
               class_count, scores, classes);
  } catch (const std::bad_alloc&) {
    return host::Outcome::out_of_memory;
  }
}

}  // namespace vorla
