#include "bank.h"

#include "index.h"
#include "kernels.h"
#include "node.h"
#include "reach.h"
#include "tuning.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace vorla {
namespace {

// Test and benchmark hooks, set between calls; atomic, so that a bank being built or
// measured on another thread meanwhile reads a whole value (a plain load on x86-64).
std::atomic<MatchPath> requested_path{MatchPath::automatic};
std::atomic<std::int64_t> poll_visits{poll_visits_default};
std::atomic<IndexUse> requested_index{IndexUse::automatic};

using kernels::lane_count;

bool cpu_has(MatchPath path) {
#if VORLA_X86_KERNELS
  __builtin_cpu_init();
  switch (path) {
    case MatchPath::avx512: return __builtin_cpu_supports("avx512f") != 0;
    case MatchPath::avx2: return __builtin_cpu_supports("avx2") != 0;
    case MatchPath::sse2: return true;
    default: return false;
  }
#else
  return path == MatchPath::scalar;
#endif
}

// The vigilance test as a node makes it: mfv = (D - size) / D, then mfv + tolerance >= rho.
bool passes_vigilance(double size, double D, double rho, double tolerance) {
  const double match_numerator = D - size;
  const double mfv = match_numerator / D;
  return mfv + tolerance >= rho;
}

// +0, a positive number or +Inf: a value whose bits, read as a signed 64-bit integer, order
// it among all such values as the value itself (and below every NaN with a clear sign bit).
bool ordered_as_integers(double value) { return !std::signbit(value) && !std::isnan(value); }

// For a finite D > 0 each step of the vigilance test (D - size, / D, + tolerance, >= rho) is
// monotone, rounding included, so the test passes for every size up to a limit and for none
// above it. Sizes are never negative, since every term high - low is at least zero, so the
// test is size <= limit on them all, and like the test itself that comparison is false for a
// NaN size. The limit is the largest non-negative double that passes, found by bisection
// over the bit patterns of the non-negative doubles (ordered as their values); -1 when none
// passes. Match tracking asks for a new rho at every engagement, so the bisection first
// tries a few steps of rounding either side of D - (rho - tolerance) x D, where the edge
// lies, and keeps that window only where both its ends bear it out.
double size_limit(double D, double rho, double tolerance) {
  return passing_size_limit(D, D - (rho - tolerance) * D,
                            [&](double size) { return !passes_vigilance(size, D, rho, tolerance); });
}

}  // namespace

void set_match_path(MatchPath path) { requested_path.store(path, std::memory_order_relaxed); }

void set_interrupt_poll_visits(std::int64_t visits) {
  poll_visits.store(std::max<std::int64_t>(visits, 1), std::memory_order_relaxed);
}
std::int64_t interrupt_poll_visits() { return poll_visits.load(std::memory_order_relaxed); }

void set_index_use(IndexUse use) { requested_index.store(use, std::memory_order_relaxed); }

IndexUse requested_index_use() { return requested_index.load(std::memory_order_relaxed); }

MatchPath requested_match_path() { return requested_path.load(std::memory_order_relaxed); }

bool match_path_available(MatchPath path) {
  switch (path) {
    case MatchPath::sse2: return VORLA_X86_KERNELS != 0;
    case MatchPath::avx512:
    case MatchPath::avx2: return cpu_has(path);
    default: return true;
  }
}

MatchPath resolve_match_path(MatchPath path) {
  if (path != MatchPath::automatic && match_path_available(path)) return path;
  if (cpu_has(MatchPath::avx512)) return MatchPath::avx512;
  if (cpu_has(MatchPath::avx2)) return MatchPath::avx2;
  return VORLA_X86_KERNELS ? MatchPath::sse2 : MatchPath::scalar;
}

void LineArray::reset(std::size_t n) {
  // The old values go first, so that a growing bank never holds both.
  raw_.reset();
  data_ = nullptr;
  size_ = 0;
  constexpr std::size_t line = 64 / sizeof(double);
  raw_.reset(new double[n + line - 1]);
  const auto address = reinterpret_cast<std::uintptr_t>(raw_.get());
  data_ = raw_.get() + (line - (address / sizeof(double)) % line) % line;
  size_ = n;
}

void LineArray::resize(std::size_t n, double fill) {
  LineArray grown;
  grown.reset(n);
  const std::size_t kept = std::min(n, size_);
  if (kept > 0) std::memcpy(grown.data_, data_, kept * sizeof(double));
  std::fill(grown.data_ + kept, grown.data_ + n, fill);
  *this = std::move(grown);
}

NodeBank::NodeBank(const ModelValues& model, std::int32_t group, MatchPath path, IndexUse index_use)
    : model_(model),
      path_(resolve_match_path(path)),
      group_(std::max<std::int32_t>(group, 1)),
      feature_count_(static_cast<std::size_t>(model.feature_count)),
      index_use_(index_use) {
  passing_counts_.assign(static_cast<std::size_t>(group_), 0);
}

NodeBank::~NodeBank() = default;

void NodeBank::reserve(std::int32_t node_count) {
  if (node_count > capacity_) grow(node_count);
}

void NodeBank::grow(std::int32_t node_count) {
  // Doubling keeps the copying of a growing training run linear in its node count.
  const std::int64_t wanted = std::max<std::int64_t>({node_count, 2 * capacity_, NodeBank::lanes});
  const std::int64_t capacity = (wanted + NodeBank::lanes - 1) / NodeBank::lanes * NodeBank::lanes;
  const auto slots = static_cast<std::size_t>(capacity);
  nodes_.reserve(slots);
  eligible_.resize(slots, 0);
  eligible_blocks_.reserve(slots / lane_count);
  passes_.resize(slots / lane_count * static_cast<std::size_t>(group_), 0);
  passing_.resize(slots / lane_count * static_cast<std::size_t>(group_), 0);
  // The words move with the capacity: none is kept, and no list names a block; the flags of
  // the last search are then cleared whole.
  std::fill(passes_.begin(), passes_.end(), 0u);
  std::fill(passing_counts_.begin(), passing_counts_.end(), 0);
  passing_listed_ = false;
  // No results are kept across growth. divide_all divides every lane, also those that no
  // measure call wrote, so they hold numbers from the start.
  numerators_.reset(slots * static_cast<std::size_t>(group_));
  std::fill_n(numerators_.data(), slots * static_cast<std::size_t>(group_), 0.0);
  // Unused lanes hold the empty box at the origin and a denominator of 1, so that the
  // kernels' spare results are ordinary numbers.
  choice_denominators_.resize(slots, 1.0);
  if (path_ != MatchPath::per_node) boxes_.resize(slots / lane_count * block_values(), 0.0);
  capacity_ = capacity;
}

void NodeBank::measure_node(std::int32_t j, const double* x) {
  const Node& node = *nodes_[static_cast<std::size_t>(j)];
  kernels::measure_box(node.lower.get(), node.upper.get(), 1, feature_count_, x, model_.D,
                       std::numeric_limits<double>::infinity(), numerators_.data()[result_index(j, 0)]);
}

void NodeBank::divide_all(double* cfvs, double* mfvs) const {
  const auto n = static_cast<std::size_t>(block_count()) * lane_count;
  kernels::divide(path_, numerators_.data(), choice_denominators_.data(), 0.0, cfvs, n);
  kernels::divide(path_, numerators_.data(), nullptr, model_.D, mfvs, n);
}

void NodeBank::enter_reach(std::int32_t j, const double* reach_limits) {
  const Node& node = *nodes_[static_cast<std::size_t>(j)];
  for (std::int32_t slot = 0; slot < reach_slots; ++slot) {
    std::unique_ptr<SearchIndex>& index = reach_index_[slot];
    if (!index) continue;
    if (j >= index->capacity()) {
      index.reset();  // built again, larger, by the next measure_within
      continue;
    }
    index->add(j, node.lower.get(), node.upper.get(), 1,
               reach_limits ? reach_limits[slot] : std::numeric_limits<double>::quiet_NaN());
  }
}

void NodeBank::append(Node& node, const double* reach_limits) {
  if (count_ == capacity_) grow(count_ + 1);
  nodes_.push_back(&node);
  ++count_;
  copy_box(count_ - 1);
  if (index_) {
    if (count_ > index_->capacity())
      index_.reset();  // built again, larger, when next taken
    else
      index_->add(count_ - 1, node.lower.get(), node.upper.get(), 1);
  }
  enter_reach(count_ - 1, reach_limits);
}

void NodeBank::refresh(std::int32_t j, const double* reach_limits) {
  copy_box(j);
  const Node& node = *nodes_[static_cast<std::size_t>(j)];
  if (index_) index_->add(j, node.lower.get(), node.upper.get(), 1);
  enter_reach(j, reach_limits);
}

void NodeBank::copy_box(std::int32_t j) {
  const Node& node = *nodes_[static_cast<std::size_t>(j)];
  const auto at = static_cast<std::size_t>(j);
  choice_denominators_.data()[at] = node.choice_denominator;
  if (path_ == MatchPath::per_node) return;  // the nodes are measured where they are
  double* lower = boxes_.data() + at / lane_count * block_values() + at % lane_count;
  double* upper = lower + lane_count;
  for (std::size_t i = 0; i < feature_count_; ++i) {
    lower[2 * lane_count * i] = node.lower[i];
    upper[2 * lane_count * i] = node.upper[i];
    // Kept once set: the kernels then choose low by the comparison itself.
    if (std::isnan(node.lower[i])) lower_nan_ = true;
    if (!ordered_as_integers(node.lower[i]) || !ordered_as_integers(node.upper[i])) corners_ordered_ = false;
  }
}

double NodeBank::limit_for(double D, double rho, double tolerance) {
  // A run keeps its vigilance and tolerance, so the bisection runs about once per call.
  const double key[3] = {D, rho, tolerance};
  if (!limit_known_ || std::memcmp(key, limit_key_, sizeof key) != 0) {
    std::memcpy(limit_key_, key, sizeof key);
    limit_ = size_limit(D, rho, tolerance);
    limit_known_ = true;
  }
  return limit_;
}

double NodeBank::vigilance_limit(double rho, double tolerance) { return limit_for(model_.D, rho, tolerance); }

double NodeBank::index_share(double limit, const double* node_limits) const {
  if (path_ == MatchPath::per_node || count_ == 0 || feature_count_ == 0 ||
      !(limit < std::numeric_limits<double>::infinity()))
    return 1.0;
  return SearchIndex::estimated_share(boxes_.data(), count_, feature_count_, limit, node_limits);
}

// Inline: every measure call of a training search takes it.
inline void NodeBank::drop_spare_lanes(std::int32_t pattern_count, bool listed) {
  if (count_ % lanes == 0) return;
  for (std::int32_t g = 0; g < pattern_count; ++g)
    passes_[static_cast<std::size_t>(g) * block_capacity() + static_cast<std::size_t>(count_ / lanes)] &=
        (1u << (count_ % lanes)) - 1;
  if (listed) {
    // The index's kernels measured the spare lanes too: a last block left without a passing
    // node leaves the list.
    const std::int32_t last = count_ / lanes;
    for (std::int32_t g = 0; g < pattern_count; ++g) {
      std::int32_t& n = passing_counts_[static_cast<std::size_t>(g)];
      if (n > 0 && passing_blocks(g)[n - 1] == last && passes(last, g) == 0) --n;
    }
  }
}

NodeBank::Reach NodeBank::measure_within(const double* const* patterns, std::int32_t pattern_count, double limit,
                                         const double* node_limits, double key, bool (*interrupted)(),
                                         std::int32_t slot) {
  pattern_count = std::min(pattern_count, group_);
  const bool was_listed = passing_listed_;
  passing_listed_ = false;
  note_flag_blocks(was_listed);
  if (path_ == MatchPath::per_node || count_ == 0 || feature_count_ == 0) {
    eligible_everywhere_ = true;
    return Reach::no_index;
  }
  std::unique_ptr<SearchIndex>& reach_index = reach_index_[slot];
  if (!reach_index || reach_index->limit() != limit || !(reach_key_[slot] == key)) {
    reach_index.reset();
    reach_key_[slot] = key;
    try {
      // Room to grow: a training run's new nodes join the index as they come.
      const std::int32_t room =
          count_ <= std::numeric_limits<std::int32_t>::max() / 2 ? count_ + count_ / 4 + lanes : count_;
      reach_index = std::make_unique<SearchIndex>(boxes_.data(), count_, room, feature_count_, limit, node_limits);
    } catch (const std::bad_alloc&) {
      return Reach::no_index;
    }
  }
  if (!measure_indexed(*reach_index, patterns, pattern_count, limit, was_listed, interrupted, nullptr))
    return Reach::interrupted;
  drop_spare_lanes(pattern_count, true);
  passing_listed_ = true;
  return Reach::measured;
}

bool NodeBank::measure(const double* const* patterns, std::int32_t pattern_count, double rho, double tolerance,
                       Results results, bool (*interrupted)(), bool indexed) {
  pattern_count = std::min(pattern_count, group_);
  // Listed blocks describe the passes words only once this call has finished.
  const bool was_listed = passing_listed_;
  passing_listed_ = false;
  note_flag_blocks(was_listed);
  // A bank too large to measure between two polls is measured a stretch of blocks at a time.
  const std::int64_t block_visits = std::max<std::int64_t>(
      std::int64_t{lanes} * static_cast<std::int64_t>(feature_count_) * pattern_count, 1);
  const std::int64_t stretch = interrupted ? std::max<std::int64_t>(interrupt_poll_visits() / block_visits / 2 * 2, 2)
                                           : std::int64_t{block_count()};
  if (path_ == MatchPath::per_node) {
    const std::int64_t poll_nodes = stretch * lanes;
    for (std::int32_t g = 0; g < pattern_count; ++g) {
      std::uint32_t* passes = passes_.data() + static_cast<std::size_t>(g) * block_capacity();
      std::fill(passes, passes + block_count(), 0u);
      for (std::int32_t j = 0; j < count_; ++j) {
        if (interrupted && (j != 0 || g != 0) && j % poll_nodes == 0 && interrupted()) return false;
        Node& n = *nodes_[static_cast<std::size_t>(j)];
        n.compute_match(model_, patterns[g]);
        numerators_.data()[result_index(j, g)] = n.match_numerator;
        if (n.mfv + tolerance >= rho) passes[j / lanes] |= 1u << (j % lanes);
      }
    }
    list_passing(pattern_count);
    return true;
  }
  const double D = model_.D;
  // The size limit needs the test to be monotone in the size, which holds for a finite D > 0.
  const bool limited = results != Results::every_mfv && D > 0 && D <= std::numeric_limits<double>::max();
  const double limit = limited ? limit_for(D, rho, tolerance) : 0.0;
  // The index's bounds only ever rule nodes out against a finite limit.
  bool listed = false;
  if (indexed && limited && limit < std::numeric_limits<double>::infinity() &&
      (count_ >= index_min_nodes || index_use_ == IndexUse::always) && take_index(limit)) {
    if (!measure_indexed(*index_, patterns, pattern_count, limit, was_listed, interrupted, &index_nodes_)) return false;
    listed = true;
  } else {
    const kernels::Batch whole{boxes_.data(),
                               static_cast<std::size_t>(block_count()),
                               feature_count_,
                               patterns,
                               static_cast<std::size_t>(pattern_count),
                               D,
                               rho,
                               tolerance,
                               limited,
                               limit,
                               numerators_.data(),
                               static_cast<std::size_t>(capacity_),
                               passes_.data()};
    // Blocks are measured independently of each other, so a stretch is the whole call cut
    // down to its blocks; stretches of an even length keep the kernels' block pairs.
    for (std::int64_t first = 0; first < block_count(); first += stretch) {
      if (first != 0 && interrupted()) return false;
      kernels::Batch batch = whole;
      const auto b = static_cast<std::size_t>(first);
      batch.boxes = whole.block(b);
      batch.block_count = static_cast<std::size_t>(std::min<std::int64_t>(stretch, block_count() - first));
      batch.numerators = whole.numerators + b * lane_count;
      batch.passes = &whole.passes_of(0, b);
      kernels::measure(path_, {lower_nan_, corners_ordered_}, batch);
    }
    nodes_measured_ = static_cast<std::size_t>(count_);
    if (indexed) {
      scanned_blocks_ += static_cast<std::int64_t>(block_count()) * pattern_count;
      scanned_since_try_ += pattern_count;
    }
  }
  drop_spare_lanes(pattern_count, listed);
  if (!listed) list_passing(pattern_count);
  passing_listed_ = true;
  return true;
}

void NodeBank::note_flag_blocks(bool was_listed) {
  if (eligible_in_use_ && !eligible_everywhere_) {
    // A small bank clears all its flags as fast as it could note the blocks.
    if (block_count() <= 8 || !was_listed || eligible_blocks_.size() + static_cast<std::size_t>(passing_counts_[0]) >
                                eligible_blocks_.capacity()) {
      eligible_everywhere_ = true;
    } else {
      eligible_blocks_.insert(eligible_blocks_.end(), passing_.begin(), passing_.begin() + passing_counts_[0]);
    }
  }
}

void NodeBank::list_passing(std::int32_t pattern_count) {
  for (std::int32_t g = 0; g < pattern_count; ++g) {
    const std::uint32_t* passes = passes_.data() + static_cast<std::size_t>(g) * block_capacity();
    std::int32_t* listed = passing_.data() + static_cast<std::size_t>(g) * block_capacity();
    std::int32_t n = 0;
    const std::int32_t blocks = block_count();
    for (std::int32_t b = 0; b < blocks; ++b) {
      listed[n] = b;
      n += passes[b] != 0 ? 1 : 0;
    }
    passing_counts_[static_cast<std::size_t>(g)] = n;
  }
  passing_listed_ = true;
}

bool NodeBank::take_index(double limit) {
  if (index_use_ == IndexUse::never || index_failed_ || path_ == MatchPath::per_node || count_ == 0 ||
      feature_count_ == 0)
    return false;
  if (index_use_ == IndexUse::automatic) {
    if (count_ < index_min_nodes) return false;
    if (!index_) {
      // Judged from a sample of the nodes, again each time the scans have done as much work.
      if (scanned_blocks_ < std::max(next_judgement_, build_payback * block_count())) return false;
      next_judgement_ = scanned_blocks_ + build_payback * block_count();
      if (SearchIndex::estimated_share(boxes_.data(), count_, feature_count_, limit) * index_node_cost >= 1.0)
        return false;
    }
    if (index_ && index_nodes_ * index_node_cost >= count_ && scanned_since_try_ < try_period) return false;
  }
  if (!index_ || index_->limit() != limit) {
    index_.reset();
    try {
      // Room to grow: a training run's new nodes join the index as they come.
      const std::int32_t room =
          count_ <= std::numeric_limits<std::int32_t>::max() / 2 ? count_ + count_ / 4 + lanes : count_;
      index_ = std::make_unique<SearchIndex>(boxes_.data(), count_, room, feature_count_, limit);
    } catch (const std::bad_alloc&) {
      // The index only saves time: without memory for it, the bank scans.
      index_failed_ = true;
      return false;
    }
  }
  scanned_since_try_ = 0;
  return true;
}

bool NodeBank::measure_indexed(SearchIndex& index, const double* const* patterns, std::int32_t pattern_count,
                               double limit, bool listed_before, bool (*interrupted)(), double* running_nodes) {
  const auto blocks = static_cast<std::size_t>(block_count());
  const kernels::Corners corners{lower_nan_, corners_ordered_};
  nodes_measured_ = 0;
  for (std::int32_t g = 0; g < pattern_count; ++g) {
    if (interrupted && g != 0 && interrupted()) return false;
    std::uint32_t* passes = passes_.data() + static_cast<std::size_t>(g) * block_capacity();
    double* numerators = numerators_.data() + result_index(0, g);
    std::int32_t* listed = passing_.data() + static_cast<std::size_t>(g) * block_capacity();
    std::int32_t& listed_count = passing_counts_[static_cast<std::size_t>(g)];
    const double* x = patterns[g];
    // Only the listed words can be non-zero; the spare lanes of the last block stay 0.
    if (listed_before) {
      for (std::int32_t k = 0; k < listed_count; ++k) passes[listed[k]] = 0;
    } else {
      std::fill(passes, passes + blocks, 0u);
    }
    bool finite = true;
    for (std::size_t i = 0; i < feature_count_; ++i) finite = finite && std::isfinite(x[i]);
    std::size_t measured = static_cast<std::size_t>(count_);
    if (finite) {
      measured =
          index.measure(x, boxes_.data(), blocks, path_, corners, model_.D, passes, numerators, listed, listed_count);
    } else {
      // The index takes patterns with finite coordinates; this one is scanned.
      const kernels::Batch scan{boxes_.data(), blocks, feature_count_, patterns + g, 1, model_.D, 0.0, 0.0, true,
                                limit, numerators, static_cast<std::size_t>(capacity_), passes};
      kernels::measure(path_, corners, scan);
      if (count_ % lanes != 0) passes[blocks - 1] &= (1u << (count_ % lanes)) - 1;
      listed_count = 0;
      for (std::size_t b = 0; b < blocks; ++b)
        if (passes[b] != 0) listed[listed_count++] = static_cast<std::int32_t>(b);
    }
    nodes_measured_ += measured;
    if (running_nodes) *running_nodes += (static_cast<double>(measured) - *running_nodes) / 8;
  }
  return true;
}

}  // namespace vorla
