#include "score.h"

#include "bank.h"
#include "choice_reach.h"
#include "node.h"
#include "threads.h"
#include "tuning.h"
#include "winner_search.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace vorla {
namespace {

constexpr std::int32_t pattern_group = NodeBank::full_group;

// As in classification: the bound is tried for a class of reach_min_nodes nodes or more, once
// reach_payback patterns have been scanned, and kept while its index pays.

// Patterns are handed to threads in chunks of whole groups, about this many per thread, so
// that a thread slowed by other work on its core leaves its share to the others.
constexpr std::int64_t chunks_per_thread = 16;

// Each thread must have this many coordinate visits (patterns x nodes x features) of work:
// about 4 ms of scanning for 983 nodes of 10 features, against about 0.4 ms of processor time
// that a second thread costs there (its set of searches, its start, and the patterns it
// scans before its bound pays), measured with bench/threads_predict.m.
// Set only between calls (tests force threads on tiny calls); read by the calling thread.
std::atomic<std::int64_t> work_floor{std::int64_t{1} << 24};

// A batch's networks have their searches built whichever thread scores them, so a thread
// there costs only its start and needs this much less work than one call's thread: chosen
// near the start's cost, not tuned (the networks of the search's first round on
// noisy_data (2000, 1), 120 of them, gain 1.25 to 1.57 times on two threads).
constexpr std::int64_t batch_floor_divisor = 8;

// How a call of class_count 0 finds its classes, and the length of its trials (test hooks, set
// only between calls).
std::atomic<ClassesAlone> classes_alone_way{ClassesAlone::timed};
std::atomic<std::int32_t> classes_alone_trial{4096};

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
// searched: the patterns that this search has taken before (or reach_payback, if more).
bool search_group(ClassSearch& s, const double* const* rows, std::int32_t group_size, std::int32_t searched,
                  double vigilance, bool ct, double Tu, Best* found) {
  ChoiceReach* reach = s.reach.get();
  if (reach && reach->usable() && searched >= s.reach_from) {
    const NodeBank::Reach r = s.bank.measure_within(rows, group_size, reach->limit(), reach->node_limits(),
                                                    reach->cut(), threads::interrupted);
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
      if (!s.bank.measure(again, again_count, vigilance, 0.0, NodeBank::Results::passing, threads::interrupted))
        return false;
      for (std::int32_t k = 0; k < again_count; ++k) found[again_of[k]] = best_choice(s.bank, k, ct, Tu);
      return true;
    }
    reach->give_up();
  }
  if (!s.bank.measure(rows, group_size, vigilance, 0.0, NodeBank::Results::passing, threads::interrupted))
    return false;
  for (std::int32_t k = 0; k < group_size; ++k) found[k] = best_choice(s.bank, k, ct, Tu);
  return true;
}

// search_group for a whole group, the patterns with a missing feature measured node by node.
bool search_class(ClassSearch& s, const double* const* rows, std::int32_t group_size, const GroupSplit& split,
                  std::int32_t searched, double vigilance, bool ct, double Tu, Best* found) {
  if (split.all_complete) return search_group(s, rows, group_size, searched, vigilance, ct, Tu, found);
  Best complete_found[pattern_group];
  if (split.complete_count > 0 &&
      !search_group(s, split.complete_rows, split.complete_count, searched, vigilance, ct, Tu, complete_found))
    return false;
  for (std::int32_t g = 0; g < group_size; ++g)
    if (split.missing[g]) found[g] = plain_best_choice(s.bank.model(), s.nodes, rows[g], vigilance, ct, Tu);
  for (std::int32_t c = 0; c < split.complete_count; ++c) found[split.complete_of[c]] = complete_found[c];
  return true;
}

// The network by class, as every thread reads it: each template's class (from 0) and the
// classes that have nodes, in increasing order.
struct ClassLayout {
  ClassLayout(std::int32_t template_count, const double* node_labels)
      : node_classes(static_cast<std::size_t>(template_count)) {
    for (std::int32_t i = 0; i < template_count; ++i) node_classes[i] = static_cast<std::int32_t>(node_labels[i]) - 1;
    present = node_classes;
    std::sort(present.begin(), present.end());
    present.erase(std::unique(present.begin(), present.end()), present.end());
  }
  std::size_t search_of(std::int32_t c) const {
    return static_cast<std::size_t>(std::lower_bound(present.begin(), present.end(), c) - present.begin());
  }
  std::vector<std::int32_t> node_classes;
  std::vector<std::int32_t> present;
};

// One thread's searches: one for each class that has nodes, in class order, all built from
// the same template rows. Nothing here grows with class_count but the scores themselves.
// Each set adapts to the patterns it has met (whether the bank's index and the bound on the
// choice value pay, and the bound's margin), so sets differ in what they measure, never in
// what a pattern gets: the index measures every node that may pass as the scan does
// (common/index.h), the bound rescans each pattern that its nodes within reach do not settle
// (common/choice_reach.h), and the first candidate, which the bound may leave unmeasured, is
// read only where a cfv may be 0/0, for which the bound is not built. So the rows are the
// same whichever set, and however many threads, score them. The search of every node, for
// the classes alone, is classification's own (common/winner_search.h), exact in the same way.
struct Searches {
  std::vector<std::unique_ptr<ClassSearch>> classes;
  std::vector<double> group_values;
  // Patterns searched so far with this set: the bounds are tried once a set has scanned
  // enough of them to judge.
  std::int64_t searched = 0;
  // Where the classes alone are asked for (class_count 0), also every node in one bank,
  // searched as classification searches, with its own count of patterns searched.
  struct Whole {
    explicit Whole(const ModelValues& model) : bank(model, pattern_group) {}
    std::vector<std::unique_ptr<Node>> nodes;
    NodeBank bank;
    std::unique_ptr<Bounds> bounds;
    std::int64_t searched = 0;
  };
  std::unique_ptr<Whole> whole;
  // Which of the two gives the classes: each is timed on the set's first patterns.
  enum class Pick { try_whole, try_classes, whole, classes } pick = Pick::try_whole;
  std::int32_t trial_patterns = 0;
  std::int32_t tried = 0;  // patterns of the trial under way
  double seconds[2] = {0.0, 0.0};  // of the trials: the whole search's, the classes'
};

std::unique_ptr<Searches> build_searches(const ModelValues& model, const ClassLayout& layout, std::int32_t template_count,
                                         double* const* template_rows, double vigilance, bool ct, double Tu) {
  auto set = std::make_unique<Searches>();
  set->classes.resize(layout.present.size());
  for (auto& c : set->classes) c = std::make_unique<ClassSearch>(model);
  for (std::int32_t i = 0; i < template_count; ++i) ++set->classes[layout.search_of(layout.node_classes[i])]->reserved;
  for (auto& c : set->classes) {
    c->nodes.reserve(static_cast<std::size_t>(c->reserved));
    c->numbers.reserve(static_cast<std::size_t>(c->reserved));
    c->bank.reserve(c->reserved);
  }
  for (std::int32_t i = 0; i < template_count; ++i) {
    ClassSearch& s = *set->classes[layout.search_of(layout.node_classes[i])];
    s.nodes.push_back(std::make_unique<Node>(model, template_rows[i], layout.node_classes[i] + 1, 1));
    s.numbers.push_back(i);
    s.bank.append(*s.nodes.back());
  }
  // The bound leaves unmeasured some candidates of its class, among them maybe the first of
  // all; that matters only where a cfv can be 0/0, so the bound waits for no such box.
  bool choice_nan_possible = false;
  for (const auto& c : set->classes)
    for (const auto& node : c->nodes) choice_nan_possible = choice_nan_possible || !(node->choice_denominator > 0);
  if (!choice_nan_possible)
    for (auto& c : set->classes) prepare_reach(*c, vigilance, ct, Tu);
  set->group_values.resize(std::max<std::size_t>(1, static_cast<std::size_t>(pattern_group) * model.feature_count));
  return set;
}

// A set for a call of pattern_count patterns that asks for the classes alone: the search of
// every node (labels as NodeLabels truncates them) and, where the set may take them, the
// classes' searches. A call too small for both trials takes the first alone.
std::unique_ptr<Searches> build_classes_alone(const ModelValues& model, const ClassLayout& layout,
                                              std::int32_t template_count, double* const* template_rows,
                                              double vigilance, bool ct, double Tu, std::int32_t pattern_count) {
  using Pick = Searches::Pick;
  const ClassesAlone way = classes_alone_way;
  const std::int32_t trial = classes_alone_trial;
  const Pick pick = way == ClassesAlone::whole     ? Pick::whole
                    : way == ClassesAlone::classes ? Pick::classes
                    : pattern_count / 2 >= trial   ? Pick::try_whole
                                                   : Pick::whole;
  std::unique_ptr<Searches> set;
  if (pick == Pick::whole) {
    set = std::make_unique<Searches>();
    set->group_values.resize(std::max<std::size_t>(1, static_cast<std::size_t>(pattern_group) * model.feature_count));
  } else {
    set = build_searches(model, layout, template_count, template_rows, vigilance, ct, Tu);
  }
  set->pick = pick;
  set->trial_patterns = trial;
  if (pick == Pick::classes) return set;
  set->whole = std::make_unique<Searches::Whole>(model);
  Searches::Whole& w = *set->whole;
  w.nodes.reserve(static_cast<std::size_t>(template_count));
  w.bank.reserve(template_count);
  for (std::int32_t i = 0; i < template_count; ++i) {
    w.nodes.push_back(std::make_unique<Node>(model, template_rows[i], layout.node_classes[i] + 1, 1));
    w.bank.append(*w.nodes.back());
  }
  w.bounds = std::make_unique<Bounds>(model, w.bank, w.nodes, vigilance, ct, Tu, true);
  return set;
}

// Where a call writes its results: column c of scores holds class c + 1's for all
// pattern_count patterns; classes, when not null, one class number per pattern.
struct Results {
  double* scores;
  double* classes;
  std::int32_t pattern_count;
  std::int32_t class_count;
};

// The classes of patterns first .. first + count - 1 through the search of every node, written
// to their rows of classes; false when interrupted. A pattern with a missing feature is
// measured node by node (plain_best_choice), whose first candidate of cfv 0/0 stays the
// winner, as in the search.
bool whole_rows(const ModelValues& model, Searches& set, const ColumnMatrix& patterns, std::int32_t first,
                std::int32_t count, double vigilance, bool ct, double Tu, double* classes) {
  Searches::Whole& w = *set.whole;
  const double* group_rows[pattern_group];
  for (std::int32_t g = 0; g < pattern_group; ++g)
    group_rows[g] = set.group_values.data() + static_cast<std::ptrdiff_t>(g) * model.feature_count;
  Search found[pattern_group];
  const auto class_of = [&](std::int32_t node) {
    return node < 0 ? 0.0 : static_cast<double>(w.nodes[static_cast<std::size_t>(node)]->label);
  };
  for (std::int32_t at = first; at < first + count; at += pattern_group) {
    if (threads::interrupted()) return false;
    const std::int32_t group_size = std::min(pattern_group, first + count - at);
    patterns.copy_rows(at, group_size, set.group_values.data());
    const GroupSplit split(model, group_rows, group_size);
    if (split.complete_count > 0 && !find_winners(w.bank, *w.bounds, split.complete_rows, split.complete_count,
                                                  w.searched, vigilance, ct, Tu, found))
      return false;
    w.searched += split.complete_count;
    for (std::int32_t c = 0; c < split.complete_count; ++c)
      classes[at + split.complete_of[c]] = class_of(found[c].winner);
    for (std::int32_t g = 0; g < group_size; ++g) {
      if (!split.missing[g]) continue;
      const Best b = plain_best_choice(model, w.nodes, group_rows[g], vigilance, ct, Tu);
      classes[at + g] = class_of(b.first >= 0 && b.first_nan ? b.first : b.found ? b.node : -1);
    }
  }
  return true;
}

// Scores patterns first .. first + count - 1 with one set of searches, writing only their
// rows of the results; false when interrupted.
bool score_rows(const ModelValues& model, Searches& set, const ClassLayout& layout, const ColumnMatrix& patterns, std::int32_t first,
                std::int32_t count, double vigilance, bool ct, double Tu, const Results& out) {
  const std::int32_t M = model.feature_count;
  const std::vector<std::int32_t>& present = layout.present;
  const double* group_rows[pattern_group];
  for (std::int32_t g = 0; g < pattern_group; ++g)
    group_rows[g] = set.group_values.data() + static_cast<std::ptrdiff_t>(g) * M;
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
  const std::size_t N = static_cast<std::size_t>(out.pattern_count);
  for (std::int32_t c = 0; c < out.class_count; ++c)
    std::fill_n(out.scores + static_cast<std::size_t>(c) * N + static_cast<std::size_t>(first), count, 0.0);

  for (std::int32_t at = first; at < first + count; at += pattern_group) {
    if (threads::interrupted()) return false;
    const std::int32_t group_size = std::min(pattern_group, first + count - at);
    patterns.copy_rows(at, group_size, set.group_values.data());
    std::fill(selected, selected + group_size, Selection{-1, 0.0, -1, -1, false});
    const GroupSplit split(model, group_rows, group_size);
    const auto searched = static_cast<std::int32_t>(std::min<std::int64_t>(set.searched, reach_payback));
    set.searched += group_size;
    for (std::size_t k = 0; k < set.classes.size(); ++k) {
      ClassSearch& s = *set.classes[k];
      if (!search_class(s, group_rows, group_size, split, searched, vigilance, ct, Tu, found)) return false;
      // No column where the classes alone are asked for.
      double* column = out.class_count > 0 ? out.scores + static_cast<std::size_t>(present[k]) * N + at : nullptr;
      for (std::int32_t g = 0; g < group_size; ++g) {
        const Best& b = found[g];
        // Every accepting node has mfv >= vigilance >= 0, so its cfv is at least 0 where its
        // choice denominator is above 0; the floor keeps other boxes' scores at 0 too.
        if (column) column[g] = b.found && b.cfv > 0 ? b.cfv : 0.0;
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
    if (out.classes) {
      for (std::int32_t g = 0; g < group_size; ++g) {
        const Selection& e = selected[g];
        // A first candidate whose cfv is not a number is never displaced.
        const std::int32_t c = e.first >= 0 && e.first_nan ? e.first_class : e.node >= 0 ? selected_class[g] : -1;
        out.classes[at + g] = c + 1;
      }
    }
  }
  return true;
}

// The classes alone (class_count 0) come from the search of every node or from the classes'
// searches, whose winners combine: both give every pattern the same class, but which costs
// less depends on the model (on 983 nodes of two classes the first took half the time of the
// second; on 8,636 nodes of three, trained at vigilance 0.8, 1.5 times as long). A set times
// each on its first trial_patterns patterns (the first including the patterns its bounds wait
// for) and takes the faster for the rest; a timing changes only the speed.
bool classes_alone_rows(const ModelValues& model, Searches& set, const ClassLayout& layout,
                        const ColumnMatrix& patterns, std::int32_t first, std::int32_t count, double vigilance,
                        bool ct, double Tu, const Results& out) {
  using Clock = std::chrono::steady_clock;
  using Pick = Searches::Pick;
  const std::int32_t end = first + count;
  for (std::int32_t at = first; at < end;) {
    const bool trying = set.pick == Pick::try_whole || set.pick == Pick::try_classes;
    const std::int32_t stretch = trying ? std::min(set.trial_patterns - set.tried, end - at) : end - at;
    const bool whole = set.pick == Pick::try_whole || set.pick == Pick::whole;
    const Clock::time_point started = Clock::now();
    if (!(whole ? whole_rows(model, set, patterns, at, stretch, vigilance, ct, Tu, out.classes)
                : score_rows(model, set, layout, patterns, at, stretch, vigilance, ct, Tu, out)))
      return false;
    at += stretch;
    if (!trying) continue;
    set.seconds[whole ? 0 : 1] += std::chrono::duration<double>(Clock::now() - started).count();
    if ((set.tried += stretch) < set.trial_patterns) continue;
    set.tried = 0;
    if (set.pick == Pick::try_whole)
      set.pick = Pick::try_classes;
    else
      set.pick = set.seconds[1] < set.seconds[0] ? Pick::classes : Pick::whole;
  }
  return true;
}

// The sets of searches that the threads of a call share out: a thread takes one that no other
// holds for each chunk and gives it back after, so there are never more sets than threads.
class SearchPool {
 public:
  explicit SearchPool(std::vector<std::unique_ptr<Searches>>& sets) {
    idle_.reserve(sets.size());
    for (auto& set : sets) idle_.push_back(set.get());
  }
  // A set held for one chunk.
  struct Held {
    explicit Held(SearchPool& p) : pool(p), searches(p.take()) {}
    ~Held() { pool.give_back(searches); }
    SearchPool& pool;
    Searches* searches;
  };

 private:
  Searches* take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    Searches* set = idle_.back();
    idle_.pop_back();
    return set;
  }
  // Within the reserved room: allocates nothing.
  void give_back(Searches* set) {
    const std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(set);
  }

  std::mutex mutex_;
  std::vector<Searches*> idle_;
};

// The patterns a thread must have for a second one to pay: a pattern costs about a
// coordinate visit per node and feature at most (less where the bounds skip nodes), and each
// column of its scores is written.
std::int64_t least_patterns_per_thread(const ModelValues& model, std::int32_t template_count,
                                       std::int32_t class_count) {
  const std::int64_t per_pattern =
      std::max<std::int64_t>(1, static_cast<std::int64_t>(template_count) * model.feature_count + class_count);
  return std::max<std::int64_t>(pattern_group, (work_floor + per_pattern - 1) / per_pattern);
}

host::Outcome run(const ModelValues& model, std::int32_t template_count, double* const* template_rows, const double* node_labels,
                  double vigilance, std::int32_t ct_option, const ColumnMatrix& patterns, const Results& out,
                  std::int32_t requested_threads) {
  const double Tu = model.D / (model.alpha + 2 * model.D);
  const bool ct = ct_option == 1;
  // No scores and no classes asked for: nothing to search.
  if (out.class_count == 0 && !out.classes) return host::Outcome::done;
  const ClassLayout layout(template_count, node_labels);
  const std::int32_t N = out.pattern_count;
  const int thread_count =
      threads::choose(requested_threads, N, least_patterns_per_thread(model, template_count, out.class_count));
  // Every set is built here, before any thread starts, so that a call's free-store requests
  // are the same whatever the threads do.
  std::vector<std::unique_ptr<Searches>> sets(static_cast<std::size_t>(thread_count));
  const bool classes_alone = out.class_count == 0;
  for (auto& set : sets)
    set = classes_alone ? build_classes_alone(model, layout, template_count, template_rows, vigilance, ct, Tu, N)
                        : build_searches(model, layout, template_count, template_rows, vigilance, ct, Tu);
  const auto rows = [&](Searches& set, std::int32_t first, std::int32_t count) {
    const bool done = classes_alone
                          ? classes_alone_rows(model, set, layout, patterns, first, count, vigilance, ct, Tu, out)
                          : score_rows(model, set, layout, patterns, first, count, vigilance, ct, Tu, out);
    return done ? host::Outcome::done : host::Outcome::interrupted;
  };
  if (thread_count == 1) return rows(*sets[0], 0, N);

  const std::int64_t groups = (static_cast<std::int64_t>(N) + pattern_group - 1) / pattern_group;
  const std::int64_t chunk_groups = std::max<std::int64_t>(1, groups / (thread_count * chunks_per_thread));
  const std::int64_t chunk_patterns = chunk_groups * pattern_group;
  const std::int64_t chunk_count = (N + chunk_patterns - 1) / chunk_patterns;
  SearchPool pool(sets);
  return threads::run(chunk_count, thread_count, [&](std::int64_t k) {
    const SearchPool::Held set(pool);
    const std::int64_t first = k * chunk_patterns;
    const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(chunk_patterns, N - first));
    return rows(*set.searches, static_cast<std::int32_t>(first), count);
  });
}

}  // namespace

host::Outcome score(std::int32_t template_count, std::int32_t feature_count, double* const* template_rows,
                    const double* node_labels, double D, double vigilance, double alpha, std::int32_t ct_option,
                    std::int32_t pattern_count, const ColumnMatrix& patterns, std::int32_t class_count,
                    double* scores, double* classes, std::int32_t threads) {
  const ModelValues model{feature_count, D, alpha};
  try {
    return run(model, template_count, template_rows, node_labels, vigilance, ct_option, patterns,
               {scores, classes, pattern_count, class_count}, threads);
  } catch (const std::bad_alloc&) {
    return host::Outcome::out_of_memory;
  }
}

host::Outcome score_batch(const std::vector<ScoreModel>& models, double D, double vigilance, double alpha,
                          std::int32_t ct_option, std::int32_t class_count, std::int32_t threads) {
  const auto one = [&](const ScoreModel& m, std::int32_t requested) {
    return score(m.template_count, m.feature_count, m.template_rows, m.node_labels, D, vigilance, alpha, ct_option,
                 m.pattern_count, *m.patterns, class_count, m.scores, m.classes, requested);
  };
  std::int64_t visits = 0;
  for (const ScoreModel& m : models)
    visits += static_cast<std::int64_t>(m.pattern_count) *
              std::max<std::int64_t>(1, static_cast<std::int64_t>(m.template_count) * m.feature_count + class_count);
  const std::int64_t least_work = std::max<std::int64_t>(1, work_floor / batch_floor_divisor);
  const int thread_count = models.size() < 2
                               ? 1
                               : std::min<int>(threads::choose(threads, visits, least_work),
                                               static_cast<int>(std::min<std::size_t>(models.size(), 1024)));
  if (thread_count > 1)
    return threads::run(static_cast<std::int64_t>(models.size()), thread_count,
                        [&](std::int64_t k) { return one(models[static_cast<std::size_t>(k)], 1); });
  for (const ScoreModel& m : models) {
    const host::Outcome outcome = one(m, threads);
    if (outcome != host::Outcome::done) return outcome;
  }
  return host::Outcome::done;
}

void set_thread_work_floor(std::int64_t visits) { work_floor = std::max<std::int64_t>(visits, 1); }
void set_classes_alone(ClassesAlone way, std::int32_t trial_patterns) {
  classes_alone_way = way;
  classes_alone_trial = std::max<std::int32_t>(trial_patterns, 1);
}
std::int64_t thread_work_floor() { return work_floor; }

}  // namespace vorla
