#include "vorla_score.h"

extern "C" VORLA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  vorla::vorla_score(nlhs, plhs, nrhs, prhs);
}
