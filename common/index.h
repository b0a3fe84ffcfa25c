// A search index over the node bank: per coordinate, a grid of cells, and per cell the set
// of nodes (as bits, in node order) that a pattern whose coordinate falls in that cell could
// let pass the vigilance test. A search intersects the sets of its pattern's cells and
// measures only the bank blocks that keep a node, so whole blocks of nodes that certainly
// fail are counted out without being measured; the blocks it measures get the very bits and
// values the linear scan gives them.
#ifndef VORLA_INDEX_H
#define VORLA_INDEX_H

#include "bank.h"
#include "kernels.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorla {

class SearchIndex {
 public:
  static constexpr std::size_t cells = 64;  // per coordinate (a cell number fits a byte)

  // An index for the vigilance test size <= limit (limit finite) with room for capacity
  // nodes, holding nodes 0 .. node_count - 1 of the bank whose blocks are given. With
  // node_limits (one per node held), node j is left out of a cell only where its size
  // exceeds node_limits[j] rather than limit: a node that is not measured then has a size
  // above its own limit, and one that is measured gets the test against limit.
  SearchIndex(const double* bank_boxes, std::int32_t node_count, std::int32_t capacity, std::size_t feature_count,
              double limit, const double* node_limits = nullptr);
  SearchIndex(const SearchIndex&) = delete;
  SearchIndex& operator=(const SearchIndex&) = delete;

  // About what share of the nodes an index would have a pattern measure, from a sample of
  // them (for the automatic choice; 1 where it cannot tell).
  static double estimated_share(const double* bank_boxes, std::int32_t node_count, std::size_t feature_count,
                                double limit, const double* node_limits = nullptr);

  double limit() const { return limit_; }
  std::int32_t capacity() const { return capacity_; }

  // Takes in node j (the next one, or one already held whose box changed; j < capacity).
  // Corner i is at lower[i x step] and upper[i x step]. node_limit: the node's own limit
  // where the index was built with one per node (NaN: in every cell); else limit.
  void add(std::int32_t j, const double* lower, const double* upper, std::size_t step);
  void add(std::int32_t j, const double* lower, const double* upper, std::size_t step, double node_limit);

  // For a pattern x with finite coordinates: measures every node of the bank's blocks that
  // may pass, one by one or by the kernel of path for its whole block, writing its passes
  // bit and numerator as the scan does (the passes words come in as 0), and lists the blocks
  // with a passing node in increasing order. Returns the nodes measured (a whole block's
  // lanes where its kernel ran). Allocates nothing.
  std::size_t measure(const double* x, const double* bank_boxes, std::size_t block_count, MatchPath path,
                      kernels::Corners corners, double D, std::uint32_t* passes, double* numerators,
                      std::int32_t* passing_blocks, std::int32_t& passing_block_count);

 private:
  std::size_t cell_of(std::size_t i, double v) const;
  // Copies node j's corners and gives, per gridded coordinate, the first and last cell that
  // hold it for sizes up to limit; false when it is in no cell.
  bool cell_ranges(std::int32_t j, const double* lower, const double* upper, std::size_t step, double limit,
                   std::size_t* first, std::size_t* last);
  // Notes node j's first and last cell per gridded coordinate (none: in no cell), so that a
  // changed box clears only the cells it was in.
  void note_span(std::int32_t j, const std::size_t* first, const std::size_t* last);
  // Ands the pattern's rows (rows_) over the first used_words words into hits_; returns the
  // hits kept.
  std::size_t intersect(std::size_t used_words);
  // The bits of a cell of the s-th gridded coordinate.
  std::uint64_t* row(std::size_t s, std::size_t cell) { return bits_.data() + (s * cells + cell) * words_; }

  const std::size_t feature_count_;
  const double limit_;
  const std::int32_t capacity_;
  const std::size_t words_;  // per cell: room for capacity bits, in whole chunks
  std::int32_t count_ = 0;   // nodes held: 0 .. count_ - 1
  double widen_ = 0.0;       // c of the slack's margin, for the feature count
  std::vector<double> origins_;
  std::vector<double> scales_;  // cells per unit; 0 where a coordinate is not gridded
  std::vector<std::size_t> slots_;  // the gridded coordinates
  std::vector<std::uint64_t> bits_;
  std::vector<const std::uint64_t*> rows_;  // the pattern's row per gridded coordinate
  // Each node's corners side by side (lower_0, upper_0, lower_1, ...), so that a node measured
  // alone is read from one or two cache lines.
  std::vector<double> boxes_;
  std::vector<std::uint8_t> spans_;  // per node and gridded coordinate: first and last cell
  // The words of the intersection with a node to measure, in increasing order.
  struct Hit {
    std::size_t word;
    std::uint64_t bits;
  };
  std::vector<Hit> hits_;
};

}  // namespace vorla

#endif
