#include "kernels.h"

#if VORLA_X86_KERNELS
#include <immintrin.h>

namespace vorla {
namespace kernels {
namespace {

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
__attribute__((target("avx2"))) void measure_avx2_blocks(const Batch k) {
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

}  // namespace

void measure_avx2(const Batch& k, bool lower_nan) {
  lower_nan ? measure_avx2_blocks<true>(k) : measure_avx2_blocks<false>(k);
}

__attribute__((target("avx2"))) void divide_avx2(const double* numerators, const double* denominators, double divisor,
                                                 double* quotients, std::size_t n) {
  const __m256d by = _mm256_set1_pd(divisor);
  for (std::size_t i = 0; i < n; i += 4)
    _mm256_storeu_pd(quotients + i, _mm256_div_pd(_mm256_loadu_pd(numerators + i),
                                                  denominators ? _mm256_loadu_pd(denominators + i) : by));
}

}  // namespace kernels
}  // namespace vorla
#endif
