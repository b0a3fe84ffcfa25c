#include "kernels.h"

namespace vorla {
namespace kernels {

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

void measure(MatchPath path, [[maybe_unused]] Corners corners, const Batch& batch) {
  switch (path) {
#if VORLA_X86_KERNELS
    case MatchPath::avx512: measure_avx512(batch, corners); break;
    case MatchPath::avx2: measure_avx2(batch, corners.lower_nan); break;
    case MatchPath::sse2: measure_sse2(batch); break;
#endif
    default: measure_scalar(batch); break;
  }
}

void divide(MatchPath path, const double* numerators, const double* denominators, double divisor, double* quotients,
            std::size_t n) {
  switch (path) {
#if VORLA_X86_KERNELS
    case MatchPath::avx512: divide_avx512(numerators, denominators, divisor, quotients, n); return;
    case MatchPath::avx2: divide_avx2(numerators, denominators, divisor, quotients, n); return;
    case MatchPath::sse2: divide_sse2(numerators, denominators, divisor, quotients, n); return;
#endif
    default: break;
  }
  if (denominators) {
    for (std::size_t i = 0; i < n; ++i) quotients[i] = numerators[i] / denominators[i];
  } else {
    for (std::size_t i = 0; i < n; ++i) quotients[i] = numerators[i] / divisor;
  }
}

std::int64_t choose(MatchPath path, const Choice& choice) {
#if VORLA_X86_KERNELS
  if (path == MatchPath::avx512) return choose_avx512(choice);
#else
  (void)path;
  (void)choice;
#endif
  return choose_in_order;
}

bool has_rough_pick(MatchPath path) { return VORLA_X86_KERNELS && path == MatchPath::avx512; }

void rough_pick(MatchPath path, const RoughPick& k, RoughState& state) {
#if VORLA_X86_KERNELS
  if (path == MatchPath::avx512) rough_pick_avx512(k, state);
#else
  (void)path;
  (void)k;
  (void)state;
#endif
}

}  // namespace kernels
}  // namespace vorla
