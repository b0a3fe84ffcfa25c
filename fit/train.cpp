#include "train.h"

#include "bank.h"
#include "host.h"
#include "kernels.h"
#include "marshal.h"
#include "node.h"
#include "size_order.h"
#include "staged_reach.h"
#include "threads.h"
#include "tuning.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace vorla {
namespace {

// Tolerance of the vigilance and choice tests while training.
constexpr double tolerance = 1e-7;

// Appends printf-style text to a string.
void append_text(std::string& to, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, again);
  va_end(again);
  if (length > 0) {
    const std::size_t at = to.size();
    to.resize(at + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&to[at], static_cast<std::size_t>(length) + 1, format, args);
    to.resize(at + static_cast<std::size_t>(length));
  }
  va_end(args);
}

// Where a run's text, interrupt polls and operation counts go. A run on the calling thread
// prints, polls the host and feeds the host's counter as it goes; a run on a worker, which
// must not touch the host, keeps its text and its count for the calling thread, and polls
// whether its team is stopping.
class Channel {
 public:
  // The host's channel.
  Channel() : poll_(host::interrupt_requested), flop_counter_(host::has_flop_counter()) {}
  // A worker's: flop_counter, whether the host keeps a counter, as the calling thread found.
  Channel(TrainedNetwork& kept, bool flop_counter)
      : kept_(&kept), poll_(threads::interrupted), flop_counter_(flop_counter) {}

  template <class... Values>
  void print(const char* format, Values... values) {
    if (kept_)
      append_text(kept_->text, format, values...);
    else
      mexPrintf(format, values...);
  }
  bool (*poll() const)() { return poll_; }
  bool interrupted() const { return poll_(); }
  void add_flops(std::uint32_t count) {
    if (kept_)
      kept_->counted_operations += count;
    else
      host::add_flops(count);
  }
  bool has_flop_counter() const { return flop_counter_; }
  // Whether the run's nodes and results stay off the host.
  bool on_worker() const { return kept_ != nullptr; }

 private:
  TrainedNetwork* kept_ = nullptr;
  bool (*poll_)();
  bool flop_counter_;
};

// The run's nodes in creation order, owning them so that every way out of a run releases them:
// on the host, a host block of node pointers that grows by one slot per node; on a worker,
// the same slots on the free store.
class NodeList {
 public:
  // Keeps a reference to the run's values, which the nodes are made under; on_free_store: the
  // slots are the free store's (a run on a worker).
  NodeList(const ModelValues& model, bool on_free_store) : free_store_(on_free_store), model_(model) {}
  NodeList(const NodeList&) = delete;
  NodeList& operator=(const NodeList&) = delete;
  ~NodeList() { release(); }

  std::int32_t count() const { return count_; }
  Node& operator[](std::int32_t j) const { return *slots_[j]; }

  // Appends a point-box node at x; false when no memory could be had for it.
  bool append(const double* x, std::int32_t label) {
    if (!grow(static_cast<std::int64_t>(count_) + 1)) return false;
    slots_[count_] = new Node(model_, x, label);
    ++count_;
    return true;
  }

  // Takes in count template rows [lower upper] with their labels as the first nodes, in one
  // block of count slots; false when no memory could be had for it.
  bool append_boxes(double* const* rows, const double* labels, std::int32_t count) {
    if (count == 0) return true;
    if (!grow(count)) return false;
    for (std::int32_t k = 0; k < count; ++k) {
      slots_[count_] = new Node(model_, rows[k], static_cast<std::int32_t>(labels[k]), 1);
      ++count_;
    }
    return true;
  }

  void release_node(std::int32_t j) {
    delete slots_[j];
    slots_[j] = nullptr;
  }

  void release() {
    for (std::int32_t j = 0; j < count_; ++j) release_node(j);
    if (free_store_) {
      std::vector<Node*>().swap(store_);
    } else if (slots_) {
      mxFree(slots_);
    }
    slots_ = nullptr;
    count_ = 0;
  }

 private:
  // Room for `slots` slots, the first count_ kept.
  bool grow(std::int64_t slots) {
    if (free_store_) {
      store_.resize(static_cast<std::size_t>(slots));
      slots_ = store_.data();
      return true;
    }
    void* grown = count_ == 0 ? host::allocate(slots, sizeof(Node*)) : host::reallocate(slots_, slots, sizeof(Node*));
    if (!grown) return false;
    slots_ = static_cast<Node**>(grown);
    return true;
  }

  const bool free_store_;
  std::vector<Node*> store_;
  const ModelValues& model_;
  Node** slots_ = nullptr;
  std::int32_t count_ = 0;
};

// Operations counted for one pattern.
struct PatternCounts {
  std::uint32_t flops = 0;
  std::uint32_t comparisons = 0;
};

constexpr std::int32_t no_winner = -1;

// The bound on the choice value is taken with reach_min_nodes nodes or more, where its stages
// cost less than a pattern's search without them: a scan, or the vigilance test's own index
// where that measures fewer nodes (StagedReach::note).
// The stage of a pattern measured whole.
constexpr std::int32_t whole_stage = -1;
// The stage of a pattern whose match tracking searches every node through SizeOrder.
constexpr std::int32_t sized_stage = -2;

class Trainer {
 public:
  Trainer(Channel& out, const ModelValues& values, std::int32_t pattern_count, double* const* patterns,
          const double* labels, double vigilance, double learning_rate, std::int32_t ct_option, std::int32_t oflag,
          bool tolerant)
      : model(values), nodes(model, out.on_worker()), out_(out), pattern_count_(pattern_count), patterns_(patterns),
        labels_(labels), vigilance_(vigilance),
        learning_rate_(learning_rate), ct_option_(ct_option), oflag_(oflag), tolerant_(tolerant),
        Tu_(model.D / (model.alpha - model.D * (-2.0))),
        match_flops_(2 * static_cast<std::uint32_t>(model.feature_count) + 2),
        match_comparisons_(2 * static_cast<std::uint32_t>(model.feature_count)),
        learn_comparisons_(4 * static_cast<std::uint32_t>(model.feature_count)) {
    // The bound on the choice value where nothing shows the counts (see StagedReach).
    const IndexUse use = requested_index_use();
    if (oflag_ == 0 && !out_.has_flop_counter() && use != IndexUse::never && model.D > 0 &&
        model.D <= std::numeric_limits<double>::max()) {
      const double limit = bank.vigilance_limit(vigilance_, tolerance);
      if (limit >= 0 && limit < std::numeric_limits<double>::infinity()) {
        reach_ = std::make_unique<StagedReach>(model, limit, tolerance, ct_option_ != 0, Tu_, use == IndexUse::always);
        sized_ = SizeOrder::available(bank.path()) && ct_option_ == 0;
      }
    }
  }

  // One pass over all patterns; false when memory ran out or the user interrupted (then
  // interrupted is set).
  bool present_list(std::int32_t list_presentation) {
    new_node_count = 0;
    update_count = 0;
    activated_count = 0;
    for (std::int32_t j = 0; j < nodes.count(); ++j) nodes[j].active = 0;
    if (oflag_ >= 3) out_.print("\nList presentation #%d:\n", list_presentation);
    for (std::int32_t p = 0; p < pattern_count_; ++p) {
      if (out_.interrupted()) interrupted = true;
      if (interrupted || !present(p)) return false;
    }
    if (oflag_ == 2)
      out_.print("List presentation #%d: %d new nodes created, %d node updates\n", list_presentation,
                new_node_count, update_count);
    if (oflag_ >= 3) out_.print("   Summary: %d new nodes created, %d node updates\n", new_node_count, update_count);
    return true;
  }

  // The run's values, which its nodes, bank and bounds are made under.
  const ModelValues model;
  NodeList nodes;
  // The nodes' boxes side by side for the search, and the search's per-node state.
  NodeBank bank{model};
  // 64-bit: a few presentations of a large data set pass 2^32 operations.
  std::uint64_t flop_total = 3;  // the three operations of Tu
  std::uint64_t comparison_total = 0;
  std::int32_t new_node_count = 0;
  std::int32_t update_count = 0;
  std::int32_t activated_count = 0;
  bool interrupted = false;

 private:
  bool present(std::int32_t p) {
    const double* x = patterns_[p];
    const double label = labels_[p];
    PatternCounts counts;
    // A pattern with a missing feature takes the plain search (see plain_search).
    const std::int32_t missing = missing_count(x);
    const bool plain = missing > 0;
    if (oflag_ >= 4) {
      if (plain)
        out_.print("   Pattern #%d is being presented (label %d, %d of %d features missing)\n", p + 1,
                  static_cast<std::int32_t>(label), missing, model.feature_count);
      else
        out_.print("   Pattern #%d is being presented (label %d)\n", p + 1, static_cast<std::int32_t>(label));
    }

    double rho = vigilance_;
    left_.clear();
    least_cfv_ = std::numeric_limits<double>::quiet_NaN();
    std::int32_t winner = plain ? plain_search(x, rho, counts) : search(x, rho, counts);
    if (interrupted) return false;
    bool mt_engaged = false;
    for (;;) {
      if (reach_ && !plain && winner != no_winner) least_cfv_ = std::fmin(least_cfv_, bank.cfv(winner));
      if (winner == no_winner) {
        if (!create_node(p, x, label, mt_engaged)) return false;
        break;
      }
      Node& w = nodes[winner];
      if (static_cast<double>(w.label) == label) {
        learn(p, x, winner, mt_engaged, counts);
        break;
      }
      // Match tracking: raise the vigilance to the wrong winner's match and choose again.
      // Each engagement reads every node again, and there may be one per node.
      if (out_.interrupted()) {
        interrupted = true;
        return false;
      }
      rho = plain ? plain_mfv_[static_cast<std::size_t>(winner)] : bank.mfv(winner);
      mt_engaged = true;
      if (oflag_ == 4)
        out_.print(tolerant_ ? "      Node #%d (label %d) misclassifies pattern #%d - Engage MT- (set rho=%f)\n"
                            : "      Node #%d (label %d) misclassifies pattern #%d - Engage MT (set rho=%f)\n",
                  winner + 1, w.label, p + 1, rho);
      // The tolerant rule takes the winner alone out, before re-selection compares it, so
      // it costs no comparison; nodes that match as well as it stay in.
      if (tolerant_ && plain) {
        plain_eligible_[static_cast<std::size_t>(winner)] = 0;
      } else if (tolerant_) {
        bank.eligible(winner) = 0;
        if (reach_) left_.push_back(winner);
      }
      winner = plain ? plain_reselect(rho, counts) : reselect(x, rho, counts);
      if (interrupted) return false;
    }
    // The bound learns its cuts from the patterns that its searches take.
    if (reach_ && !plain) {
      const auto node = [this](std::int32_t j) -> const Node& { return nodes[j]; };
      // The bound competes with the vigilance test's own index, where that measures fewer
      // nodes than a scan.
      const auto whole_cost = [this] {
        if (bank.count() < reach_min_nodes) return 0.0;
        const auto held = static_cast<double>(bank.count());
        return std::min(held, bank.index_share(reach_->limit()) * index_node_cost * held);
      };
      reach_->note(x, least_cfv_, nodes.count(), stage_node_cost, node, whole_cost);
    }

    out_.add_flops(counts.comparisons + counts.flops);
    flop_total += counts.flops;
    comparison_total += counts.comparisons;
    return true;
  }

  std::int32_t missing_count(const double* x) const {
    std::int32_t count = 0;
    for (std::int32_t i = 0; i < model.feature_count; ++i) count += is_missing(x[i]) ? 1 : 0;
    return count;
  }

  // The search of a pattern with a missing feature: every node measured by the rule of
  // size_with_missing, in creation order, with the tests, counts and trace of the search of a
  // whole measurement. The bank's kernels, its index and the bounds all rest on sizes that are
  // never negative, which a missing feature's own extent of an open node breaks, so none of
  // them is used; the pattern's results live here, apart from the bank's.
  std::int32_t plain_search(const double* x, double rho, PatternCounts& counts) {
    const std::int32_t node_count = nodes.count();
    const auto n = static_cast<std::size_t>(node_count);
    if (plain_mfv_.size() < n) {
      plain_mfv_.resize(std::max(n, 2 * plain_mfv_.size()));
      plain_cfv_.resize(plain_mfv_.size());
      plain_eligible_.resize(plain_mfv_.size());
    }
    std::int32_t winner = no_winner;
    double best_cfv = 0.0;
    for (std::int32_t j = 0; j < node_count; ++j) {
      if (j % traced_nodes_per_poll == traced_nodes_per_poll - 1 && out_.interrupted()) {
        interrupted = true;
        return no_winner;
      }
      const Node& node = nodes[j];
      const auto k = static_cast<std::size_t>(j);
      const double numerator = model.D - size_with_missing(model, node.lower.get(), node.upper.get(), x);
      const double mfv = numerator / model.D;
      plain_mfv_[k] = mfv;
      plain_eligible_[k] = 1;
      counts.flops += match_flops_;
      counts.comparisons += match_comparisons_;
      if (!(mfv + tolerance >= rho)) {
        counts.comparisons += 1;
        plain_eligible_[k] = 0;
        if (oflag_ == 4) out_.print("      Node #%d fails VT (MFV=%f < rho=%f)\n", j + 1, mfv, rho);
        continue;
      }
      const double cfv = numerator / node.choice_denominator;
      plain_cfv_[k] = cfv;
      counts.flops += 1;
      if (ct_option_ != 0) {
        counts.comparisons += 1;
        if (!(cfv + tolerance >= Tu_)) {
          plain_eligible_[k] = 0;
          if (oflag_ == 4) out_.print("      Node #%d fails CT (CFV=%f < Tu=%f)\n", j + 1, cfv, Tu_);
          continue;
        }
      }
      consider(j, cfv, winner, best_cfv, counts);
      if (oflag_ == 4) out_.print("      Node #%d is candidate (CFV=%f)\n", j + 1, cfv);
    }
    return winner;
  }

  // reselect_among for the plain search's results.
  std::int32_t plain_reselect(double rho, PatternCounts& counts) {
    std::int32_t winner = no_winner;
    double best_cfv = 0.0;
    for (std::int32_t j = 0; j < nodes.count(); ++j) {
      const auto k = static_cast<std::size_t>(j);
      if (!plain_eligible_[k]) continue;
      counts.comparisons += 1;
      if (!passes_match(plain_mfv_[k], rho, !tolerant_)) {
        plain_eligible_[k] = 0;
        continue;
      }
      consider(j, plain_cfv_[k], winner, best_cfv, counts);
    }
    return winner;
  }

  // Measures every node against x and returns the best that passes the tests, earliest on ties.
  // The bank measures all nodes at once; the tests, counts and trace then take the nodes in
  // creation order.
  std::int32_t search(const double* x, double rho, PatternCounts& counts) {
    stage_ = 0;
    if (reach_ && reach_->active()) {
      for (; stage_ < reach_->stage_count(); ++stage_) {
        const NodeBank::Reach r = measure_stage(x);
        if (r == NodeBank::Reach::interrupted) return no_winner;
        if (r == NodeBank::Reach::no_index) break;
        const std::int32_t winner = quiet_search(counts);
        if (reach_->settles(stage_, winner != no_winner, winner != no_winner ? bank.cfv(winner) : 0.0)) return winner;
      }
    }
    stage_ = whole_stage;
    if (!bank.measure(&x, 1, rho, tolerance,
                      oflag_ == 4 ? NodeBank::Results::every_mfv : NodeBank::Results::passing,
                      out_.poll())) {
      interrupted = true;
      return no_winner;
    }
    divided_ = false;
    if (reach_) return whole_pick(rho, false);
    if (oflag_ != 4) return quiet_search(counts);
    std::int32_t winner = no_winner;
    double best_cfv = 0.0;
    const std::int32_t node_count = bank.count();
    for (std::int32_t j = 0; j < node_count; ++j) {
      // A line per node takes long enough to be worth a poll every so many lines.
      if (j % traced_nodes_per_poll == traced_nodes_per_poll - 1 && out_.interrupted()) {
        interrupted = true;
        return no_winner;
      }
      std::int32_t& eligible = bank.eligible(j);
      const double mfv = bank.mfv(j);
      eligible = 1;
      counts.flops += match_flops_;
      counts.comparisons += match_comparisons_;
      if (!(mfv + tolerance >= rho)) {
        counts.comparisons += 1;
        eligible = 0;
        if (oflag_ == 4) out_.print("      Node #%d fails VT (MFV=%f < rho=%f)\n", j + 1, mfv, rho);
        continue;
      }
      const double cfv = bank.cfv(j);
      counts.flops += 1;
      if (ct_option_ != 0) {
        counts.comparisons += 1;
        if (!(cfv + tolerance >= Tu_)) {
          eligible = 0;
          if (oflag_ == 4) out_.print("      Node #%d fails CT (CFV=%f < Tu=%f)\n", j + 1, cfv, Tu_);
          continue;
        }
      }
      consider(j, cfv, winner, best_cfv, counts);
      if (oflag_ == 4) out_.print("      Node #%d is candidate (CFV=%f)\n", j + 1, cfv);
    }
    return winner;
  }

  // The search when nothing is printed per node: the same tests, flags, counts and winner,
  // but only the nodes that the bank marked as passing the vigilance test are visited; the
  // others are counted in bulk.
  std::int32_t quiet_search(PatternCounts& counts) {
    std::int32_t winner = no_winner;
    double best_cfv = 0.0;
    std::uint32_t vt_passes = 0;
    bank.clear_eligible();
    bank.for_each_passing(0, [&](std::int32_t j) {
      ++vt_passes;
      const double cfv = bank.cfv(j);
      if (!passes_ct(cfv)) return;
      bank.eligible(j) = 1;
      consider(j, cfv, winner, best_cfv, counts);
    });
    const auto visited = static_cast<std::uint32_t>(bank.count());
    counts.flops += visited * match_flops_ + vt_passes;
    counts.comparisons += visited * match_comparisons_ + (visited - vt_passes) + (ct_option_ != 0 ? vt_passes : 0);
    return winner;
  }

  // Chooses again after a wrong winner, at the raised rho. Where the search went through the
  // bound and its choice is not settled, the pattern goes on to the next stage, its flags
  // built again from every test of its searches (see StagedReach): each rho of a pattern's
  // re-selections is the match of a node that passed against the one before, so the last
  // one's test implies the earlier ones'. After the last stage it is measured whole. Where the
  // nodes are kept by size, a re-selection that its stage does not settle goes to them at
  // once: in match tracking the later stage settled too few patterns to pay for its index.
  std::int32_t reselect(const double* x, double rho, PatternCounts& counts) {
    if (reach_ && stage_ == whole_stage) return whole_pick(rho, true);
    if (stage_ == sized_stage) return sized_pick(x, rho);
    std::int32_t winner = reselect_among(rho, counts);
    while (stage_ != whole_stage &&
           !reach_->settles_reselect(stage_, winner != no_winner, winner != no_winner ? bank.cfv(winner) : 0.0, rho,
                                     !tolerant_)) {
      NodeBank::Reach r = NodeBank::Reach::no_index;
      if (++stage_ < reach_->stage_count() && !sized_) {
        r = measure_stage(x);
        if (r == NodeBank::Reach::interrupted) return no_winner;
      }
      if (r != NodeBank::Reach::measured) {
        if (sized_) {
          stage_ = sized_stage;
          return sized_pick(x, rho);
        }
        return reselect_whole(x, rho);
      }
      bank.clear_eligible();
      bank.for_each_passing(0, [&](std::int32_t j) {
        if (passes_ct(bank.cfv(j)) && stays_at(j, bank.mfv(j), rho)) bank.eligible(j) = 1;
      });
      winner = reselect_among(rho, counts);
    }
    return winner;
  }

  // The search of a pattern measured whole where nothing shows the counts: the winner among
  // the nodes that the flags would hold (those that passed the vigilance test and the CT,
  // and in match tracking those whose mfv passes against the raised rho, under the tolerant
  // rule but a wrong winner), ties to the lowest node, with the quotients of every node
  // divided at once and, on a path with a vector choice, chosen among at once. Each rho of a
  // pattern passed against the one before, so the test of the last implies the earlier ones.
  // Neither flags nor counts are kept.
  std::int32_t whole_pick(double rho, bool tracking) {
    const std::int32_t* passing = bank.passing_blocks();
    const std::int32_t passing_count = bank.passing_block_count();
    // Where few blocks hold a passing node, their nodes are divided one by one.
    const bool all_at_once = 4 * passing_count >= bank.block_count();
    if (all_at_once) {
      const auto room = static_cast<std::size_t>(bank.block_count()) * NodeBank::lanes;
      if (cfvs_.size() < room) {
        cfvs_.resize(std::max(room, 2 * cfvs_.size()));
        mfvs_.resize(cfvs_.size());
      }
      if (!divided_) bank.divide_all(cfvs_.data(), mfvs_.data());
      divided_ = true;
      // The wrong winners leave the running for good: a NaN mfv passes against no rho.
      if (tracking && tolerant_)
        for (const std::int32_t j : left_) mfvs_[static_cast<std::size_t>(j)] = std::numeric_limits<double>::quiet_NaN();
      const std::int64_t chosen = kernels::choose(
          bank.path(), kernels::Choice{cfvs_.data(), mfvs_.data(), bank.passes_words(),
                                       static_cast<std::size_t>(bank.block_count()), ct_option_ != 0, tolerance, Tu_,
                                       tracking, rho, !tolerant_});
      if (chosen != kernels::choose_in_order) return static_cast<std::int32_t>(chosen);
    }
    const double* cfvs = cfvs_.data();
    const double* mfvs = mfvs_.data();
    std::int32_t winner = no_winner;
    double best_cfv = 0.0;
    PatternCounts unseen;
    for (std::int32_t k = 0; k < passing_count; ++k) {
      const std::int32_t b = passing[k];
      for (std::uint32_t bits = bank.passes(b); bits != 0; bits &= bits - 1) {
        const std::int32_t j = b * NodeBank::lanes + NodeBank::first_lane(bits);
        const double cfv = all_at_once ? cfvs[j] : bank.cfv(j);
        if (!passes_ct(cfv)) continue;
        if (tracking && !stays_at(j, all_at_once ? mfvs[j] : bank.mfv(j), rho)) continue;
        consider(j, cfv, winner, best_cfv, unseen);
      }
    }
    return winner;
  }

  // Match tracking's search of every node, measured whole against the raised rho itself,
  // without tolerance: a node whose mfv reaches rho also passes the vigilance test, as the
  // wrong winner whose mfv rho is did (rounding is monotone), so these are all the nodes match
  // tracking may take, and the scan cuts short the blocks whose sizes exceed the limit.
  std::int32_t reselect_whole(const double* x, double rho) {
    stage_ = whole_stage;
    if (!bank.measure(&x, 1, rho, 0.0, NodeBank::Results::passing, out_.poll(), false)) {
      interrupted = true;
      return no_winner;
    }
    divided_ = false;
    return whole_pick(rho, true);
  }

  // Match tracking's search among every node where the stages did not settle it, through the
  // nodes kept by size: the candidates of whole_pick after a whole measurement against rho,
  // and the same winner, without reading the nodes too large to pass. Where a candidate's
  // cfv is NaN the loop's rule decides, after a whole measurement.
  std::int32_t sized_pick(const double* x, double rho) {
    // The vigilance test at rho without tolerance is mfv >= rho, which the test on mfv implies.
    const double limit = match_size_limit(model.D, rho, !tolerant_);
    if (!order_) {
      // Made at the first search that needs it, so that runs without one never keep it.
      order_ = std::make_unique<SizeOrder>(model, reach_->limit());
      for (std::int32_t j = 0; j < nodes.count(); ++j) order_->put(j, nodes[j]);
    }
    std::int64_t chosen = kernels::no_candidate;
    if (limit >= 0)
      chosen = order_->pick(bank.path(), x, limit, left_, out_.poll(), [&](std::int32_t j, double& cfv) {
        const Node& node = nodes[j];
        double numerator = 0.0;
        if (!kernels::measure_box(node.lower.get(), node.upper.get(), 1, static_cast<std::size_t>(model.feature_count),
                                  x, model.D, limit, numerator))
          return false;
        cfv = numerator / node.choice_denominator;
        return true;
      });
    if (chosen == SizeOrder::stopped) {
      interrupted = true;
      return no_winner;
    }
    if (chosen == kernels::choose_in_order) return reselect_whole(x, rho);
    if (chosen == kernels::no_candidate) return no_winner;
    const auto winner = static_cast<std::int32_t>(chosen);
    bank.measure_node(winner, x);
    return winner;
  }

  // The CT of the training searches (always passed where it is off).
  bool passes_ct(double cfv) const { return ct_option_ == 0 || cfv + tolerance >= Tu_; }

  // Whether a node that passed the vigilance test stays in the running at the raised rho:
  // its mfv passes against rho and, under the tolerant rule, it is none of the pattern's
  // wrong winners.
  bool stays_at(std::int32_t j, double mfv, double rho) const {
    if (!passes_match(mfv, rho, !tolerant_)) return false;
    return !tolerant_ || std::find(left_.begin(), left_.end(), j) == left_.end();
  }

  // The nodes within their limits of the current stage of the bound.
  NodeBank::Reach measure_stage(const double* x) {
    const NodeBank::Reach r = bank.measure_within(&x, 1, reach_->limit(), reach_->node_limits(stage_), reach_->key(),
                                                  out_.poll(), stage_);
    if (r == NodeBank::Reach::interrupted) interrupted = true;
    return r;
  }

  // Chooses again among the eligible nodes whose stored match exceeds rho (or reaches it,
  // under the tolerant rule).
  std::int32_t reselect_among(double rho, PatternCounts& counts) {
    std::int32_t winner = no_winner;
    double best_cfv = 0.0;
    // Only nodes that passed the vigilance test are eligible, so the blocks without one are
    // passed over; the nodes still go in creation order.
    bank.for_each_passing(0, [&](std::int32_t j) {
      std::int32_t& eligible = bank.eligible(j);
      if (!eligible) return;
      counts.comparisons += 1;
      if (!passes_match(bank.mfv(j), rho, !tolerant_)) {
        eligible = 0;
        return;
      }
      consider(j, bank.cfv(j), winner, best_cfv, counts);
    });
    return winner;
  }

  // A later candidate wins only with a strictly greater choice value.
  static void consider(std::int32_t j, double cfv, std::int32_t& winner, double& best_cfv, PatternCounts& counts) {
    if (winner == no_winner) {
      winner = j;
      best_cfv = cfv;
      return;
    }
    counts.comparisons += 1;
    if (cfv > best_cfv) {
      winner = j;
      best_cfv = cfv;
    }
  }

  bool create_node(std::int32_t p, const double* x, double label, bool mt_engaged) {
    if (!nodes.append(x, static_cast<std::int32_t>(label))) return false;
    Node& node = nodes[nodes.count() - 1];
    bank.append(node, reach_ ? reach_->enter(nodes.count() - 1, node.choice_denominator) : nullptr);
    if (order_) order_->put(nodes.count() - 1, node);
    ++new_node_count;
    if (oflag_ >= 3) {
      out_.print("   Pattern #%d created  node #%d (label %d)", p + 1, nodes.count(), nodes[nodes.count() - 1].label);
      out_.print(mt_engaged ? " during MT\n" : "\n");
    }
    return true;
  }

  void learn(std::int32_t p, const double* x, std::int32_t winner, bool mt_engaged, PatternCounts& counts) {
    Node& w = nodes[winner];
    std::uint32_t flops = 0;
    int changed = w.learn(model, x, learning_rate_, flops);
    counts.flops += flops;
    counts.comparisons += learn_comparisons_;
    if (changed) {
      bank.refresh(winner, reach_ ? reach_->enter(winner, w.choice_denominator) : nullptr);
      if (order_) order_->put(winner, w);
      ++update_count;
    }
    if (!mt_engaged && !changed && !w.active) {
      w.active = 1;
      ++activated_count;
    }
    if (oflag_ >= 3) {
      out_.print(changed ? "   Pattern #%d updated  node #%d (label %d)"
                         : "   Pattern #%d selected node #%d (label %d)",
                p + 1, winner + 1, w.label);
      out_.print(mt_engaged ? " during MT\n" : "\n");
    }
  }

  Channel& out_;
  const std::int32_t pattern_count_;
  double* const* const patterns_;
  const double* const labels_;
  const double vigilance_;
  const double learning_rate_;
  const std::int32_t ct_option_;
  const std::int32_t oflag_;
  const bool tolerant_;
  const double Tu_;
  const std::uint32_t match_flops_;
  const std::uint32_t match_comparisons_;
  const std::uint32_t learn_comparisons_;
  // The bound on the choice value, where nothing shows the counts; stage_: the stage of the
  // bound whose nodes the pattern's last measure call measured, or whole_stage.
  std::unique_ptr<StagedReach> reach_;
  // The nodes by size, for match tracking's searches of every node, where the path has them
  // (sized_) and from the first such search on.
  bool sized_ = false;
  std::unique_ptr<SizeOrder> order_;
  std::int32_t stage_ = whole_stage;
  // The pattern's wrong winners (under the tolerant rule) and its winners' least cfv.
  std::vector<std::int32_t> left_;
  double least_cfv_ = 0.0;
  // whole_pick's quotients, and whether they are those of the last measure call.
  std::vector<double> cfvs_;
  std::vector<double> mfvs_;
  bool divided_ = false;
  // plain_search's results, per node.
  std::vector<double> plain_mfv_;
  std::vector<double> plain_cfv_;
  std::vector<std::int32_t> plain_eligible_;
};

// Share of a count in percent; 0 when there is nothing to share.
double percent(std::int64_t part, std::int64_t whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) * 100.0 / static_cast<double>(whole);
}

void print_report(Channel& out, bool converged, std::int32_t list_presentations, std::int32_t trim_option,
                  std::int32_t inactive_count, double redundancy_percent, std::int32_t template_count,
                  double compression_percent, std::uint64_t flop_total, std::uint64_t comparison_total,
                  std::int32_t elapsed_seconds) {
  out.print("\nFAM training ");
  out.print(converged ? "converged " : "stopped ");
  out.print(list_presentations == 1 ? "after %d list presentation\n" : "after %d list presentations\n",
            list_presentations);
  if (converged) {
    if (trim_option == 1)
      out.print(inactive_count == 1 ? "%d inactive node trimmed " : "%d inactive nodes trimmed ", inactive_count);
    else
      out.print(inactive_count == 1 ? "%d inactive node detected " : "%d inactive nodes detected ", inactive_count);
    out.print("(%f%% redundacy)\n", redundancy_percent);
  } else if (trim_option == 1) {
    out.print("Trimming option ignored due to lack of convergence.\n");
  }
  if (template_count == 1)
    out.print("%d node created (%f%% ", 1, std::fabs(compression_percent));
  else
    out.print("%d nodes created (%f%% ", template_count, std::fabs(compression_percent));
  if (compression_percent > 0)
    out.print("compression)\n");
  else if (compression_percent < 0)
    out.print("inflation)\n");
  else
    out.print(")\n");
  out.print("%llu FLOPs and %llu comparisons in %d seconds\n\n", static_cast<unsigned long long>(flop_total),
            static_cast<unsigned long long>(comparison_total), elapsed_seconds);
}

// Where a run's results go: host blocks (template_rows, node_labels and, when asked, the
// history through extras), or, for a run of a batch, the network's own results.
struct Results {
  std::int32_t& template_count;
  double**& template_rows;
  double*& node_labels;
  TrainedNetwork* network = nullptr;
};

// Hands the kept nodes back (trimmed of the inactive ones this run made when trim is set) to
// where results says, with the history where asked, and releases every node.
host::Outcome hand_back(const ModelValues& model, NodeList& nodes, std::int32_t given_count,
                        std::int32_t template_count, bool trim, std::int32_t list_presentations,
                        std::vector<double>& history, const TrainingExtras& extras, const Results& results) {
  const bool keep_history = extras.history != nullptr;
  const std::int32_t node_count = nodes.count();
  const auto row_length = static_cast<std::size_t>(2 * model.feature_count);
  TrainedNetwork* const network = results.network;
  double** rows = nullptr;
  double* kept_labels = nullptr;
  if (network) {
    network->template_values.resize(static_cast<std::size_t>(template_count) * row_length);
    network->node_labels.resize(static_cast<std::size_t>(template_count));
    kept_labels = network->node_labels.data();
  } else {
    rows = allocate_row_matrix(template_count, 2 * model.feature_count);
    if (!rows) return host::Outcome::out_of_memory;
    kept_labels = static_cast<double*>(host::allocate(template_count, sizeof(double)));
    if (!kept_labels) return host::Outcome::out_of_memory;
  }
  std::int32_t j = 0;
  for (std::int32_t i = 0; i < node_count; ++i) {
    if (!(trim && !nodes[i].active && i >= given_count)) {
      nodes[i].export_row(model, network ? network->template_values.data() + static_cast<std::size_t>(j) * row_length
                                         : rows[j]);
      kept_labels[j] = static_cast<double>(nodes[i].label);
      ++j;
    }
    nodes.release_node(i);
  }
  nodes.release();
  results.template_count = template_count;
  if (network) {
    network->list_presentations = list_presentations;
    if (keep_history) network->history = std::move(history);
    return host::Outcome::done;
  }
  results.template_rows = rows;
  results.node_labels = kept_labels;
  if (keep_history) {
    const auto history_rows = static_cast<std::int32_t>(history.size() / 4);
    double** rows_made = allocate_row_matrix(history_rows, 4);
    if (!rows_made) return host::Outcome::out_of_memory;
    std::copy(history.begin(), history.end(), rows_made[0]);
    *extras.history = rows_made;
    *extras.history_rows = history_rows;
  }
  return host::Outcome::done;
}

host::Outcome run(Channel& out, const ModelValues& model, const std::int32_t& pattern_count, double* const* patterns,
                  const double* labels, double vigilance, double learning_rate, std::int32_t max_list_presentations,
                  std::int32_t trim_option, std::int32_t ct_option, std::int32_t& list_presentations,
                  std::int32_t oflag, const TrainingExtras& extras, const Results& results) {
  Trainer trainer(out, model, pattern_count, patterns, labels, vigilance, learning_rate, ct_option, oflag,
                  extras.tolerant_match_tracking);
  NodeList& nodes = trainer.nodes;
  list_presentations = 0;
  const std::int32_t start_seconds = host::run_clock_seconds();
  const bool keep_history = extras.history != nullptr;
  const bool timed = extras.progress || keep_history;
  const std::int64_t start_ms = timed ? host::run_clock_ms() : 0;

  const std::int32_t given_count = extras.given_count;
  if (!nodes.append_boxes(extras.given_rows, extras.given_labels, given_count)) return host::Outcome::out_of_memory;
  trainer.bank.reserve(given_count);
  for (std::int32_t j = 0; j < given_count; ++j) trainer.bank.append(nodes[j]);
  // Per presentation: node count, created, changed, seconds.
  std::vector<double> history;

  bool converged = false;
  for (;;) {
    ++list_presentations;
    if (!trainer.present_list(list_presentations))
      return trainer.interrupted ? host::Outcome::interrupted : host::Outcome::out_of_memory;
    if (timed) {
      const double seconds = static_cast<double>(host::run_clock_ms() - start_ms) / 1000.0;
      if (keep_history)
        history.insert(history.end(), {static_cast<double>(nodes.count()), static_cast<double>(trainer.new_node_count),
                                       static_cast<double>(trainer.update_count), seconds});
      if (extras.progress) {
        out.print("%s: presentation %d: %d nodes, %d created, %d changed, %.2f s", extras.progress_name,
                  list_presentations, nodes.count(), trainer.new_node_count, trainer.update_count, seconds);
        // Counted as the summary and the model count: the confirming pass is not one.
        const std::int32_t counted = list_presentations - 1;
        if (trainer.new_node_count == 0 && trainer.update_count == 0)
          out.print("; converged after %d list presentation%s (presentation %d changed nothing)", counted,
                    counted == 1 ? "" : "s", list_presentations);
        out.print("\n");
      }
    }
    if (trainer.new_node_count == 0 && trainer.update_count == 0) {
      converged = true;
      break;
    }
    if (!(list_presentations < max_list_presentations)) break;
  }

  // The presentation that changed nothing only confirmed convergence.
  if (converged) --list_presentations;
  const std::int32_t node_count = nodes.count();
  // Only nodes made by this run count as inactive: a given node is kept even when no
  // pattern selected it. (Without given nodes this is node_count - activated_count, since
  // a converged run's last presentation creates no node.)
  std::int32_t inactive_count = 0;
  for (std::int32_t i = given_count; i < node_count; ++i) inactive_count += nodes[i].active ? 0 : 1;
  const bool trim = trim_option == 1 && converged;
  const std::int32_t template_count = trim ? node_count - inactive_count : node_count;
  const std::int32_t elapsed_seconds = host::run_clock_seconds() - start_seconds;

  if (oflag > 0) {
    const std::int64_t saved = static_cast<std::int64_t>(pattern_count) - 2 * static_cast<std::int64_t>(template_count);
    print_report(out, converged, list_presentations, trim_option, inactive_count, percent(inactive_count, node_count),
                 template_count, percent(saved, pattern_count), trainer.flop_total, trainer.comparison_total,
                 elapsed_seconds);
  }

  return hand_back(model, nodes, given_count, template_count, trim, list_presentations, history, extras, results);
}

// The largest count that one call of the host's counter takes.
constexpr std::uint64_t largest_feed = 0x7fffffff;

// Feeds a worker's summed count to the host's counter, in as few calls as it takes.
void feed_counted(std::uint64_t count) {
  while (count > 0) {
    const std::uint64_t part = std::min(count, largest_feed);
    host::add_flops(static_cast<std::uint32_t>(part));
    count -= part;
  }
}

// Prints a worker's text in pieces of whole lines, so that no host meets one enormous string.
void print_text(const std::string& text) {
  constexpr std::size_t piece = 1 << 14;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = std::min(text.size(), at + piece);
    if (end < text.size()) {
      const std::size_t line_end = text.rfind('\n', end - 1);
      if (line_end != std::string::npos && line_end >= at) end = line_end + 1;
    }
    mexPrintf("%.*s", static_cast<int>(end - at), text.data() + at);
    at = end;
  }
}

}  // namespace

host::Outcome train(const std::int32_t& pattern_count, const std::int32_t& feature_count, double* const* patterns,
                    const double* labels, const double& D, const double& vigilance, const double& alpha,
                    const double& learning_rate, const std::int32_t& max_list_presentations,
                    const std::int32_t& trim_option, const std::int32_t& ct_option, std::int32_t& template_count,
                    double**& template_rows, double*& node_labels, std::int32_t& list_presentations,
                    std::int32_t oflag, const TrainingExtras& extras) {
  const ModelValues model{feature_count, D, alpha};
  try {
    Channel out;
    return run(out, model, pattern_count, patterns, labels, vigilance, learning_rate, max_list_presentations,
               trim_option, ct_option, list_presentations, oflag, extras, {template_count, template_rows, node_labels});
  } catch (const std::bad_alloc&) {
    // The node list has released every node on the way out.
    return host::Outcome::out_of_memory;
  }
}

host::Outcome train_batch(const std::int32_t& feature_count, double* const* patterns, const double* labels,
                          const double& D, const double& alpha,
                          const double& learning_rate, const std::int32_t& max_list_presentations,
                          const std::int32_t& trim_option, const std::int32_t& ct_option, std::int32_t oflag,
                          const TrainingExtras& extras, const std::vector<BatchNetwork>& networks,
                          std::int64_t threads, std::vector<TrainedNetwork>& trained) {
  // Shared by every network, which only reads them.
  const ModelValues model{feature_count, D, alpha};
  const auto count = static_cast<std::int64_t>(networks.size());
  const int team = threads::choose(threads, count, 1);
  const bool flop_counter = host::has_flop_counter();
  try {
    trained.clear();
    trained.resize(networks.size());
    const auto train_one = [&](std::int64_t k) {
      const BatchNetwork& net = networks[static_cast<std::size_t>(k)];
      TrainedNetwork& result = trained[static_cast<std::size_t>(k)];
      // The network's patterns in its order, read where they lie.
      std::vector<double*> rows(net.size());
      std::vector<double> own_labels(net.size());
      for (std::size_t p = 0; p < rows.size(); ++p) {
        rows[p] = patterns[net.row(p)];
        own_labels[p] = labels[net.row(p)];
      }
      TrainingExtras own = extras;
      own.given_count = net.given_count;
      own.given_rows = net.given_rows;
      own.given_labels = net.given_labels;
      std::int32_t template_count = 0;
      double** unused_rows = nullptr;
      double* unused_labels = nullptr;
      const auto n = static_cast<std::int32_t>(rows.size());
      // One thread: the calling thread's channel, as train's.
      Channel out = team == 1 ? Channel() : Channel(result, flop_counter);
      const host::Outcome ended =
          run(out, model, n, rows.data(), own_labels.data(), net.vigilance, learning_rate, max_list_presentations,
              trim_option, ct_option, result.list_presentations, oflag, own,
              {template_count, unused_rows, unused_labels, &result});
      result.finished = ended == host::Outcome::done;
      return ended;
    };
    const host::Outcome outcome = threads::run(count, team, train_one);
    if (team > 1) {
      // The texts and counts in network order, up to the first network that did not finish.
      for (std::size_t k = 0; k < trained.size(); ++k) {
        if (!trained[k].finished) break;
        print_text(trained[k].text);
        feed_counted(trained[k].counted_operations);
      }
    }
    if (outcome != host::Outcome::done) trained.clear();
    return outcome;
  } catch (const std::bad_alloc&) {
    trained.clear();
    return host::Outcome::out_of_memory;
  }
}

}  // namespace vorla
