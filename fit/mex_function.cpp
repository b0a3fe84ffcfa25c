#include "vorla_fit.h"

extern "C" VORLA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  vorla::vorla_fit(nlhs, plhs, nrhs, prhs);
}
