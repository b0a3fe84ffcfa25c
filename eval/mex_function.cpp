#include "vorla_eval.h"

extern "C" VORLA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  vorla::vorla_eval(nlhs, plhs, nrhs, prhs);
}
