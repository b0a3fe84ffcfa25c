#include "kernels.h"

#if VORLA_X86_KERNELS
#include <immintrin.h>

#include <cstring>

namespace vorla {
namespace kernels {
namespace {

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
void measure_avx512_blocks(const Batch k) {
  constexpr auto full_group = static_cast<std::size_t>(NodeBank::full_group);
  if (k.pattern_count == full_group) return measure_avx512_group<full_group, select>(k);
  measure_avx512_pairs<select>(k);
}

}  // namespace

__attribute__((target("avx512f"))) void divide_avx512(const double* numerators, const double* denominators,
                                                     double divisor, double* quotients, std::size_t n) {
  const __m512d by = _mm512_set1_pd(divisor);
  for (std::size_t i = 0; i < n; i += 8)
    _mm512_storeu_pd(quotients + i, _mm512_div_pd(_mm512_loadu_pd(numerators + i),
                                                  denominators ? _mm512_loadu_pd(denominators + i) : by));
}

// Each lane keeps the first node of its greatest cfv among the candidates it has seen (a
// later one replaces it only when strictly greater), so the lowest node of the greatest of
// the lanes' values is the loop's winner, signed zeros counted equal as there.
__attribute__((target("avx512f"))) std::int64_t choose_avx512(const Choice& c) {
  const __m512d tolerance = _mm512_set1_pd(c.tolerance);
  const __m512d Tu = _mm512_set1_pd(c.Tu);
  const __m512d rho = _mm512_set1_pd(c.rho);
  __m512d best[2] = {_mm512_setzero_pd(), _mm512_setzero_pd()};
  __m512i first[2] = {_mm512_setzero_si512(), _mm512_setzero_si512()};
  __mmask8 seen[2] = {0, 0};
  __mmask8 nan = 0;
  const __m512i step = _mm512_set1_epi64(static_cast<long long>(lane_count));
  __m512i node[2] = {_mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7), _mm512_setr_epi64(8, 9, 10, 11, 12, 13, 14, 15)};
  for (std::size_t b = 0; b < c.block_count; ++b) {
    const std::uint32_t passes = c.passes[b];
    for (std::size_t h = 0; h < 2 && passes != 0; ++h) {
      auto candidates = static_cast<__mmask8>(passes >> (8 * h));
      if (candidates == 0) continue;
      const std::size_t at = b * lane_count + 8 * h;
      const __m512d cfv = _mm512_loadu_pd(c.cfvs + at);
      if (c.ct) candidates &= _mm512_cmp_pd_mask(_mm512_add_pd(cfv, tolerance), Tu, _CMP_GE_OQ);
      if (c.tracking) {
        const __m512d mfv = _mm512_loadu_pd(c.mfvs + at);
        candidates &= c.strict ? _mm512_cmp_pd_mask(mfv, rho, _CMP_GT_OQ) : _mm512_cmp_pd_mask(mfv, rho, _CMP_GE_OQ);
      }
      nan |= _mm512_mask_cmp_pd_mask(candidates, cfv, cfv, _CMP_UNORD_Q);
      const __mmask8 better =
          candidates & (_mm512_cmp_pd_mask(cfv, best[h], _CMP_GT_OQ) | static_cast<__mmask8>(~seen[h]));
      best[h] = _mm512_mask_mov_pd(best[h], better, cfv);
      first[h] = _mm512_mask_mov_epi64(first[h], better, node[h]);
      seen[h] |= candidates;
    }
    node[0] = _mm512_add_epi64(node[0], step);
    node[1] = _mm512_add_epi64(node[1], step);
  }
  if (nan != 0) return choose_in_order;
  double values[lane_count];
  std::int64_t nodes[lane_count];
  _mm512_storeu_pd(values, best[0]);
  _mm512_storeu_pd(values + 8, best[1]);
  _mm512_storeu_si512(nodes, first[0]);
  _mm512_storeu_si512(nodes + 8, first[1]);
  const std::uint32_t lanes_seen = static_cast<std::uint32_t>(seen[0]) | static_cast<std::uint32_t>(seen[1]) << 8;
  std::int64_t winner = no_candidate;
  double top = 0.0;
  for (std::size_t l = 0; l < lane_count; ++l) {
    if ((lanes_seen >> l & 1u) == 0) continue;
    if (winner == no_candidate || values[l] > top || (values[l] == top && nodes[l] < winner)) {
      winner = nodes[l];
      top = values[l];
    }
  }
  return winner;
}

__attribute__((target("avx512f"))) void rough_pick_avx512(const RoughPick& k, RoughState& state) {
  const __m512 maybe = _mm512_set1_ps(k.maybe_limit);
  const __m512 sure = _mm512_set1_ps(k.sure_limit);
  const __m512 D = _mm512_set1_ps(k.D);
  const __m512 E = _mm512_set1_ps(k.E);
  const __m512 u4 = _mm512_set1_ps(0x1p-22f);
  const __m512 abs_D = _mm512_set1_ps(k.D < 0 ? -k.D : k.D);
  const __m512 two = _mm512_set1_ps(2.0f);
  const __m512 tiny = _mm512_set1_ps(0x1p-100f);
  const __m512i none = _mm512_set1_epi32(-1);
  const std::size_t M = k.feature_count;
  const std::size_t block_values = (2 * M + 1) * rough_lanes;
  __m512 floor = _mm512_loadu_ps(state.floor);
  for (std::size_t b = 0; b < k.block_count; ++b) {
    const float* block = k.blocks + b * block_values;
    const __m512i ids = _mm512_loadu_si512(k.ids + b * rough_lanes);
    const __mmask16 kept = _mm512_cmpgt_epi32_mask(ids, none);
    __m512 size = _mm512_setzero_ps();
    bool failed = false;
    for (std::size_t i = 0; i < M; ++i) {
      const __m512 xi = _mm512_set1_ps(k.x[i]);
      const float* lower = block + 2 * rough_lanes * i;
      const __m512 high = _mm512_maskz_max_ps(0xffff, _mm512_load_ps(lower + rough_lanes), xi);
      const __m512 low = _mm512_maskz_min_ps(0xffff, _mm512_load_ps(lower), xi);
      size = _mm512_add_ps(size, _mm512_sub_ps(high, low));
      // Every term is at least 0, so a partial sum is at most the whole.
      if (i % 4 == 3 && i + 1 < M && (_mm512_cmp_ps_mask(size, maybe, _CMP_LE_OQ) & kept) == 0) {
        failed = true;
        break;
      }
    }
    if (failed) continue;
    const __mmask16 may = _mm512_cmp_ps_mask(size, maybe, _CMP_LE_OQ) & kept;
    if (may == 0) continue;
    const __m512 d = _mm512_load_ps(block + 2 * rough_lanes * M);
    const __m512 a = _mm512_div_ps(_mm512_sub_ps(D, size), d);
    const __m512 spread = _mm512_add_ps(_mm512_div_ps(_mm512_add_ps(E, _mm512_mul_ps(u4, _mm512_add_ps(abs_D, size))), d),
                                        _mm512_mul_ps(u4, _mm512_abs_ps(a)));
    const __m512 delta = _mm512_add_ps(_mm512_mul_ps(two, spread), tiny);
    const __mmask16 certain = _mm512_cmp_ps_mask(size, sure, _CMP_LE_OQ) & kept;
    floor = _mm512_mask_max_ps(floor, certain, floor, _mm512_sub_ps(a, delta));
    const __m512 high = _mm512_add_ps(a, delta);
    const __mmask16 listed = may & _mm512_cmp_ps_mask(high, floor, _CMP_GE_OQ);
    if (listed == 0) continue;
    _mm512_mask_compressstoreu_epi32(state.listed + state.count, listed, ids);
    _mm512_mask_compressstoreu_ps(state.bounds + state.count, listed, high);
    state.count += static_cast<std::size_t>(__builtin_popcount(listed));
  }
  _mm512_storeu_ps(state.floor, floor);
}

void measure_avx512(const Batch& k, Corners corners) {
  corners.ordered     ? measure_avx512_blocks<Select::integer>(k)
  : corners.lower_nan ? measure_avx512_blocks<Select::compare>(k)
                      : measure_avx512_blocks<Select::minimum>(k);
}

}  // namespace kernels
}  // namespace vorla
#endif
