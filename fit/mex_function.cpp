#include "vorla_fit.h"

extern "C" __attribute__((visibility("default"))) void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                                                   const mxArray* prhs[]) {
  vorla::vorla_fit(nlhs, plhs, nrhs, prhs);
}
