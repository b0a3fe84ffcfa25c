#include "vorla_learn.h"

extern "C" VORLA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  vorla::vorla_learn(nlhs, plhs, nrhs, prhs);
}
