#include "index.h"

#include "bits.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorla {
namespace {

using kernels::lane_count;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr std::size_t word_bits = 64;
// Up to this many nodes of a block are measured one by one rather than by the block kernel.
constexpr int single_nodes = 4;
// Words of a cell's row intersected at a time.
constexpr std::size_t chunk_words = 8;
// Coordinates gridded at most: a few already sort out nearly every node, and each costs
// a row of bits per node and cell.
constexpr std::size_t max_gridded = 12;

}  // namespace

// Why a node left out of a cell cannot pass for a pattern whose coordinate lies there.
//
// The kernels give a node the size S^ = the sum from 0.0, in index order, of the terms
// high_i - low_i, high_i = x_i < u_i ? u_i : x_i, low_i = x_i <= l_i ? x_i : l_i, and the
// node passes when S^ <= limit. For a finite x and a box with finite corners, l_i <= u_i,
// each term is in exact arithmetic
//   t_i = (u_i - l_i) + max(0, x_i - u_i) + max(0, l_i - x_i) >= 0,
// so S = sum t_i >= b + d_i, b the exact box size and d_i the distance of x_i from
// [l_i, u_i]. With u = 2^-53 and rounding to nearest, every quantity summed is >= 0, so each
// subtraction and addition multiplies by a factor in [1 - u, 1 + u] (subnormal results of
// both are exact): S^ >= (1 - u)^M S, and the box size b^ that add computes the same way is
// at most (1 + u)^M b. A passing node therefore has
//   d_i <= limit / (1 - u)^M - b^ / (1 + u)^M <= (limit - b^) + 2Mu (limit + b^)
// for limit >= 0. add computes the slack s^ = (limit - b^) + (limit + b^) c with
// c = (4M + 16) 2^-52, whose three roundings cost at most 3u (limit + b^): s^ is above that
// bound. A node with s^ < 0 passes for no x. Otherwise x_i lies in [l_i - s^, u_i + s^], and
// so between the two ends as computed: rounding is monotone and leaves x_i, a double, as it
// is. The node is set in the cells from that of the one to that of the other. Cells come
// from (v - origin) x scale, clamped to the grid: both steps and the clamp are monotone under
// rounding, so a value between two ends falls in a cell between theirs. Nodes with another
// kind of box (unordered, infinite or NaN corners) are set in every cell, and patterns with
// a coordinate that is not finite are not searched here.
//
// Where each node has a limit of its own (node_limits), all of this holds node by node with
// that limit in place of limit: a node left out of a pattern's cells has a size above its
// own limit (a NaN limit sets the node in every cell). The kernels' test, for the nodes
// measured, stays size <= limit.
//
// A box that learning changes is entered again from its new corners alone, since whether it
// can pass depends on nothing else.

SearchIndex::SearchIndex(const double* bank_boxes, std::int32_t node_count, std::int32_t capacity,
                         std::size_t feature_count, double limit, const double* node_limits)
    : feature_count_(feature_count),
      limit_(limit),
      capacity_(capacity),
      words_((static_cast<std::size_t>(capacity) + chunk_words * word_bits - 1) / (chunk_words * word_bits) *
             chunk_words),
      widen_(static_cast<double>(4 * feature_count + 16) * 0x1p-52),
      origins_(feature_count, 0.0),
      scales_(feature_count, 0.0),
      hits_(words_) {
  // Room for the nodes to come, but only the pages of the nodes held are touched: fresh
  // memory is costly on its first write.
  boxes_.reserve(2 * feature_count * static_cast<std::size_t>(capacity));
  boxes_.resize(2 * feature_count * static_cast<std::size_t>(node_count));
  const std::size_t block_values = 2 * lane_count * feature_count;
  const auto n = static_cast<std::size_t>(node_count);
  const auto corner = [&](std::size_t j, std::size_t i, std::size_t upper) {
    return bank_boxes[j / lane_count * block_values + 2 * lane_count * i + upper * lane_count + j % lane_count];
  };
  // The grid spans the finite corners of the nodes held now.
  for (std::size_t i = 0; i < feature_count; ++i) {
    double low = inf;
    double high = -inf;
    for (std::size_t j = 0; j < n; ++j) {
      const double l = corner(j, i, 0);
      const double u = corner(j, i, 1);
      if (std::isfinite(l)) low = std::min(low, l);
      if (std::isfinite(u)) high = std::max(high, u);
    }
    const double width = (high - low) / static_cast<double>(cells);
    // Cells hardly wider than the rounding of the values near the grid would sort nothing
    // out: such a coordinate is not gridded.
    const double magnitude = std::max(std::fabs(low), std::fabs(high));
    if (std::isfinite(width) && width > 0x1p-48 * magnitude && width > 0x1p-1000) {
      origins_[i] = low;
      scales_[i] = 1.0 / width;
      if (slots_.size() < max_gridded) slots_.push_back(i);
    }
  }
  if (slots_.empty()) slots_.push_back(0);  // one row of cells that holds every node
  bits_.assign(slots_.size() * cells * words_, 0);
  rows_.assign(slots_.size(), nullptr);
  spans_.reserve(2 * slots_.size() * static_cast<std::size_t>(capacity));
  // Every node's cells at once: a bit toggled at the first cell of a node's range and after
  // its last, then each cell's row the running exclusive or of the toggles up to it.
  std::size_t first[max_gridded];
  std::size_t last[max_gridded];
  for (std::size_t j = 0; j < n; ++j) {
    const double* lower = bank_boxes + j / lane_count * block_values + j % lane_count;
    const auto node = static_cast<std::int32_t>(j);
    count_ = node + 1;
    if (!cell_ranges(node, lower, lower + lane_count, 2 * lane_count, node_limits ? node_limits[j] : limit, first,
                     last)) {
      note_span(node, nullptr, nullptr);
      continue;
    }
    note_span(node, first, last);
    const std::uint64_t bit = std::uint64_t{1} << (j % word_bits);
    for (std::size_t s = 0; s < slots_.size(); ++s) {
      row(s, first[s])[j / word_bits] ^= bit;
      if (last[s] + 1 < cells) row(s, last[s] + 1)[j / word_bits] ^= bit;
    }
  }
  for (std::size_t s = 0; s < slots_.size(); ++s)
    for (std::size_t c = 1; c < cells; ++c) {
      const std::uint64_t* before = row(s, c - 1);
      std::uint64_t* here = row(s, c);
      for (std::size_t w = 0; w < words_; ++w) here[w] ^= before[w];
    }
}

double SearchIndex::estimated_share(const double* bank_boxes, std::int32_t node_count, std::size_t feature_count,
                                    double limit, const double* node_limits) {
  if (node_count <= 0 || feature_count == 0 || !(node_limits || limit >= 0)) return 1.0;
  const std::size_t block_values = 2 * lane_count * feature_count;
  const auto n = static_cast<std::size_t>(node_count);
  const std::size_t sample = std::min<std::size_t>(n, 256);
  const auto corner = [&](std::size_t j, std::size_t i, std::size_t upper) {
    return bank_boxes[j / lane_count * block_values + 2 * lane_count * i + upper * lane_count + j % lane_count];
  };
  std::vector<double> low(feature_count, inf);
  std::vector<double> high(feature_count, -inf);
  for (std::size_t k = 0; k < sample; ++k) {
    const std::size_t j = k * n / sample;
    for (std::size_t i = 0; i < feature_count; ++i) {
      low[i] = std::min(low[i], corner(j, i, 0));
      high[i] = std::max(high[i], corner(j, i, 1));
    }
  }
  double share = 0.0;
  for (std::size_t k = 0; k < sample; ++k) {
    const std::size_t j = k * n / sample;
    double size = 0.0;
    for (std::size_t i = 0; i < feature_count; ++i) size += corner(j, i, 1) - corner(j, i, 0);
    const double slack = (node_limits ? node_limits[j] : limit) - size;
    if (!(slack >= 0)) {
      if (!(slack < 0)) share += 1.0;  // not a number: measured always
      continue;
    }
    double node_share = 1.0;
    for (std::size_t i = 0, gridded = 0; i < feature_count && gridded < max_gridded; ++i) {
      const double range = high[i] - low[i];
      if (!(range > 0) || !std::isfinite(range)) continue;
      ++gridded;
      const double reach = corner(j, i, 1) - corner(j, i, 0) + 2 * slack + range / cells;
      node_share *= std::min(1.0, reach / range);
    }
    share += node_share;
  }
  return share / static_cast<double>(sample);
}

std::size_t SearchIndex::cell_of(std::size_t i, double v) const {
  const double t = (v - origins_[i]) * scales_[i];
  if (!(t >= 1.0)) return 0;  // below the grid; and 0 where the coordinate is not gridded
  if (!(t < static_cast<double>(cells - 1))) return cells - 1;
  return static_cast<std::size_t>(t);
}

bool SearchIndex::cell_ranges(std::int32_t j, const double* lower, const double* upper, std::size_t step,
                              double limit, std::size_t* first, std::size_t* last) {
  const std::size_t M = feature_count_;
  if (boxes_.size() < 2 * M * (static_cast<std::size_t>(j) + 1)) boxes_.resize(2 * M * (static_cast<std::size_t>(j) + 1));
  double* box = boxes_.data() + 2 * M * static_cast<std::size_t>(j);
  for (std::size_t i = 0; i < M; ++i) {
    box[2 * i] = lower[i * step];
    box[2 * i + 1] = upper[i * step];
  }
  bool ordinary = true;
  double size = 0.0;
  for (std::size_t i = 0; i < M; ++i) {
    const double l = lower[i * step];
    const double u = upper[i * step];
    if (!(std::isfinite(l) && std::isfinite(u) && l <= u)) ordinary = false;
    size = size + (u - l);
  }
  if (!std::isfinite(size) || std::isnan(limit)) ordinary = false;
  double slack = inf;
  if (ordinary) {
    if (limit < 0) return false;  // no size passes
    slack = (limit - size) + (limit + size) * widen_;
    if (slack < 0) return false;  // passes for no pattern: in no cell
  }
  for (std::size_t s = 0; s < slots_.size(); ++s) {
    const std::size_t i = slots_[s];
    first[s] = 0;
    last[s] = cells - 1;
    if (ordinary) {
      first[s] = cell_of(i, lower[i * step] - slack);
      last[s] = cell_of(i, upper[i * step] + slack);
    }
  }
  return true;
}

void SearchIndex::note_span(std::int32_t j, const std::size_t* first, const std::size_t* last) {
  const std::size_t G = slots_.size();
  const std::size_t at = 2 * G * static_cast<std::size_t>(j);
  if (spans_.size() < at + 2 * G) spans_.resize(at + 2 * G);
  for (std::size_t s = 0; s < G; ++s) {
    // In no cell: an empty span.
    spans_[at + 2 * s] = static_cast<std::uint8_t>(first ? first[s] : 1);
    spans_[at + 2 * s + 1] = static_cast<std::uint8_t>(first ? last[s] : 0);
  }
}

void SearchIndex::add(std::int32_t j, const double* lower, const double* upper, std::size_t step) {
  add(j, lower, upper, step, limit_);
}

void SearchIndex::add(std::int32_t j, const double* lower, const double* upper, std::size_t step,
                      double node_limit) {
  const std::size_t word = static_cast<std::size_t>(j) / word_bits;
  const std::uint64_t bit = std::uint64_t{1} << (static_cast<std::size_t>(j) % word_bits);
  if (j < count_) {
    // A box that changed: its old cells go, so that a grown box (whose slack is smaller)
    // stops being measured where it can no longer pass.
    const std::uint8_t* span = spans_.data() + 2 * slots_.size() * static_cast<std::size_t>(j);
    for (std::size_t s = 0; s < slots_.size(); ++s)
      for (std::size_t c = span[2 * s]; c <= span[2 * s + 1]; ++c) row(s, c)[word] &= ~bit;
  }
  count_ = std::max(count_, j + 1);
  std::size_t first[max_gridded];
  std::size_t last[max_gridded];
  if (!cell_ranges(j, lower, upper, step, node_limit, first, last)) {
    note_span(j, nullptr, nullptr);
    return;
  }
  note_span(j, first, last);
  for (std::size_t s = 0; s < slots_.size(); ++s)
    for (std::size_t c = first[s]; c <= last[s]; ++c) row(s, c)[word] |= bit;
}

// The intersection, a chunk of words at a time: the fixed inner loop vectorizes, and the
// rows are padded to whole chunks with zeros. The words with a node to measure are kept.
std::size_t SearchIndex::intersect(std::size_t used_words) {
  const std::size_t G = slots_.size();
  std::size_t hit_count = 0;
  for (std::size_t w0 = 0; w0 < used_words; w0 += chunk_words) {
    std::uint64_t may_pass[chunk_words];
    for (std::size_t k = 0; k < chunk_words; ++k) may_pass[k] = rows_[0][w0 + k];
    for (std::size_t s = 1; s < G; ++s) {
      const std::uint64_t* r = rows_[s] + w0;
      for (std::size_t k = 0; k < chunk_words; ++k) may_pass[k] &= r[k];
    }
    std::uint64_t any = 0;
    for (std::size_t k = 0; k < chunk_words; ++k) any |= may_pass[k];
    if (any == 0) continue;
    for (std::size_t k = 0; k < chunk_words; ++k) {
      if (may_pass[k] == 0) continue;
      hits_[hit_count++] = Hit{w0 + k, may_pass[k]};
    }
  }
  return hit_count;
}

std::size_t SearchIndex::measure(const double* x, const double* bank_boxes, std::size_t block_count, MatchPath path,
                                 kernels::Corners corners, double D, std::uint32_t* passes, double* numerators,
                                 std::int32_t* passing_blocks, std::int32_t& passing_block_count) {
  passing_block_count = 0;
  const std::size_t M = feature_count_;
  const std::size_t G = slots_.size();
  for (std::size_t s = 0; s < G; ++s) rows_[s] = row(s, cell_of(slots_[s], x[slots_[s]]));
  const std::size_t block_values = 2 * lane_count * M;
  const std::size_t used_words = (static_cast<std::size_t>(count_) + word_bits - 1) / word_bits;
  constexpr std::size_t blocks_per_word = word_bits / lane_count;
  std::size_t measured = 0;
  // Neighbouring blocks that may hold a passing node are measured in one kernel call.
  std::size_t run_first = 0;
  std::size_t run_count = 0;
  const auto flush = [&]() {
    if (run_count == 0) return;
    const kernels::Batch batch{bank_boxes + run_first * block_values,
                               run_count,
                               M,
                               &x,
                               1,
                               D,
                               0.0,
                               0.0,
                               true,
                               limit_,
                               numerators + run_first * lane_count,
                               run_count * lane_count,
                               passes + run_first};
    kernels::measure(path, corners, batch);
    measured += run_count * lane_count;
    for (std::size_t b = run_first; b < run_first + run_count; ++b)
      if (passes[b] != 0) passing_blocks[passing_block_count++] = static_cast<std::int32_t>(b);
    run_count = 0;
  };
  const std::size_t hit_count = intersect(used_words);
  for (std::size_t h = 0; h < hit_count; ++h) {
    const std::size_t w = hits_[h].word;
    const std::uint64_t bits = hits_[h].bits;
    for (std::size_t q = 0; q < blocks_per_word; ++q) {
      auto lanes = static_cast<std::uint32_t>(bits >> (q * lane_count) & 0xffffu);
      if (lanes == 0) continue;
      const std::size_t block = w * blocks_per_word + q;
      if (block >= block_count) break;
      // A block with few nodes to measure has them measured one by one.
      std::uint32_t beyond = lanes;
      for (int n = 0; n < single_nodes && beyond != 0; ++n) beyond &= beyond - 1;
      if (beyond == 0) {
        flush();  // keeps the list in increasing order
        for (; lanes != 0; lanes &= lanes - 1) {
          const auto lane = static_cast<std::size_t>(lowest_set_bit(lanes));
          const std::size_t j = block * lane_count + lane;
          const double* box = boxes_.data() + 2 * M * j;
          if (kernels::measure_box(box, box + 1, 2, M, x, D, limit_, numerators[j])) passes[block] |= 1u << lane;
          ++measured;
        }
        if (passes[block] != 0) passing_blocks[passing_block_count++] = static_cast<std::int32_t>(block);
        continue;
      }
      if (run_count > 0 && run_first + run_count != block) flush();
      if (run_count == 0) run_first = block;
      ++run_count;
    }
  }
  flush();
  return measured;
}

}  // namespace vorla
