// A yardstick for bench/compare.m, not part of vorla: the classification of vorla_eval as a
// plain AVX2 kernel over the same boxes, with nothing around it. The boxes go into blocks of
// 16 nodes, coordinate by coordinate (structure of arrays); each pattern is read straight
// from the host's columns and measured against one block per step, four vectors of four
// nodes; every lane gets both divisions, mfv and cfv; the first node with the greatest cfv
// among those that pass wins. No argument checks, no trace, no counts: call it only as
// compare.m does, with valid real double inputs and ct_option 0 or 1.
//
//   Predictions = yardstick_eval (Templates, NLabels, D, vigilance, alpha, ct_option,
//                                 Patterns, unknown_label)
//
// The arithmetic is that of vorla_eval (sizes summed in index order from 0.0, the same
// choice of high and low for numbers, the same divisions), so the labels come out the same.
#include "host.h"

#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

constexpr std::size_t lanes = 16;
constexpr std::size_t width = 4;  // doubles per AVX2 vector

// 64-byte aligned doubles on the free store.
struct Aligned {
  explicit Aligned(std::size_t n) : raw(new double[n + 8]) {
    const auto address = reinterpret_cast<std::uintptr_t>(raw.get());
    data = reinterpret_cast<double*>((address + 63) & ~static_cast<std::uintptr_t>(63));
  }
  std::unique_ptr<double[]> raw;
  double* data;
};

__attribute__((target("avx2"))) void classify(const double* templates, std::size_t K, const double* labels, double D, double rho, double alpha, bool ct,
                                              const double* patterns, std::size_t N, std::size_t M,
                                              double unknown_label, double* predictions) {
  const std::size_t blocks = (K + lanes - 1) / lanes;
  // Per block, per coordinate: 16 lower corners, then 16 upper corners. Unused lanes of the
  // last block hold a box no pattern passes (size +Inf).
  Aligned boxes(blocks * 2 * lanes * M + 1);
  Aligned choice_denominators(blocks * lanes + 1);
  const double inf = INFINITY;
  for (std::size_t j = 0; j < blocks * lanes; ++j) {
    const std::size_t b = j / lanes, l = j % lanes;
    double size = 0.0;
    for (std::size_t i = 0; i < M; ++i) {
      double* lower = boxes.data + (b * M + i) * 2 * lanes;
      const double lo = j < K ? templates[i * K + j] : -inf;
      const double up = j < K ? templates[(M + i) * K + j] : inf;
      lower[l] = lo;
      lower[lanes + l] = up;
      size = size + (up - lo);
    }
    choice_denominators.data[j] = (D - size) + alpha;
  }

  const __m256d d = _mm256_set1_pd(D);
  const __m256d r = _mm256_set1_pd(rho);
  const __m256d tu = _mm256_set1_pd(D / (alpha + 2 * D));
  for (std::size_t p = 0; p < N; ++p) {
    std::int64_t winner = -1;
    double best = 0.0;
    for (std::size_t b = 0; b < blocks; ++b) {
      const double* block = boxes.data + b * M * 2 * lanes;
      __m256d size[lanes / width];
      for (__m256d& s : size) s = _mm256_setzero_pd();
      for (std::size_t i = 0; i < M; ++i) {
        const __m256d x = _mm256_set1_pd(patterns[i * N + p]);
        const double* lower = block + i * 2 * lanes;
        for (std::size_t q = 0; q < lanes / width; ++q) {
          const __m256d high = _mm256_max_pd(_mm256_load_pd(lower + lanes + width * q), x);
          const __m256d low = _mm256_min_pd(_mm256_load_pd(lower + width * q), x);
          size[q] = _mm256_add_pd(size[q], _mm256_sub_pd(high, low));
        }
      }
      for (std::size_t q = 0; q < lanes / width; ++q) {
        const __m256d numerator = _mm256_sub_pd(d, size[q]);
        const __m256d mfv = _mm256_div_pd(numerator, d);
        alignas(32) double cfv[width];
        _mm256_store_pd(cfv, _mm256_div_pd(numerator, _mm256_load_pd(choice_denominators.data + b * lanes + width * q)));
        __m256d pass = _mm256_cmp_pd(mfv, r, _CMP_GE_OQ);
        if (ct) pass = _mm256_and_pd(pass, _mm256_cmp_pd(_mm256_load_pd(cfv), tu, _CMP_GE_OQ));
        for (int bits = _mm256_movemask_pd(pass); bits != 0; bits &= bits - 1) {
          const int l = __builtin_ctz(static_cast<unsigned>(bits));
          if (winner < 0 || best < cfv[l]) {
            winner = static_cast<std::int64_t>(b * lanes + width * q) + l;
            best = cfv[l];
          }
        }
      }
    }
    predictions[p] = winner < 0 ? unknown_label : static_cast<double>(static_cast<std::int32_t>(labels[winner]));
  }
}

}  // namespace

extern "C" VORLA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 8 || nlhs > 1) mexErrMsgTxt("yardstick_eval: 8 inputs and 1 output");
  const vorla::host::Shape t = vorla::host::shape_of(prhs[0]);
  const vorla::host::Shape p = vorla::host::shape_of(prhs[6]);
  const auto K = static_cast<std::size_t>(t.rows), M = static_cast<std::size_t>(t.cols / 2);
  const auto N = static_cast<std::size_t>(p.rows);
  if (static_cast<std::size_t>(p.cols) != M) mexErrMsgTxt("yardstick_eval: Patterns must have M columns");
  mwSize dims[2] = {static_cast<mwSize>(N), 1};
  plhs[0] = mxCreateNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL);
  classify(mxGetPr(prhs[0]), K, mxGetPr(prhs[1]), mxGetScalar(prhs[2]),
           mxGetScalar(prhs[3]), mxGetScalar(prhs[4]), mxGetScalar(prhs[5]) != 0, mxGetPr(prhs[6]), N, M,
           std::trunc(mxGetScalar(prhs[7])), mxGetPr(plhs[0]));
}
