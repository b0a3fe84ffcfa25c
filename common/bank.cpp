#include "bank.h"

#include "node.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__x86_64__) && defined(__GNUC__)
#define VORLA_X86_KERNELS 1
#include <immintrin.h>
#else
#define VORLA_X86_KERNELS 0
#endif

namespace vorla {
namespace {

MatchPath requested_path = MatchPath::automatic;
// Coordinate visits (node x coordinate x pattern) between two interrupt polls of one
// measure call: a few milliseconds of kernel time, against a poll of a few nanoseconds.
std::int64_t poll_visits = std::int64_t{1} << 22;

constexpr std::size_t lane_count = static_cast<std::size_t>(NodeBank::lanes);

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

double from_bits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// For a finite D > 0 each step of the vigilance test (D - size, / D, + tolerance, >= rho) is
// monotone, rounding included, so the test passes for every size up to a limit and for none
// above it. Sizes are never negative, since every term high - low is at least zero, so the
// test is size <= limit on them all, and like the test itself that comparison is false for a
// NaN size. The limit is the largest non-negative double that passes, found by bisection
// over the bit patterns of the non-negative doubles (ordered as their values); -1 when none
// passes.
double size_limit(double D, double rho, double tolerance) {
  const auto passes = [&](double size) { return passes_vigilance(size, D, rho, tolerance); };
  constexpr double inf = std::numeric_limits<double>::infinity();
  if (!passes(0.0)) return -1.0;
  if (passes(inf)) return inf;
  std::uint64_t pass = 0;  // the bits of +0.0
  std::uint64_t fail;
  std::memcpy(&fail, &inf, sizeof fail);
  while (fail - pass > 1) {
    const std::uint64_t middle = pass + (fail - pass) / 2;
    (passes(from_bits(middle)) ? pass : fail) = middle;
  }
  return from_bits(pass);
}

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

// Every kernel follows Node::compute_match lane by lane: the size starts at 0.0 and takes
// the coordinates in index order, and high and low are chosen by the same comparisons, so
// each node's size and match numerator come out bit for bit as the node computes them.
// Only different nodes share a step; a node's own coordinates are never regrouped. Within
// a block, the patterns of the batch take turns, so the block is read from memory once.
// The kernels divide only where the test needs mfv (when not limited): the searches divide
// the numerators of the few nodes that pass.
void measure_scalar(const Batch k) {
  for (std::size_t b = 0; b < k.block_count; ++b) {
    const double* block = k.block(b);
    for (std::size_t g = 0; g < k.pattern_count; ++g) {
      const double* x = k.patterns[g];
      double size[lane_count] = {};
      for (std::size_t i = 0; i < k.feature_count; ++i) {
        const double* lower = block + 2 * lane_count * i;
        const double* upper = lower + lane_count;
        const double xi = x[i];
        for (std::size_t l = 0; l < lane_count; ++l) {
          const double high = xi < upper[l] ? upper[l] : xi;
          const double low = xi <= lower[l] ? xi : lower[l];
          size[l] = size[l] + (high - low);
        }
      }
      const std::size_t at = k.result(g, b);
      std::uint32_t passes = 0;
      for (std::size_t l = 0; l < lane_count; ++l) {
        const double match_numerator = k.D - size[l];
        const bool pass = k.limited ? size[l] <= k.size_limit : match_numerator / k.D + k.tolerance >= k.rho;
        if (pass || !k.limited) k.numerators[at + l] = match_numerator;
        if (pass) passes |= 1u << l;
      }
      k.passes_of(g, b) = passes;
    }
  }
}

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

inline __m128d widen_sse2(__m128d size, __m128d x, const double* lower, const double* upper) {
  const __m128d lo = _mm_load_pd(lower);
  const __m128d high = _mm_max_pd(_mm_load_pd(upper), x);
  const __m128d take_x = _mm_cmple_pd(x, lo);
  const __m128d low = _mm_or_pd(_mm_and_pd(take_x, x), _mm_andnot_pd(take_x, lo));
  return _mm_add_pd(size, _mm_sub_pd(high, low));
}

// The vigilance test of two lanes as bits; stores their numerators where the batch wants them.
inline std::uint32_t finish_sse2(const Batch& k, double* numerators, __m128d size) {
  const __m128d match_numerator = _mm_sub_pd(_mm_set1_pd(k.D), size);
  const __m128d pass = k.limited ? _mm_cmple_pd(size, _mm_set1_pd(k.size_limit))
                                 : _mm_cmpge_pd(_mm_add_pd(_mm_div_pd(match_numerator, _mm_set1_pd(k.D)),
                                                           _mm_set1_pd(k.tolerance)),
                                                _mm_set1_pd(k.rho));
  const auto bits = static_cast<std::uint32_t>(_mm_movemask_pd(pass));
  if (bits != 0 || !k.limited) _mm_store_pd(numerators, match_numerator);
  return bits;
}

void measure_sse2(const Batch k) {
  constexpr std::size_t width = 2;
  for (std::size_t b = 0; b < k.block_count; ++b) {
    const double* block = k.block(b);
    for (std::size_t g = 0; g < k.pattern_count; ++g) {
      const double* x = k.patterns[g];
      __m128d size[lane_count / width];
      for (__m128d& s : size) s = _mm_setzero_pd();
      for (std::size_t i = 0; i < k.feature_count; ++i) {
        const double* lower = block + 2 * lane_count * i;
        const double* upper = lower + lane_count;
        const __m128d xi = _mm_set1_pd(x[i]);
        for (std::size_t q = 0; q < lane_count / width; ++q)
          size[q] = widen_sse2(size[q], xi, lower + width * q, upper + width * q);
      }
      const std::size_t at = k.result(g, b);
      std::uint32_t passes = 0;
      for (std::size_t q = 0; q < lane_count / width; ++q)
        passes |= finish_sse2(k, k.numerators + at + width * q, size[q]) << (width * q);
      k.passes_of(g, b) = passes;
    }
  }
}

template <bool lower_nan>
__attribute__((target("avx2"))) inline __m256d widen_avx2(__m256d size, __m256d x, const double* lower,
                                                          const double* upper) {
  const __m256d lo = _mm256_load_pd(lower);
  const __m256d high = _mm256_max_pd(_mm256_load_pd(upper), x);
  const __m256d low =
      lower_nan ? _mm256_blendv_pd(lo, x, _mm256_cmp_pd(x, lo, _CMP_LE_OQ)) : _mm256_min_pd(lo, x);
  return _mm256_add_pd(size, _mm256_sub_pd(high, low));
}

// Whether no lane of the four partial sizes is within the limit. The terms still to come are
// never negative, so a size can only grow: such a block fails whatever its remaining
// coordinates hold.
__attribute__((target("avx2"))) inline bool none_within_avx2(__m256d limit, __m256d s0, __m256d s1, __m256d s2,
                                                             __m256d s3) {
  const __m256d within =
      _mm256_or_pd(_mm256_or_pd(_mm256_cmp_pd(s0, limit, _CMP_LE_OQ), _mm256_cmp_pd(s1, limit, _CMP_LE_OQ)),
                   _mm256_or_pd(_mm256_cmp_pd(s2, limit, _CMP_LE_OQ), _mm256_cmp_pd(s3, limit, _CMP_LE_OQ)));
  return _mm256_testz_pd(within, within) != 0;
}

// The AVX2 form of finish_sse2, for four lanes.
__attribute__((target("avx2"))) inline std::uint32_t finish_avx2(const Batch& k, double* numerators, __m256d size) {
  const __m256d match_numerator = _mm256_sub_pd(_mm256_set1_pd(k.D), size);
  const __m256d pass =
      k.limited ? _mm256_cmp_pd(size, _mm256_set1_pd(k.size_limit), _CMP_LE_OQ)
                : _mm256_cmp_pd(_mm256_add_pd(_mm256_div_pd(match_numerator, _mm256_set1_pd(k.D)),
                                              _mm256_set1_pd(k.tolerance)),
                                _mm256_set1_pd(k.rho), _CMP_GE_OQ);
  const auto bits = static_cast<std::uint32_t>(_mm256_movemask_pd(pass));
  if (bits != 0 || !k.limited) _mm256_store_pd(numerators, match_numerator);
  return bits;
}

template <bool lower_nan>
__attribute__((target("avx2"))) void measure_avx2(const Batch k) {
  const __m256d limit = _mm256_set1_pd(k.size_limit);
  for (std::size_t b = 0; b < k.block_count; ++b) {
    const double* block = k.block(b);
    for (std::size_t g = 0; g < k.pattern_count; ++g) {
      const double* x = k.patterns[g];
      __m256d s0 = _mm256_setzero_pd();
      __m256d s1 = _mm256_setzero_pd();
      __m256d s2 = _mm256_setzero_pd();
      __m256d s3 = _mm256_setzero_pd();
      bool failed = false;
      for (std::size_t i = 0; i < k.feature_count; ++i) {
        const double* lower = block + 2 * lane_count * i;
        const double* upper = lower + lane_count;
        const __m256d xi = _mm256_broadcast_sd(x + i);
        s0 = widen_avx2<lower_nan>(s0, xi, lower, upper);
        s1 = widen_avx2<lower_nan>(s1, xi, lower + 4, upper + 4);
        s2 = widen_avx2<lower_nan>(s2, xi, lower + 8, upper + 8);
        s3 = widen_avx2<lower_nan>(s3, xi, lower + 12, upper + 12);
        // Every fourth coordinate, a block that has failed already stops reading its boxes.
        if (k.limited && i % 4 == 3 && i + 1 < k.feature_count && none_within_avx2(limit, s0, s1, s2, s3)) {
          failed = true;
          break;
        }
      }
      if (failed) {
        k.passes_of(g, b) = 0;
        continue;
      }
      double* numerators = k.numerators + k.result(g, b);
      k.passes_of(g, b) = finish_avx2(k, numerators, s0) | finish_avx2(k, numerators + 4, s1) << 4 |
                          finish_avx2(k, numerators + 8, s2) << 8 | finish_avx2(k, numerators + 12, s3) << 12;
    }
  }
}

// How the AVX-512 kernels choose high and low. compare: low by the predicate of
// x <= lower ? x : lower, as in the SSE2 kernel (any lower corner may hold NaN). minimum:
// low as minpd(lower, x), while no lower corner holds NaN. integer: high and low as the
// 64-bit integer maximum and minimum of the bit patterns, while every corner is +0, a
// positive number or +Inf. On such corners the integer order of the bits is the order of
// the values, so for an x with a clear sign bit (a NaN too: its bits exceed +Inf's) it
// picks what the comparisons pick; an x with its sign bit set is below every corner, as a
// number, -0 and -Inf are too, giving high = upper and low = x. Where the comparisons give
// another operand (x = -0 against an upper +0, a NaN x with its sign bit set), high - low is
// the same bits: +0, or that NaN, the only NaN operand. The integer operations run beside
// the floating-point ones, which the subtraction and the sum keep busy.
enum class Select { compare, minimum, integer };

template <Select select>
__attribute__((target("avx512f"))) inline __m512d widen_avx512(__m512d size, __m512d x, __m512d lo, __m512d up) {
  __m512d high;
  __m512d low;
  if constexpr (select == Select::integer) {
    const __m512i xi = _mm512_castpd_si512(x);
    high = _mm512_castsi512_pd(_mm512_maskz_max_epi64(0xff, _mm512_castpd_si512(up), xi));
    low = _mm512_castsi512_pd(_mm512_maskz_min_epi64(0xff, _mm512_castpd_si512(lo), xi));
  } else {
    // The zero-masked forms with every lane selected are vmaxpd and vminpd themselves; unlike
    // _mm512_max_pd they do not trip GCC 12's warning about the undefined pass-through operand.
    high = _mm512_maskz_max_pd(0xff, up, x);
    low = select == Select::compare ? _mm512_mask_blend_pd(_mm512_cmp_pd_mask(x, lo, _CMP_LE_OQ), lo, x)
                                    : _mm512_maskz_min_pd(0xff, lo, x);
  }
  return _mm512_add_pd(size, _mm512_sub_pd(high, low));
}

template <Select select>
__attribute__((target("avx512f"))) inline __m512d widen_avx512(__m512d size, __m512d x, const double* lower,
                                                               const double* upper) {
  return widen_avx512<select>(size, x, _mm512_load_pd(lower), _mm512_load_pd(upper));
}

// x in every lane; broadcast as an integer where integer operations take it (on some
// processors a value passed between integer and floating-point operations costs a cycle).
template <Select select>
__attribute__((target("avx512f"))) inline __m512d broadcast_avx512(const double* x) {
  if constexpr (select == Select::integer) {
    std::int64_t bits;
    std::memcpy(&bits, x, sizeof bits);
    return _mm512_castsi512_pd(_mm512_set1_epi64(bits));
  } else {
    return _mm512_set1_pd(*x);
  }
}

// Coordinate i of two neighbouring blocks: four sums of eight lanes.
template <Select select>
__attribute__((target("avx512f"))) inline void widen_pair_avx512(const double* block, std::size_t block_values,
                                                                 const double* x, std::size_t i, __m512d& s0,
                                                                 __m512d& s1, __m512d& s2, __m512d& s3) {
  const double* lower = block + 2 * lane_count * i;
  const double* upper = lower + lane_count;
  const __m512d xi = broadcast_avx512<select>(x + i);
  s0 = widen_avx512<select>(s0, xi, lower, upper);
  s1 = widen_avx512<select>(s1, xi, lower + 8, upper + 8);
  s2 = widen_avx512<select>(s2, xi, lower + block_values, upper + block_values);
  s3 = widen_avx512<select>(s3, xi, lower + block_values + 8, upper + block_values + 8);
}

// The AVX-512 form of none_within_avx2.
__attribute__((target("avx512f"))) inline bool none_within_avx512(__m512d limit, __m512d s0, __m512d s1,
                                                                  __m512d s2, __m512d s3) {
  return (_mm512_cmp_pd_mask(s0, limit, _CMP_LE_OQ) | _mm512_cmp_pd_mask(s1, limit, _CMP_LE_OQ) |
          _mm512_cmp_pd_mask(s2, limit, _CMP_LE_OQ) | _mm512_cmp_pd_mask(s3, limit, _CMP_LE_OQ)) == 0;
}

// The AVX-512 form of finish_sse2, for eight lanes.
__attribute__((target("avx512f"))) inline std::uint32_t finish_avx512(const Batch& k, double* numerators,
                                                                      __m512d size) {
  const __m512d match_numerator = _mm512_sub_pd(_mm512_set1_pd(k.D), size);
  const __mmask8 pass =
      k.limited ? _mm512_cmp_pd_mask(size, _mm512_set1_pd(k.size_limit), _CMP_LE_OQ)
                : _mm512_cmp_pd_mask(_mm512_add_pd(_mm512_div_pd(match_numerator, _mm512_set1_pd(k.D)),
                                                   _mm512_set1_pd(k.tolerance)),
                                     _mm512_set1_pd(k.rho), _CMP_GE_OQ);
  if (pass != 0 || !k.limited) _mm512_store_pd(numerators, match_numerator);
  return pass;
}

// A full group of patterns: one block at a time, each coordinate's corners loaded once into
// registers and used by every pattern of the group, which keeps a sum per pattern and vector.
template <std::size_t P, Select select>
__attribute__((target("avx512f"))) void measure_avx512_group(const Batch k) {
  const __m512d limit = _mm512_set1_pd(k.size_limit);
  const double* x[P];
  for (std::size_t g = 0; g < P; ++g) x[g] = k.patterns[g];
  for (std::size_t b = 0; b < k.block_count; ++b) {
    const double* block = k.block(b);
    __m512d s[P][2];
    for (std::size_t g = 0; g < P; ++g) s[g][0] = s[g][1] = _mm512_setzero_pd();
    bool failed = false;
    for (std::size_t i = 0; i < k.feature_count; ++i) {
      const double* lower = block + 2 * lane_count * i;
      const double* upper = lower + lane_count;
      const __m512d lo0 = _mm512_load_pd(lower);
      const __m512d lo1 = _mm512_load_pd(lower + 8);
      const __m512d up0 = _mm512_load_pd(upper);
      const __m512d up1 = _mm512_load_pd(upper + 8);
      for (std::size_t g = 0; g < P; ++g) {
        const __m512d xi = broadcast_avx512<select>(x[g] + i);
        s[g][0] = widen_avx512<select>(s[g][0], xi, lo0, up0);
        s[g][1] = widen_avx512<select>(s[g][1], xi, lo1, up1);
      }
      if (k.limited && i % 4 == 3 && i + 1 < k.feature_count) {
        unsigned within = 0;
        for (std::size_t g = 0; g < P; ++g)
          within |= static_cast<unsigned>(_mm512_cmp_pd_mask(s[g][0], limit, _CMP_LE_OQ) |
                                          _mm512_cmp_pd_mask(s[g][1], limit, _CMP_LE_OQ));
        if (within == 0) {
          failed = true;
          break;
        }
      }
    }
    for (std::size_t g = 0; g < P; ++g) {
      if (failed) {
        k.passes_of(g, b) = 0;
        continue;
      }
      double* numerators = k.numerators + k.result(g, b);
      k.passes_of(g, b) = finish_avx512(k, numerators, s[g][0]) | finish_avx512(k, numerators + 8, s[g][1]) << 8;
    }
  }
}

// Single patterns (training) and partial groups: two neighbouring blocks side by side, so
// that the additions of four independent sums overlap.
template <Select select>
__attribute__((target("avx512f"))) void measure_avx512_pairs(const Batch k) {
  const std::size_t block_values = 2 * lane_count * k.feature_count;
  const __m512d limit = _mm512_set1_pd(k.size_limit);
  std::size_t b = 0;
  for (; b + 1 < k.block_count; b += 2) {
    const double* block = k.block(b);
    for (std::size_t g = 0; g < k.pattern_count; ++g) {
      const double* x = k.patterns[g];
      __m512d s0 = _mm512_setzero_pd();
      __m512d s1 = _mm512_setzero_pd();
      __m512d s2 = _mm512_setzero_pd();
      __m512d s3 = _mm512_setzero_pd();
      bool failed = false;
      std::size_t i = 0;
      // Four coordinates at a time; after each four, blocks that have failed already stop
      // reading their boxes.
      for (; i + 4 <= k.feature_count; i += 4) {
        for (std::size_t c = i; c < i + 4; ++c) widen_pair_avx512<select>(block, block_values, x, c, s0, s1, s2, s3);
        if (k.limited && i + 4 < k.feature_count && none_within_avx512(limit, s0, s1, s2, s3)) {
          failed = true;
          break;
        }
      }
      if (failed) {
        k.passes_of(g, b) = 0;
        k.passes_of(g, b + 1) = 0;
        continue;
      }
      for (; i < k.feature_count; ++i) widen_pair_avx512<select>(block, block_values, x, i, s0, s1, s2, s3);
      double* numerators = k.numerators + k.result(g, b);
      k.passes_of(g, b) = finish_avx512(k, numerators, s0) | finish_avx512(k, numerators + 8, s1) << 8;
      k.passes_of(g, b + 1) = finish_avx512(k, numerators + lane_count, s2) |
                              finish_avx512(k, numerators + lane_count + 8, s3) << 8;
    }
  }
  for (; b < k.block_count; ++b) {
    const double* block = k.block(b);
    for (std::size_t g = 0; g < k.pattern_count; ++g) {
      const double* x = k.patterns[g];
      __m512d s0 = _mm512_setzero_pd();
      __m512d s1 = _mm512_setzero_pd();
      for (std::size_t i = 0; i < k.feature_count; ++i) {
        const double* lower = block + 2 * lane_count * i;
        const double* upper = lower + lane_count;
        const __m512d xi = broadcast_avx512<select>(x + i);
        s0 = widen_avx512<select>(s0, xi, lower, upper);
        s1 = widen_avx512<select>(s1, xi, lower + 8, upper + 8);
      }
      double* numerators = k.numerators + k.result(g, b);
      k.passes_of(g, b) = finish_avx512(k, numerators, s0) | finish_avx512(k, numerators + 8, s1) << 8;
    }
  }
}

template <Select select>
void measure_avx512(const Batch k) {
  constexpr auto full_group = static_cast<std::size_t>(NodeBank::full_group);
  if (k.pattern_count == full_group) return measure_avx512_group<full_group, select>(k);
  measure_avx512_pairs<select>(k);
}
#endif

}  // namespace

void set_match_path(MatchPath path) { requested_path = path; }

void set_interrupt_poll_visits(std::int64_t visits) { poll_visits = std::max<std::int64_t>(visits, 1); }
std::int64_t interrupt_poll_visits() { return poll_visits; }

MatchPath requested_match_path() { return requested_path; }

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

NodeBank::NodeBank(std::int32_t group, MatchPath path)
    : path_(resolve_match_path(path)),
      group_(std::max<std::int32_t>(group, 1)),
      feature_count_(static_cast<std::size_t>(model.feature_count)) {}

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
  passes_.resize(slots / lane_count * static_cast<std::size_t>(group_), 0);
  // No results are kept across growth, and none is read before a measure call writes it.
  numerators_.reset(slots * static_cast<std::size_t>(group_));
  // Unused lanes hold the empty box at the origin and a denominator of 1, so that the
  // kernels' spare results are ordinary numbers.
  choice_denominators_.resize(slots, 1.0);
  if (path_ != MatchPath::per_node) boxes_.resize(slots / lane_count * block_values(), 0.0);
  capacity_ = capacity;
}

void NodeBank::append(Node& node) {
  if (count_ == capacity_) grow(count_ + 1);
  nodes_.push_back(&node);
  ++count_;
  copy_box(count_ - 1);
}

void NodeBank::refresh(std::int32_t j) { copy_box(j); }

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

bool NodeBank::measure(const double* const* patterns, std::int32_t pattern_count, double rho, double tolerance,
                       Results results, bool (*interrupted)()) {
  pattern_count = std::min(pattern_count, group_);
  D_ = model.D;
  // A bank too large to measure between two polls is measured a stretch of blocks at a time.
  const std::int64_t block_visits = std::max<std::int64_t>(
      std::int64_t{lanes} * static_cast<std::int64_t>(feature_count_) * pattern_count, 1);
  const std::int64_t stretch =
      interrupted ? std::max<std::int64_t>(poll_visits / block_visits / 2 * 2, 2) : std::int64_t{block_count()};
  if (path_ == MatchPath::per_node) {
    const std::int64_t poll_nodes = stretch * lanes;
    for (std::int32_t g = 0; g < pattern_count; ++g) {
      std::uint32_t* passes = passes_.data() + static_cast<std::size_t>(g) * block_capacity();
      std::fill(passes, passes + block_count(), 0u);
      for (std::int32_t j = 0; j < count_; ++j) {
        if (interrupted && (j != 0 || g != 0) && j % poll_nodes == 0 && interrupted()) return false;
        Node& n = *nodes_[static_cast<std::size_t>(j)];
        n.compute_match(patterns[g]);
        numerators_.data()[result_index(j, g)] = n.match_numerator;
        if (n.mfv + tolerance >= rho) passes[j / lanes] |= 1u << (j % lanes);
      }
    }
    return true;
  }
  const double D = D_;
  // The size limit needs the test to be monotone in the size, which holds for a finite D > 0.
  const bool limited = results != Results::every_mfv && D > 0 && D <= std::numeric_limits<double>::max();
  const Batch whole{boxes_.data(),
                    static_cast<std::size_t>(block_count()),
                    feature_count_,
                    patterns,
                    static_cast<std::size_t>(pattern_count),
                    D,
                    rho,
                    tolerance,
                    limited,
                    limited ? limit_for(D, rho, tolerance) : 0.0,
                    numerators_.data(),
                    static_cast<std::size_t>(capacity_),
                    passes_.data()};
  // Blocks are measured independently of each other, so a stretch is the whole call cut
  // down to its blocks; stretches of an even length keep the kernels' block pairs.
  for (std::int64_t first = 0; first < block_count(); first += stretch) {
    if (first != 0 && interrupted()) return false;
    Batch batch = whole;
    const auto b = static_cast<std::size_t>(first);
    batch.boxes = whole.block(b);
    batch.block_count = static_cast<std::size_t>(std::min<std::int64_t>(stretch, block_count() - first));
    batch.numerators = whole.numerators + b * lane_count;
    batch.passes = &whole.passes_of(0, b);
    switch (path_) {
#if VORLA_X86_KERNELS
      case MatchPath::avx512:
        corners_ordered_ ? measure_avx512<Select::integer>(batch)
        : lower_nan_     ? measure_avx512<Select::compare>(batch)
                         : measure_avx512<Select::minimum>(batch);
        break;
      case MatchPath::avx2: lower_nan_ ? measure_avx2<true>(batch) : measure_avx2<false>(batch); break;
      case MatchPath::sse2: measure_sse2(batch); break;
#endif
      default: measure_scalar(batch); break;
    }
  }
  // The spare lanes of the last block are no nodes.
  if (count_ % lanes != 0)
    for (std::int32_t g = 0; g < pattern_count; ++g)
      whole.passes_of(static_cast<std::size_t>(g), static_cast<std::size_t>(count_ / lanes)) &=
          (1u << (count_ % lanes)) - 1;
  return true;
}

}  // namespace vorla
