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

// Where the vigilance test m + tolerance >= rho changes. The test can only turn from
// failing to passing as m grows (rounding is monotone), so every m below fails_below fails
// and every m from passes_from on passes. Found by stepping from rho - tolerance; a bound
// that the steps do not pin down is -inf (fails_below) or NaN (passes_from), which no
// estimate satisfies.
struct Threshold {
  double fails_below;
  double passes_from;
};

Threshold vigilance_threshold(double rho, double tolerance) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const double none = std::numeric_limits<double>::quiet_NaN();
  const auto passes = [&](double m) { return m + tolerance >= rho; };
  double failing = rho - tolerance;
  for (int step = 0; step < 64 && passes(failing); ++step) failing = std::nextafter(failing, -inf);
  if (std::isnan(failing) || passes(failing)) return {-inf, none};
  int step = 0;
  for (; step < 64 && !passes(std::nextafter(failing, inf)); ++step) failing = std::nextafter(failing, inf);
  const double above = std::nextafter(failing, inf);
  // When the loop stopped at the change, above is the least passing value.
  return {above, passes(above) ? above : none};
}

// One measure call as the kernels see it; they take it by value, so that their stores of
// results cannot be taken to change it.
struct Batch {
  const double* boxes;         // block_count blocks of 2 x lanes x feature_count values
  const double* denominators;  // one per lane
  std::size_t block_count;
  std::size_t feature_count;
  const double* const* patterns;
  std::size_t pattern_count;
  double D;
  double rho;
  double tolerance;
  // The screen: when set, a vector of lanes whose mfv is certainly below fails_below gets
  // no results but its zero bits in passes, which spares it both divisions; with
  // cfv_only, a vector whose lanes all certainly fail or certainly pass (mfv from
  // passes_from on) gets no mfv either.
  bool screen;
  bool cfv_only;
  double inv_D;
  double fails_below;
  double passes_from;
  double* mfv;  // pattern g's results start at g x stride
  double* cfv;
  std::size_t stride;
  std::uint32_t* passes;  // pattern g's words start at g x stride / lanes

  const double* block(std::size_t b) const { return boxes + b * 2 * lane_count * feature_count; }
  std::size_t result(std::size_t g, std::size_t b) const { return g * stride + b * lane_count; }
  std::uint32_t& passes_of(std::size_t g, std::size_t b) const { return passes[g * (stride / lane_count) + b]; }
};

// Every kernel follows Node::compute_match lane by lane: the size starts at 0.0 and takes
// the coordinates in index order, and high and low are chosen by the same comparisons, so
// each node's size, and with it mfv and cfv, comes out bit for bit as the node computes it.
// Only different nodes share a step; a node's own coordinates are never regrouped. Within
// a block, the patterns of the batch take turns, so the block is read from memory once.
//
// The screen estimates mfv as a = match_numerator x (1 / D). For a of magnitude at least
// 2^-900 (a normal number, as are D and 1 / D), a lies within 3.0002 u |a| of the true
// mfv (u = 2^-53: one rounding each for 1 / D, the product and the true quotient), while
// a + 2^-48 |a|, even after its own rounding, exceeds a by more than 62 u |a|, and
// a - 2^-48 |a| falls short of it by as much. So when a + 2^-48 |a| < fails_below, the
// true mfv is below it too and the node fails; when a - 2^-48 |a| >= passes_from, the
// node passes. NaN and infinite estimates satisfy neither comparison and go the exact way.
constexpr double screen_margin = 0x1p-48;
constexpr double screen_smallest = 0x1p-900;

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
        if (k.screen) {
          const double a = match_numerator * k.inv_D;
          const double magnitude = std::fabs(a);
          if (magnitude >= screen_smallest) {
            if (a + magnitude * screen_margin < k.fails_below) continue;
            if (k.cfv_only && a - magnitude * screen_margin >= k.passes_from) {
              passes |= 1u << l;
              k.cfv[at + l] = match_numerator / k.denominators[b * lane_count + l];
              continue;
            }
          }
        }
        const double mfv = match_numerator / k.D;
        k.mfv[at + l] = mfv;
        if (mfv + k.tolerance >= k.rho) {
          passes |= 1u << l;
          k.cfv[at + l] = match_numerator / k.denominators[b * lane_count + l];
        }
      }
      k.passes_of(g, b) = passes;
    }
  }
}

#if VORLA_X86_KERNELS
// In both vector kernels high is max(upper, x): maxpd(a, b) gives a when a > b and b
// otherwise (b also when either is NaN, and b for two zeros), which is the choice of
// x < upper ? upper : x in every case. low keeps the predicate of x <= lower ? x : lower
// (ordered: false with a NaN operand, as the scalar <= is) and selects bits by it.

inline __m128d widen_sse2(__m128d size, __m128d x, const double* lower, const double* upper) {
  const __m128d lo = _mm_load_pd(lower);
  const __m128d high = _mm_max_pd(_mm_load_pd(upper), x);
  const __m128d take_x = _mm_cmple_pd(x, lo);
  const __m128d low = _mm_or_pd(_mm_and_pd(take_x, x), _mm_andnot_pd(take_x, lo));
  return _mm_add_pd(size, _mm_sub_pd(high, low));
}

void measure_sse2(const Batch k) {
  constexpr std::size_t width = 2;
  const __m128d d = _mm_set1_pd(k.D);
  const __m128d rho = _mm_set1_pd(k.rho);
  const __m128d tolerance = _mm_set1_pd(k.tolerance);
  const __m128d inv_d = _mm_set1_pd(k.inv_D);
  const __m128d fails_below = _mm_set1_pd(k.fails_below);
  const __m128d passes_from = _mm_set1_pd(k.passes_from);
  const __m128d margin = _mm_set1_pd(screen_margin);
  const __m128d smallest = _mm_set1_pd(screen_smallest);
  const __m128d sign = _mm_set1_pd(-0.0);
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
      for (std::size_t q = 0; q < lane_count / width; ++q) {
        const __m128d match_numerator = _mm_sub_pd(d, size[q]);
        if (k.screen) {
          const __m128d a = _mm_mul_pd(match_numerator, inv_d);
          const __m128d magnitude = _mm_andnot_pd(sign, a);
          const __m128d normal = _mm_cmpge_pd(magnitude, smallest);
          const __m128d error = _mm_mul_pd(magnitude, margin);
          const int fails = _mm_movemask_pd(_mm_and_pd(normal, _mm_cmplt_pd(_mm_add_pd(a, error), fails_below)));
          if (fails == 0x3) continue;
          const int sure = _mm_movemask_pd(_mm_and_pd(normal, _mm_cmpge_pd(_mm_sub_pd(a, error), passes_from)));
          if (k.cfv_only && (fails | sure) == 0x3) {
            passes |= static_cast<std::uint32_t>(sure) << (width * q);
            _mm_store_pd(k.cfv + at + width * q,
                         _mm_div_pd(match_numerator, _mm_load_pd(k.denominators + b * lane_count + width * q)));
            continue;
          }
        }
        const __m128d mfv = _mm_div_pd(match_numerator, d);
        _mm_store_pd(k.mfv + at + width * q, mfv);
        const auto pass = static_cast<std::uint32_t>(_mm_movemask_pd(_mm_cmpge_pd(_mm_add_pd(mfv, tolerance), rho)));
        if (pass == 0) continue;
        passes |= pass << (width * q);
        _mm_store_pd(k.cfv + at + width * q,
                     _mm_div_pd(match_numerator, _mm_load_pd(k.denominators + b * lane_count + width * q)));
      }
      k.passes_of(g, b) = passes;
    }
  }
}

__attribute__((target("avx2"))) inline __m256d widen_avx2(__m256d size, __m256d x, const double* lower,
                                                          const double* upper) {
  const __m256d lo = _mm256_load_pd(lower);
  const __m256d high = _mm256_max_pd(_mm256_load_pd(upper), x);
  const __m256d low = _mm256_blendv_pd(lo, x, _mm256_cmp_pd(x, lo, _CMP_LE_OQ));
  return _mm256_add_pd(size, _mm256_sub_pd(high, low));
}

// The AVX2 form of all_fail_avx512: whether all four sizes already fail for certain.
__attribute__((target("avx2"))) inline bool all_fail_avx2(const Batch& k, __m256d size) {
  const __m256d a = _mm256_mul_pd(_mm256_sub_pd(_mm256_set1_pd(k.D), size), _mm256_set1_pd(k.inv_D));
  const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), a);
  const __m256d normal = _mm256_cmp_pd(magnitude, _mm256_set1_pd(screen_smallest), _CMP_GE_OQ);
  const __m256d fails = _mm256_cmp_pd(_mm256_add_pd(a, _mm256_mul_pd(magnitude, _mm256_set1_pd(screen_margin))),
                                      _mm256_set1_pd(k.fails_below), _CMP_LT_OQ);
  return _mm256_movemask_pd(_mm256_and_pd(normal, fails)) == 0xf;
}

__attribute__((target("avx2"))) void measure_avx2(const Batch k) {
  const __m256d d = _mm256_set1_pd(k.D);
  const __m256d rho = _mm256_set1_pd(k.rho);
  const __m256d tolerance = _mm256_set1_pd(k.tolerance);
  const __m256d inv_d = _mm256_set1_pd(k.inv_D);
  const __m256d fails_below = _mm256_set1_pd(k.fails_below);
  const __m256d passes_from = _mm256_set1_pd(k.passes_from);
  const __m256d margin = _mm256_set1_pd(screen_margin);
  const __m256d smallest = _mm256_set1_pd(screen_smallest);
  const __m256d sign = _mm256_set1_pd(-0.0);
  for (std::size_t b = 0; b < k.block_count; ++b) {
    const double* block = k.block(b);
    for (std::size_t g = 0; g < k.pattern_count; ++g) {
      const double* x = k.patterns[g];
      __m256d s0 = _mm256_setzero_pd();
      __m256d s1 = _mm256_setzero_pd();
      __m256d s2 = _mm256_setzero_pd();
      __m256d s3 = _mm256_setzero_pd();
      bool failed = false;
      for (std::size_t i = 0; i < k.feature_count && !failed; ++i) {
        const double* lower = block + 2 * lane_count * i;
        const double* upper = lower + lane_count;
        const __m256d xi = _mm256_broadcast_sd(x + i);
        s0 = widen_avx2(s0, xi, lower, upper);
        s1 = widen_avx2(s1, xi, lower + 4, upper + 4);
        s2 = widen_avx2(s2, xi, lower + 8, upper + 8);
        s3 = widen_avx2(s3, xi, lower + 12, upper + 12);
        // Every fourth coordinate, a block that has failed already stops reading its boxes.
        if (k.screen && i % 4 == 3 && i + 1 < k.feature_count)
          failed = all_fail_avx2(k, s0) && all_fail_avx2(k, s1) && all_fail_avx2(k, s2) && all_fail_avx2(k, s3);
      }
      if (failed) {
        k.passes_of(g, b) = 0;
        continue;
      }
      const std::size_t at = k.result(g, b);
      const __m256d sizes[4] = {s0, s1, s2, s3};
      std::uint32_t passes = 0;
      for (std::size_t q = 0; q < 4; ++q) {
        const __m256d match_numerator = _mm256_sub_pd(d, sizes[q]);
        if (k.screen) {
          const __m256d a = _mm256_mul_pd(match_numerator, inv_d);
          const __m256d magnitude = _mm256_andnot_pd(sign, a);
          const __m256d normal = _mm256_cmp_pd(magnitude, smallest, _CMP_GE_OQ);
          const __m256d error = _mm256_mul_pd(magnitude, margin);
          const int fails = _mm256_movemask_pd(
              _mm256_and_pd(normal, _mm256_cmp_pd(_mm256_add_pd(a, error), fails_below, _CMP_LT_OQ)));
          if (fails == 0xf) continue;
          const int sure = _mm256_movemask_pd(
              _mm256_and_pd(normal, _mm256_cmp_pd(_mm256_sub_pd(a, error), passes_from, _CMP_GE_OQ)));
          if (k.cfv_only && (fails | sure) == 0xf) {
            passes |= static_cast<std::uint32_t>(sure) << (4 * q);
            _mm256_store_pd(k.cfv + at + 4 * q,
                            _mm256_div_pd(match_numerator, _mm256_load_pd(k.denominators + b * lane_count + 4 * q)));
            continue;
          }
        }
        const __m256d mfv = _mm256_div_pd(match_numerator, d);
        _mm256_store_pd(k.mfv + at + 4 * q, mfv);
        const auto pass = static_cast<std::uint32_t>(
            _mm256_movemask_pd(_mm256_cmp_pd(_mm256_add_pd(mfv, tolerance), rho, _CMP_GE_OQ)));
        if (pass == 0) continue;
        passes |= pass << (4 * q);
        _mm256_store_pd(k.cfv + at + 4 * q,
                        _mm256_div_pd(match_numerator, _mm256_load_pd(k.denominators + b * lane_count + 4 * q)));
      }
      k.passes_of(g, b) = passes;
    }
  }
}

// With AVX-512, low is selected by a mask register (one operation instead of blendv's
// several), and two blocks are measured side by side so that the additions of four
// independent sums overlap.
__attribute__((target("avx512f"))) inline __m512d widen_avx512(__m512d size, __m512d x, const double* lower,
                                                               const double* upper) {
  const __m512d lo = _mm512_load_pd(lower);
  // The zero-masked form with every lane selected is vmaxpd itself; unlike _mm512_max_pd it
  // does not trip GCC 12's warning about the undefined pass-through operand.
  const __m512d high = _mm512_maskz_max_pd(0xff, _mm512_load_pd(upper), x);
  const __m512d low = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(x, lo, _CMP_LE_OQ), lo, x);
  return _mm512_add_pd(size, _mm512_sub_pd(high, low));
}

// Whether every lane of eight sizes summed so far already fails the vigilance test for
// certain (by the screen). The terms still to come are never negative (high >= x >= low),
// so a size can only grow and its mfv only fall: such lanes fail whatever their remaining
// coordinates hold.
__attribute__((target("avx512f"))) inline bool all_fail_avx512(const Batch& k, __m512d size) {
  const __m512d a = _mm512_mul_pd(_mm512_sub_pd(_mm512_set1_pd(k.D), size), _mm512_set1_pd(k.inv_D));
  const __m512d magnitude = _mm512_abs_pd(a);
  const __mmask8 normal = _mm512_cmp_pd_mask(magnitude, _mm512_set1_pd(screen_smallest), _CMP_GE_OQ);
  const __mmask8 fails =
      _mm512_mask_cmp_pd_mask(normal, _mm512_add_pd(a, _mm512_mul_pd(magnitude, _mm512_set1_pd(screen_margin))),
                              _mm512_set1_pd(k.fails_below), _CMP_LT_OQ);
  return fails == 0xff;
}

// Results of pattern g for one block from its two sums of eight lanes.
__attribute__((target("avx512f"))) inline void finish_avx512(const Batch& k, std::size_t g, std::size_t b,
                                                             __m512d first, __m512d second) {
  const __m512d d = _mm512_set1_pd(k.D);
  const std::size_t at = k.result(g, b);
  const __m512d sizes[2] = {first, second};
  std::uint32_t passes = 0;
  for (std::size_t h = 0; h < 2; ++h) {
    const __m512d match_numerator = _mm512_sub_pd(d, sizes[h]);
    if (k.screen) {
      const __m512d a = _mm512_mul_pd(match_numerator, _mm512_set1_pd(k.inv_D));
      const __m512d magnitude = _mm512_abs_pd(a);
      const __mmask8 normal = _mm512_cmp_pd_mask(magnitude, _mm512_set1_pd(screen_smallest), _CMP_GE_OQ);
      const __m512d error = _mm512_mul_pd(magnitude, _mm512_set1_pd(screen_margin));
      const __mmask8 fails =
          _mm512_mask_cmp_pd_mask(normal, _mm512_add_pd(a, error), _mm512_set1_pd(k.fails_below), _CMP_LT_OQ);
      if (fails == 0xff) continue;
      const __mmask8 sure =
          _mm512_mask_cmp_pd_mask(normal, _mm512_sub_pd(a, error), _mm512_set1_pd(k.passes_from), _CMP_GE_OQ);
      if (k.cfv_only && (fails | sure) == 0xff) {
        passes |= static_cast<std::uint32_t>(sure) << (8 * h);
        _mm512_store_pd(k.cfv + at + 8 * h,
                        _mm512_div_pd(match_numerator, _mm512_load_pd(k.denominators + b * lane_count + 8 * h)));
        continue;
      }
    }
    const __m512d mfv = _mm512_div_pd(match_numerator, d);
    _mm512_store_pd(k.mfv + at + 8 * h, mfv);
    const auto pass = static_cast<std::uint32_t>(_mm512_cmp_pd_mask(
        _mm512_add_pd(mfv, _mm512_set1_pd(k.tolerance)), _mm512_set1_pd(k.rho), _CMP_GE_OQ));
    if (pass == 0) continue;
    passes |= pass << (8 * h);
    _mm512_store_pd(k.cfv + at + 8 * h,
                    _mm512_div_pd(match_numerator, _mm512_load_pd(k.denominators + b * lane_count + 8 * h)));
  }
  k.passes_of(g, b) = passes;
}

__attribute__((target("avx512f"))) void measure_avx512(const Batch k) {
  const std::size_t block_values = 2 * lane_count * k.feature_count;
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
      for (std::size_t i = 0; i < k.feature_count && !failed; ++i) {
        const double* lower = block + 2 * lane_count * i;
        const double* upper = lower + lane_count;
        const __m512d xi = _mm512_set1_pd(x[i]);
        s0 = widen_avx512(s0, xi, lower, upper);
        s1 = widen_avx512(s1, xi, lower + 8, upper + 8);
        s2 = widen_avx512(s2, xi, lower + block_values, upper + block_values);
        s3 = widen_avx512(s3, xi, lower + block_values + 8, upper + block_values + 8);
        // Every fourth coordinate, blocks that have failed already stop reading their boxes.
        if (k.screen && i % 4 == 3 && i + 1 < k.feature_count)
          failed = all_fail_avx512(k, s0) && all_fail_avx512(k, s1) && all_fail_avx512(k, s2) &&
                   all_fail_avx512(k, s3);
      }
      if (failed) {
        k.passes_of(g, b) = 0;
        k.passes_of(g, b + 1) = 0;
        continue;
      }
      finish_avx512(k, g, b, s0, s1);
      finish_avx512(k, g, b + 1, s2, s3);
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
        const __m512d xi = _mm512_set1_pd(x[i]);
        s0 = widen_avx512(s0, xi, lower, upper);
        s1 = widen_avx512(s1, xi, lower + 8, upper + 8);
      }
      finish_avx512(k, g, b, s0, s1);
    }
  }
}
#endif

}  // namespace

void set_match_path(MatchPath path) { requested_path = path; }

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

void LineArray::resize(std::size_t n, double fill) {
  constexpr std::size_t line = 64 / sizeof(double);
  std::unique_ptr<double[]> raw(new double[n + line - 1]);
  const auto address = reinterpret_cast<std::uintptr_t>(raw.get());
  double* data = raw.get() + (line - (address / sizeof(double)) % line) % line;
  const std::size_t kept = std::min(n, size_);
  if (kept > 0) std::memcpy(data, data_, kept * sizeof(double));
  std::fill(data + kept, data + n, fill);
  raw_ = std::move(raw);
  data_ = data;
  size_ = n;
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
  mfv_.resize(slots * static_cast<std::size_t>(group_), 0.0);
  cfv_.resize(slots * static_cast<std::size_t>(group_), 0.0);
  if (path_ != MatchPath::per_node) {
    // Unused lanes hold the empty box at the origin and a denominator of 1, so that the
    // kernels' spare results are ordinary numbers.
    boxes_.resize(slots / lane_count * block_values(), 0.0);
    choice_denominators_.resize(slots, 1.0);
  }
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
  if (path_ == MatchPath::per_node) return;  // the nodes are measured where they are
  const Node& node = *nodes_[static_cast<std::size_t>(j)];
  const auto at = static_cast<std::size_t>(j);
  double* lower = boxes_.data() + at / lane_count * block_values() + at % lane_count;
  double* upper = lower + lane_count;
  for (std::size_t i = 0; i < feature_count_; ++i) {
    lower[2 * lane_count * i] = node.lower[i];
    upper[2 * lane_count * i] = node.upper[i];
  }
  choice_denominators_.data()[at] = node.choice_denominator;
}

void NodeBank::measure(const double* const* patterns, std::int32_t pattern_count, double rho, double tolerance,
                       Results results) {
  pattern_count = std::min(pattern_count, group_);
  if (path_ == MatchPath::per_node) {
    for (std::int32_t g = 0; g < pattern_count; ++g) {
      std::uint32_t* passes = passes_.data() + static_cast<std::size_t>(g) * block_capacity();
      std::fill(passes, passes + block_count(), 0u);
      for (std::int32_t j = 0; j < count_; ++j) {
        Node& n = *nodes_[static_cast<std::size_t>(j)];
        n.compute_match(patterns[g]);
        mfv_.data()[result_index(j, g)] = n.mfv;
        cfv_.data()[result_index(j, g)] = n.match_numerator / n.choice_denominator;
        if (n.mfv + tolerance >= rho) passes[j / lanes] |= 1u << (j % lanes);
      }
    }
    return;
  }
  const double D = model.D;
  // The screen's error bound needs D and 1 / D to be normal numbers.
  const bool screen = results != Results::every_mfv && D >= 0x1p-1000 && D <= 0x1p1000;
  const Threshold threshold = screen ? vigilance_threshold(rho, tolerance) : Threshold{0.0, 0.0};
  const Batch batch{boxes_.data(),
                    choice_denominators_.data(),
                    static_cast<std::size_t>(block_count()),
                    feature_count_,
                    patterns,
                    static_cast<std::size_t>(pattern_count),
                    D,
                    rho,
                    tolerance,
                    screen,
                    results == Results::passing_cfv,
                    screen ? 1.0 / D : 0.0,
                    threshold.fails_below,
                    threshold.passes_from,
                    mfv_.data(),
                    cfv_.data(),
                    static_cast<std::size_t>(capacity_),
                    passes_.data()};
  switch (path_) {
#if VORLA_X86_KERNELS
    case MatchPath::avx512: measure_avx512(batch); break;
    case MatchPath::avx2: measure_avx2(batch); break;
    case MatchPath::sse2: measure_sse2(batch); break;
#endif
    default: measure_scalar(batch); break;
  }
  // The spare lanes of the last block are no nodes.
  if (count_ % lanes != 0)
    for (std::int32_t g = 0; g < pattern_count; ++g)
      batch.passes_of(static_cast<std::size_t>(g), static_cast<std::size_t>(count_ / lanes)) &=
          (1u << (count_ % lanes)) - 1;
}

}  // namespace vorla
