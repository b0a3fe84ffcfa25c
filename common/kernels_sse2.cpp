#include "kernels.h"

#if VORLA_X86_KERNELS
#include <immintrin.h>

namespace vorla {
namespace kernels {
namespace {

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

void measure_sse2_blocks(const Batch k) {
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

}  // namespace

void measure_sse2(const Batch& k) { measure_sse2_blocks(k); }

void divide_sse2(const double* numerators, const double* denominators, double divisor, double* quotients,
                 std::size_t n) {
  const __m128d by = _mm_set1_pd(divisor);
  for (std::size_t i = 0; i < n; i += 2)
    _mm_storeu_pd(quotients + i,
                  _mm_div_pd(_mm_loadu_pd(numerators + i), denominators ? _mm_loadu_pd(denominators + i) : by));
}

}  // namespace kernels
}  // namespace vorla
#endif
