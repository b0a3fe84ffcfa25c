// The kernels that measure patterns against blocks of node boxes, one file per instruction
// set (kernels_scalar.cpp, kernels_sse2.cpp, kernels_avx2.cpp, kernels_avx512.cpp), so that
// intrinsics never reach the portable code. Used by the node bank and the search index.
#ifndef VORLA_KERNELS_H
#define VORLA_KERNELS_H

#include "bank.h"

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#define VORLA_X86_KERNELS 1
#else
#define VORLA_X86_KERNELS 0
#endif

namespace vorla {
namespace kernels {

constexpr std::size_t lane_count = static_cast<std::size_t>(NodeBank::lanes);

// One measure call as the kernels see it; they take it by value, so that their stores of
// results cannot be taken to change it.
struct Batch {
  const double* boxes;  // block_count blocks of 2 x lanes x feature_count values
  std::size_t block_count;
  std::size_t feature_count;
  const double* const* patterns;
  std::size_t pattern_count;
  double D;
  double rho;
  double tolerance;
  // limited: the vigilance test is size <= size_limit, only the lanes of a vector with a
  // passing lane get their numerators, and a block whose partial sizes all exceed the limit
  // stops reading its boxes. Otherwise every lane gets its numerator and the test is made
  // on mfv.
  bool limited;
  double size_limit;
  double* numerators;  // pattern g's start at g x stride
  std::size_t stride;
  std::uint32_t* passes;  // pattern g's words start at g x stride / lanes

  const double* block(std::size_t b) const { return boxes + b * 2 * lane_count * feature_count; }
  std::size_t result(std::size_t g, std::size_t b) const { return g * stride + b * lane_count; }
  std::uint32_t& passes_of(std::size_t g, std::size_t b) const { return passes[g * (stride / lane_count) + b]; }
};

// What the measured corners hold, so that the vector kernels may take cheaper forms:
// lower_nan, some lower corner is NaN; ordered, every corner is +0 or more and not NaN.
struct Corners {
  bool lower_nan;
  bool ordered;
};

// Measures with the kernel of the path (per_node and automatic are taken as scalar).
void measure(MatchPath path, Corners corners, const Batch& batch);

// quotients[i] = numerators[i] / denominators[i] for i < n, or numerators[i] / divisor
// where denominators is null, n a multiple of lane_count: the divisions of the searches,
// several per instruction. A vector division is correctly rounded lane by lane, as the
// scalar one is, so every quotient is the bits that the search's own division gives.
void divide(MatchPath path, const double* numerators, const double* denominators, double divisor, double* quotients,
            std::size_t n);

// The choice of a search among every node's quotients (block_count x lane_count of each):
// the candidates are the nodes whose passes bit is set, that pass the CT where ct is on
// (cfv + tolerance >= Tu) and, where tracking, whose mfv passes against rho (mfv > rho when
// strict, else mfv >= rho). choose gives the lowest candidate with the greatest cfv, as the
// scan's loop takes it, no_candidate where there is none, or choose_in_order where the
// path has no vector form or a candidate's cfv is NaN (the loop's first-comer rule then
// decides, which the vector form does not follow).
struct Choice {
  const double* cfvs;
  const double* mfvs;
  const std::uint32_t* passes;
  std::size_t block_count;
  bool ct;
  double tolerance;
  double Tu;
  bool tracking;
  double rho;
  bool strict;
};
constexpr std::int64_t no_candidate = -1;
constexpr std::int64_t choose_in_order = -2;
std::int64_t choose(MatchPath path, const Choice& choice);

// Match tracking's search among nodes kept by their own size (SizeOrder), a first rough pass
// in single precision: block_count blocks of rough_lanes nodes, each with per coordinate the
// lanes' lower corners, then their upper ones, and last their choice denominators, rounded
// to float; ids holds the lanes' nodes (negative: a spare lane, or a node out of the
// running). For each node the kernel takes its size S for x in float. With E a bound on
// how far S lies from the size the exact search computes, a node of S > maybe_limit fails
// the test on mfv and one of S <= sure_limit passes it. Its cfv is estimated as
// a = (D - S) / d, within delta = 2 ((E + 4u (|D| + S)) / d + 4u |a|) + 2^-100 of the
// exact one (u = 2^-24; size_order.h has the argument). floor keeps per lane the greatest
// a - delta of a node that passes for sure, which bounds the winner's cfv from below; a node
// that may pass and whose a + delta reaches its lane's floor is listed, its id in listed and
// a + delta in bounds, for the exact search.
constexpr std::int32_t rough_lanes = 16;
struct RoughPick {
  const float* blocks;
  const std::int32_t* ids;
  std::size_t block_count;
  std::size_t feature_count;
  const float* x;
  float D;
  float E;
  float maybe_limit;
  float sure_limit;
};
struct RoughState {
  float floor[rough_lanes];
  std::int32_t* listed;
  float* bounds;
  std::size_t count;
};
// Whether the path has a form of rough_pick.
bool has_rough_pick(MatchPath path);
void rough_pick(MatchPath path, const RoughPick& k, RoughState& state);

// One box as the kernels measure it with a size limit: whether size <= limit, with the
// match numerator D - size. Corner i is at lower[i x step] and upper[i x step].
inline bool measure_box(const double* lower, const double* upper, std::size_t step, std::size_t feature_count,
                        const double* x, double D, double limit, double& numerator) {
  double size = 0.0;
  for (std::size_t i = 0; i < feature_count; ++i) {
    const double high = x[i] < upper[i * step] ? upper[i * step] : x[i];
    const double low = x[i] <= lower[i * step] ? x[i] : lower[i * step];
    size = size + (high - low);
  }
  numerator = D - size;
  return size <= limit;
}

// Every kernel follows Node::compute_match lane by lane: the size starts at 0.0 and takes
// the coordinates in index order, and high and low are chosen by the same comparisons, so
// each node's size and match numerator come out bit for bit as the node computes them.
// Only different nodes share a step; a node's own coordinates are never regrouped. Within
// a block, the patterns of the batch take turns, so the block is read from memory once.
// The kernels divide only where the test needs mfv (when not limited): the searches divide
// the numerators of the few nodes that pass.
void measure_scalar(Batch k);
#if VORLA_X86_KERNELS
// In the vector kernels high is max(upper, x): maxpd(a, b) gives a when a > b and b
// otherwise (b also when either is NaN, and b for two zeros), which is the choice of
// x < upper ? upper : x in every case. low keeps the predicate of x <= lower ? x : lower
// (ordered: false with a NaN operand, as the scalar <= is) and selects bits by it.
//
// The AVX2 and AVX-512 kernels take low as minpd(lower, x) instead (one operation for
// two) while no lower corner holds NaN, as the input checks ensure: that is lower when
// lower < x and x otherwise, the same choice for numbers and signed zeros. For a NaN x it
// is x where the predicate gives lower, but then high is that same NaN, and high - low is
// it in both forms (a subtraction returns the NaN of its first operand).
void measure_sse2(const Batch& k);
void measure_avx2(const Batch& k, bool lower_nan);
void measure_avx512(const Batch& k, Corners corners);
void divide_sse2(const double* numerators, const double* denominators, double divisor, double* quotients,
                 std::size_t n);
void divide_avx2(const double* numerators, const double* denominators, double divisor, double* quotients,
                 std::size_t n);
void divide_avx512(const double* numerators, const double* denominators, double divisor, double* quotients,
                   std::size_t n);
std::int64_t choose_avx512(const Choice& choice);
void rough_pick_avx512(const RoughPick& k, RoughState& state);
#endif

}  // namespace kernels
}  // namespace vorla

#endif
