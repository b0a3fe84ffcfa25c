#include "size_order.h"

#include "node.h"

#include <cstring>

namespace vorla {
namespace {

// The rough pass's range: every value within it stays a normal float, far from overflow.
constexpr double largest_value = 0x1p32;
constexpr double least_denominator = 0x1p-32;

bool within_range(double v) { return std::fabs(v) <= largest_value; }

// v rounded to a float on the side given: at least v (up) or at most v.
float float_toward(double v, bool up) {
  const auto f = static_cast<float>(v);
  if (up && static_cast<double>(f) < v) return std::nextafter(f, std::numeric_limits<float>::infinity());
  if (!up && static_cast<double>(f) > v) return std::nextafter(f, -std::numeric_limits<float>::infinity());
  return f;
}

}  // namespace

SizeOrder::SizeOrder(const ModelValues& model, double top)
    : model_(model), feature_count_(static_cast<std::size_t>(model.feature_count)), top_(top) {
  for (Group& g : groups_) g.floor = std::numeric_limits<double>::infinity();
  x_.resize(feature_count_);
}

std::int32_t SizeOrder::group_of(double size) const {
  // Any order-keeping split will do: a group is passed over by its floor, not its range.
  // (A given box may be inverted, of negative size.)
  if (!(size < top_)) return groups - 1;
  if (!(size > 0)) return 0;
  const double share = size / top_ * (groups - 1);
  return std::min(static_cast<std::int32_t>(share), groups - 2);
}

void SizeOrder::grow(Group& g) {
  // Growth by half keeps the copying linear in the nodes put, with less room left over.
  const std::int32_t capacity = std::max((g.capacity + g.capacity / 2 + lanes - 1) / lanes * lanes, lanes);
  constexpr std::size_t line = 64 / sizeof(float);
  std::vector<float> raw(static_cast<std::size_t>(capacity / lanes) * block_values() + line);
  const auto address = reinterpret_cast<std::uintptr_t>(raw.data());
  float* blocks = raw.data() + (line - address / sizeof(float) % line) % line;
  if (g.capacity > 0)
    std::memcpy(blocks, g.blocks, static_cast<std::size_t>(g.capacity / lanes) * block_values() * sizeof(float));
  g.raw.swap(raw);
  g.blocks = blocks;
  g.ids.resize(static_cast<std::size_t>(capacity), -1);
  for (std::int32_t lane = g.capacity; lane < capacity; ++lane) clear(g, lane);
  g.capacity = capacity;
}

void SizeOrder::clear(Group& g, std::int32_t lane) {
  // A spare lane holds the empty box at the origin and a denominator of 1: ordinary numbers.
  float* at = lane_at(g, lane);
  for (std::size_t i = 0; i < 2 * feature_count_; ++i) at[lanes * i] = 0.0f;
  at[2 * lanes * feature_count_] = 1.0f;
  g.ids[static_cast<std::size_t>(lane)] = -1;
}

void SizeOrder::remove(std::int32_t j) {
  const Place at = places_[static_cast<std::size_t>(j)];
  Group& g = groups_[at.group];
  const std::int32_t last = g.count - 1;
  if (at.lane != last) {
    // The group's last node takes the place.
    const std::int32_t moved = g.ids[static_cast<std::size_t>(last)];
    const float* from = lane_at(g, last);
    float* to = lane_at(g, at.lane);
    for (std::size_t i = 0; i < 2 * feature_count_ + 1; ++i) to[lanes * i] = from[lanes * i];
    g.ids[static_cast<std::size_t>(at.lane)] = moved;
    places_[static_cast<std::size_t>(moved)].lane = at.lane;
  }
  clear(g, last);
  if (--g.count == 0) g.floor = std::numeric_limits<double>::infinity();
}

void SizeOrder::put(std::int32_t j, const Node& node) {
  const auto at = static_cast<std::size_t>(j);
  if (at >= places_.size()) places_.resize(at + 1);
  const double size = box_size(model_, node.lower.get(), node.upper.get());
  const std::int32_t k = group_of(size);
  Place& place = places_[at];
  if (place.group != k) {
    if (place.group >= 0) remove(j);
    Group& g = groups_[k];
    if (g.count == g.capacity) grow(g);
    place.group = k;
    place.lane = g.count++;
  }
  Group& g = groups_[k];
  // A NaN size gives a NaN floor, and its group is read always.
  g.floor = std::isnan(size) ? size : std::min(g.floor, size);
  float* lane = lane_at(g, place.lane);
  for (std::size_t i = 0; i < feature_count_; ++i) {
    const double lower = node.lower[i];
    const double upper = node.upper[i];
    bounded_ = bounded_ && within_range(lower) && within_range(upper);
    largest_ = std::max({largest_, std::fabs(lower), std::fabs(upper)});
    lane[2 * lanes * i] = static_cast<float>(lower);
    lane[2 * lanes * i + lanes] = static_cast<float>(upper);
  }
  const double d = node.choice_denominator;
  bounded_ = bounded_ && d >= least_denominator && d <= largest_value;
  lane[2 * lanes * feature_count_] = static_cast<float>(d);
  g.ids[static_cast<std::size_t>(place.lane)] = j;
}

void SizeOrder::leave_out(std::int32_t j) {
  const Place at = places_[static_cast<std::size_t>(j)];
  std::int32_t& id = groups_[at.group].ids[static_cast<std::size_t>(at.lane)];
  id = -2 - id;
}

std::int64_t SizeOrder::rough(MatchPath path, const double* x, double limit, const std::vector<std::int32_t>& out,
                              bool (*interrupted)()) {
  const double D = model_.D;
  double B = largest_;
  bool bounded = bounded_ && within_range(D);
  for (std::size_t i = 0; i < feature_count_; ++i) {
    bounded = bounded && within_range(x[i]);
    B = std::max(B, std::fabs(x[i]));
    x_[i] = static_cast<float>(x[i]);
  }
  if (!bounded || std::isnan(limit)) return kernels::choose_in_order;
  const auto M = static_cast<double>(feature_count_);
  const double E = ((6 * M + 4 * M * M) * 0x1p-24 * B + 3 * M * 0x1p-149) * 1.01;
  // Outward by more than the rounding of the sum and the difference.
  const double maybe = (limit + E) * (1 + 0x1p-50);
  const double sure = (limit - E) * (1 - 0x1p-50);
  kernels::RoughState state{{}, nullptr, nullptr, 0};
  std::fill_n(state.floor, lanes, -std::numeric_limits<float>::infinity());
  kernels::RoughPick k{nullptr,
                       nullptr,
                       0,
                       feature_count_,
                       x_.data(),
                       static_cast<float>(D),
                       float_toward(E, true),
                       float_toward(maybe, true),
                       sure < 0 ? -1.0f : float_toward(sure, false)};
  for (const std::int32_t j : out) leave_out(j);
  bool halted = false;
  std::int64_t visits = 0;
  for (const Group& g : groups_) {
    if (g.count == 0 || g.floor > limit) continue;
    const std::int32_t blocks = (g.count + lanes - 1) / lanes;
    visits += static_cast<std::int64_t>(blocks) * lanes * static_cast<std::int64_t>(feature_count_);
    if (interrupted && visits > interrupt_poll_visits()) {
      visits = 0;
      if (interrupted()) {
        halted = true;
        break;
      }
    }
    // The list takes at most every lane read; it keeps its room from search to search.
    const std::size_t room = state.count + static_cast<std::size_t>(blocks) * lanes;
    if (listed_.size() < room) {
      listed_.resize(std::max(room, 2 * listed_.size()));
      bounds_.resize(listed_.size());
    }
    state.listed = listed_.data();
    state.bounds = bounds_.data();
    k.blocks = g.blocks;
    k.ids = g.ids.data();
    k.block_count = static_cast<std::size_t>(blocks);
    kernels::rough_pick(path, k, state);
  }
  for (const std::int32_t j : out) leave_out(j);
  if (halted) return stopped;
  std::copy(state.floor, state.floor + lanes, state_floor_);
  return static_cast<std::int64_t>(state.count);
}

}  // namespace vorla
