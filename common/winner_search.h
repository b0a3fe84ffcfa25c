// Classification's winner search where nothing shows the counts: for a group of
// patterns, the node each selects (the greatest cfv among the nodes that pass
// the vigilance test and the CT, ties to the lowest node), found through a
// bound on the choice value where one pays and by a scan of the bank otherwise.
// vorla_eval's quiet search and vorla_score's classes go through it; each
// thread of a call has a bank and bounds of its own.
#ifndef VORLA_WINNER_SEARCH_H
#define VORLA_WINNER_SEARCH_H

#include "bank.h"
#include "choice_reach.h"
#include "node.h"
#include "staged_reach.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vorla {

constexpr std::int32_t no_winner = -1;

// What the search of one measured pattern found.
struct Search {
  std::int32_t winner = no_winner;
  double best_cfv = 0.0;  // the winner's
  std::uint32_t vt_passes = 0;
  std::uint32_t candidates = 0;
};

// The search of pattern g of the bank's last measure call when nothing is
// printed per node: the same tests and the same winner as a search that visits
// every node, but only the nodes that the bank marked as passing the vigilance
// test are visited. A first candidate whose cfv is not a number (0/0) is never
// displaced. Inline: taken as a call, it made a classification with few nodes
// up to twice as slow.
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

// The two bounds on the choice value that a search may go through where nothing
// shows the counts, and the arbiter between them. ChoiceReach is tried with
// reach_min_nodes nodes or more, once reach_payback patterns have been scanned,
// and kept while an index for its limit would have a pattern measure fewer than
// the nodes' share 1 / index_node_cost; where it is not taken or gives up (the
// cfvs of the winners spread widely, as on noisy, overlapping classes), the
// bound in stages with cuts from the winners seen (StagedReach). Either finds
// the scan's winner (the proofs are in their headers), so what a bound is taken
// for changes what is measured, never a result. Polls threads::interrupted.
class Bounds {
 public:
  // counts_unseen: nothing counts or prints the nodes measured, so the bounds
  // may skip some.
  Bounds(const ModelValues& model, NodeBank& bank, const std::vector<std::unique_ptr<Node>>& nodes, double vigilance,
         bool ct, double Tu, bool counts_unseen);

  enum class Way { scan, reached, interrupted };

  // The winners of a group through a bound where one is taken (reached), or the
  // group left to the caller's scan. patterns_before: the patterns searched
  // with these bounds before.
  Way find(const double* const* rows, std::int32_t group_size, std::int64_t patterns_before, double vigilance,
           Search* found);

  // What one pattern's search tells the stages, in the order of the patterns.
  void note(const double* row, const Search& s);

 private:
  Way through_reach(const double* const* rows, std::int32_t group_size, double vigilance, Search* found);
  bool through_stages(const double* const* rows, std::int32_t group_size, double vigilance, Search* found);
  void arbitrate(bool staged_turn);

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

// The winners of a group of patterns (at most NodeBank::full_group, none with a
// missing feature): through the bounds where they are taken, else by a scan of
// the bank, each pattern's search noted to the bounds in order. false when
// interrupted.
bool find_winners(NodeBank& bank, Bounds& bounds, const double* const* rows, std::int32_t group_size,
                  std::int64_t patterns_before, double vigilance, bool ct, double Tu, Search* found);

}  // namespace vorla

#endif
