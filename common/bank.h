// The node bank: the boxes and choice denominators of a run's nodes kept side by side, in
// blocks of `lanes` nodes with coordinate i of a block's nodes contiguous, so that a pattern
// is measured against many nodes per step. It also holds the per-node results of the last
// measurement (the vigilance test and the match numerators, from which mfv and cfv follow)
// and the eligibility flags of the training search.
//
// Every search of a run goes through NodeBank::measure; how it measures (one Node after
// another, or a blocked kernel) is chosen once, when the bank is built.
#ifndef VORLA_BANK_H
#define VORLA_BANK_H

#include "bits.h"
#include "node.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vorla {

// per_node: Node::compute_match on each node in turn, the reference form.
// scalar: the blocked kernel in plain C++, for any processor.
// sse2: the blocked kernel with 128-bit vectors (every x86-64 processor).
// avx2: the blocked kernel with 256-bit vectors, where the processor has AVX2.
// avx512: the blocked kernel with 512-bit vectors and mask registers (AVX-512F).
// automatic: the fastest blocked kernel that the processor runs.
enum class MatchPath { automatic, per_node, scalar, sse2, avx2, avx512 };

// The path that banks built from now on use (process-wide; tests and benchmarks set it).
void set_match_path(MatchPath path);
MatchPath requested_match_path();
// Coordinate visits (node x coordinate x pattern) that a measure call makes between two
// interrupt polls (process-wide; tests set it small to reach every poll).
void set_interrupt_poll_visits(std::int64_t visits);
std::int64_t interrupt_poll_visits();
// Whether this processor can run the path.
bool match_path_available(MatchPath path);
// A path as this processor runs it: automatic, and a vector path that the processor lacks,
// become the fastest available blocked kernel.
MatchPath resolve_match_path(MatchPath path = requested_match_path());

// Whether the searches of banks built from now on may skip nodes through a search index
// (process-wide; tests and benchmarks set it). automatic: where measurements say it pays.
// never: every node is measured, the reference. always: wherever the results allow it.
enum class IndexUse { automatic, never, always };
void set_index_use(IndexUse use);
IndexUse requested_index_use();

class SearchIndex;

// Doubles on the free store whose first element starts a 64-byte cache line, so that the
// kernels' aligned vector loads never straddle two lines.
class LineArray {
 public:
  double* data() const { return data_; }
  // Grows or shrinks to n values: the first ones are kept, new ones are set to fill.
  void resize(std::size_t n, double fill);
  // Makes room for n values whose contents are left undefined.
  void reset(std::size_t n);

 private:
  std::unique_ptr<double[]> raw_;
  double* data_ = nullptr;
  std::size_t size_ = 0;
};

class NodeBank {
 public:
  static constexpr std::int32_t lanes = 16;  // nodes per block
  // Patterns per measure call that the AVX-512 kernel takes in one pass over each block.
  static constexpr std::int32_t full_group = 8;

  // group: the most patterns that one measure call takes. Measuring several patterns per
  // pass over the boxes reads each block from memory once for all of them. model: the run's
  // values, kept; the path is resolved here, once per run.
  explicit NodeBank(const ModelValues& model, std::int32_t group = 1, MatchPath path = requested_match_path(),
                    IndexUse index_use = requested_index_use());
  ~NodeBank();
  NodeBank(const NodeBank&) = delete;
  NodeBank& operator=(const NodeBank&) = delete;

  const ModelValues& model() const { return model_; }
  MatchPath path() const { return path_; }
  std::int32_t group() const { return group_; }
  std::int32_t count() const { return count_; }
  // Nodes measured by the last measure call (every lane of a block that a kernel measured).
  std::size_t nodes_measured() const { return nodes_measured_; }

  // Room for node_count nodes, so that appending them does not grow the bank.
  void reserve(std::int32_t node_count);
  // Takes in node as the last one; the bank keeps a pointer to it. The results of the last
  // measure call are not kept. reach_limits: the node's own limit for each of measure_within's
  // indexes that is kept (none, as by default: the node is measured always).
  void append(Node& node, const double* reach_limits = nullptr);
  // Copies node j's box and choice denominator again, after learning changed them.
  void refresh(std::int32_t j, const double* reach_limits = nullptr);

  // The vigilance test of measure as a size limit, for the model's D when it is finite and
  // above 0: a node passes exactly when its size is <= the limit (-1 when no size passes).
  double vigilance_limit(double rho, double tolerance);
  // About what share of the nodes a search index would measure per pattern for the test
  // size <= limit, or with node_limits (one per node) for sizes up to each node's own limit;
  // 1 where it cannot tell or would not be used.
  double index_share(double limit, const double* node_limits = nullptr) const;

  // Measures the patterns through a search index of its own, apart from the vigilance test's
  // (kept current, with room to grow, as append and refresh give each changed node's limit):
  // every node whose size for a pattern may be at most node_limits[j] is measured, with
  // the test size <= limit (below +Inf, under a finite D above 0), and its passes bit and
  // numerator come out as measure gives them for a vigilance test with that limit; a node
  // not measured has a size above its own limit and no passes bit. The index is built again
  // when limit or key (what the caller's node limits derive from) changes. A classification
  // search bounds the choice value with it. no_index: no memory for the index, nothing
  // measured.
  // slot: which of the reach_slots indexes, each kept for its own limits.
  enum class Reach { measured, no_index, interrupted };
  static constexpr std::int32_t reach_slots = 2;
  Reach measure_within(const double* const* patterns, std::int32_t pattern_count, double limit,
                       const double* node_limits, double key, bool (*interrupted)() = nullptr, std::int32_t slot = 0);

  // Which nodes a measure call leaves a match numerator for besides the vigilance test:
  // every node (for a trace that prints every mfv), or the nodes that pass.
  enum class Results { every_mfv, passing };

  // Measures every node against patterns[0 .. pattern_count - 1] (at most group of them):
  // the vigilance test mfv + tolerance >= rho for each node (see passes), with
  // mfv = match_numerator / D and match_numerator = D - size, size being that of the
  // smallest box holding the node's box and the pattern; and the match numerator of each
  // node that passes, or of every node when results is every_mfv. Allocates nothing.
  // With interrupted given, a large bank asks it between stretches of blocks and stops,
  // returning false with the results incomplete, at the first yes; true when measured.
  // indexed false: never through the vigilance test's index, which is then neither built
  // nor rebuilt for a test that may change with every call.
  bool measure(const double* const* patterns, std::int32_t pattern_count, double rho, double tolerance,
               Results results, bool (*interrupted)() = nullptr, bool indexed = true);

  // Measures node j alone against x and keeps its match numerator as the last measure call's
  // for the first pattern, so that mfv(j) and cfv(j) give a winner found by another search
  // (SizeOrder) as a measure call would.
  void measure_node(std::int32_t j, const double* x);

  // The results of node j for pattern g of the last measure call, computed as the node
  // computes them: mfv = match_numerator / D, cfv = match_numerator / choice_denominator.
  double mfv(std::int32_t j, std::int32_t g = 0) const { return numerator(j, g) / model_.D; }
  double cfv(std::int32_t j, std::int32_t g = 0) const {
    return numerator(j, g) / choice_denominators_.data()[static_cast<std::size_t>(j)];
  }
  // Bit l is set when node lanes x b + l passed the vigilance test for pattern g.
  std::uint32_t passes(std::int32_t b, std::int32_t g = 0) const {
    return passes_[static_cast<std::size_t>(g) * block_capacity() + static_cast<std::size_t>(b)];
  }
  std::int32_t block_count() const { return (count_ + lanes - 1) / lanes; }
  // The passes words of the last measure call's first pattern, one per block.
  const std::uint32_t* passes_words() const { return passes_.data(); }
  // The blocks with a node that passed for pattern g in the last measure call, in increasing
  // order: the only blocks whose passes word is not 0.
  const std::int32_t* passing_blocks(std::int32_t g = 0) const {
    return passing_.data() + static_cast<std::size_t>(g) * block_capacity();
  }
  std::int32_t passing_block_count(std::int32_t g = 0) const { return passing_counts_[static_cast<std::size_t>(g)]; }
  // The lane of the lowest bit set in a non-zero passes word.
  static std::int32_t first_lane(std::uint32_t passes) { return lowest_set_bit(passes); }
  // Calls visit(j) for every node j that passed for pattern g in the last measure call, in
  // increasing node order, visiting only the blocks that hold one.
  template <class Visit>
  void for_each_passing(std::int32_t g, Visit&& visit) const {
    const std::int32_t* passing = passing_blocks(g);
    const std::int32_t passing_count = passing_block_count(g);
    for (std::int32_t k = 0; k < passing_count; ++k) {
      const std::int32_t b = passing[k];
      for (std::uint32_t bits = passes(b, g); bits != 0; bits &= bits - 1) visit(b * lanes + first_lane(bits));
    }
  }

  // The cfvs and mfvs of the last measure call's first pattern, as cfv and mfv give them, for
  // every node at once (and for the spare lanes): block_count() x lanes values each.
  void divide_all(double* cfvs, double* mfvs) const;

  // The training search's flags: 1 while a node is still in the running for the pattern.
  std::int32_t& eligible(std::int32_t j) { return eligible_[static_cast<std::size_t>(j)]; }
  void clear_eligible() {
    if (eligible_everywhere_) {
      std::fill(eligible_.begin(), eligible_.end(), 0);
    } else {
      for (std::int32_t b : eligible_blocks_)
        std::fill_n(eligible_.begin() + static_cast<std::ptrdiff_t>(b) * lanes, lanes, 0);
    }
    eligible_blocks_.clear();
    eligible_in_use_ = true;
    eligible_everywhere_ = false;
  }

 private:
  double numerator(std::int32_t j, std::int32_t g) const { return numerators_.data()[result_index(j, g)]; }
  std::size_t result_index(std::int32_t j, std::int32_t g) const {
    return static_cast<std::size_t>(g) * static_cast<std::size_t>(capacity_) + static_cast<std::size_t>(j);
  }
  std::size_t block_capacity() const { return static_cast<std::size_t>(capacity_ / lanes); }
  std::size_t block_values() const { return 2 * static_cast<std::size_t>(lanes) * feature_count_; }
  void grow(std::int32_t node_count);
  void copy_box(std::int32_t j);
  // The largest size that passes the vigilance test, kept for the last D, rho and tolerance.
  double limit_for(double D, double rho, double tolerance);
  // Whether this measure call goes through the index (built or rebuilt here when needed).
  bool take_index(double limit);
  // The measure call of an index; false when interrupted between patterns. running_nodes,
  // when given, follows the nodes a pattern costs.
  bool measure_indexed(SearchIndex& index, const double* const* patterns, std::int32_t pattern_count, double limit,
                       bool listed_before, bool (*interrupted)(), double* running_nodes);
  // Leaves the spare lanes of the last block out of the passes words (and out of the lists,
  // when an index listed the blocks).
  void drop_spare_lanes(std::int32_t pattern_count, bool listed);
  // Lists the blocks with a passing node from the passes words.
  void list_passing(std::int32_t pattern_count);
  // Notes, at the start of a measure call, the blocks where the last search may have set
  // eligibility flags, for clear_eligible.
  void note_flag_blocks(bool was_listed);

  const ModelValues model_;
  const MatchPath path_;
  const std::int32_t group_;
  const std::size_t feature_count_;
  std::int32_t count_ = 0;
  std::int64_t capacity_ = 0;  // a multiple of lanes
  std::vector<Node*> nodes_;
  // Per block, per coordinate i: the lanes' lower_i, then their upper_i.
  LineArray boxes_;
  LineArray choice_denominators_;
  // Per pattern of a measure call, capacity_ values each.
  LineArray numerators_;
  std::vector<std::uint32_t> passes_;  // per pattern, one word per block
  std::vector<std::int32_t> passing_;  // per pattern, the blocks listed by passing_blocks
  std::vector<std::int32_t> passing_counts_;
  // Whether the lists describe the passes words as they are (not so after growth).
  bool passing_listed_ = false;
  std::vector<std::int32_t> eligible_;
  // The searches set a node's flag only where it passed the vigilance test, so the flags
  // left by a search lie in the blocks where its measure call found a node passing; each
  // measure call notes those blocks (once the flags are in use) for clear_eligible.
  bool eligible_in_use_ = false;
  bool eligible_everywhere_ = true;
  std::vector<std::int32_t> eligible_blocks_;
  bool lower_nan_ = false;  // whether any lower corner copied in held NaN
  bool corners_ordered_ = true;  // whether every corner copied in is +0 or more, not NaN
  const IndexUse index_use_;
  std::unique_ptr<SearchIndex> index_;
  bool index_failed_ = false;  // no memory for an index: the bank scans
  std::size_t nodes_measured_ = 0;
  // The automatic choice: nodes a pattern costs through the index, as last seen, and the
  // patterns since the index was last tried.
  double index_nodes_ = 0.0;
  std::int64_t scanned_since_try_ = 0;
  std::int64_t scanned_blocks_ = 0;  // scan work since the bank began, which pays for a build
  std::int64_t next_judgement_ = 0;  // when the scans will have paid for judging an index again
  bool limit_known_ = false;
  double limit_key_[3] = {};
  double limit_ = 0.0;
  std::unique_ptr<SearchIndex> reach_index_[reach_slots];  // measure_within's
  double reach_key_[reach_slots] = {};
  // Takes the node's limit for each reach index from reach_limits (NaN without them).
  void enter_reach(std::int32_t j, const double* reach_limits);
};

}  // namespace vorla

#endif
