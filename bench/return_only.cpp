// A yardstick for bench/compare.m, not part of vorla: the least that a MEX file pays to hand
// N doubles back to the host, as vorla_eval hands back its predictions (an array taken
// uncleared and filled). Octave copies every output into a value of its own on return,
// which this measures together with the array.
//
//   Predictions = return_only (Patterns)    % rows (Patterns) x 1, every value 1
#include "host.h"

#include <algorithm>
#include <cstdint>

extern "C" VORLA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 1 || nlhs > 1) mexErrMsgTxt("return_only: 1 input and 1 output");
  const auto N = static_cast<std::int32_t>(vorla::host::shape_of(prhs[0]).rows);
  plhs[0] = vorla::host::create_double_matrix(N, 1);
  std::fill_n(mxGetPr(plhs[0]), N, 1.0);
}
