#include "vorla_eval.h"

extern "C" __attribute__((visibility("default"))) void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                                                   const mxArray* prhs[]) {
  vorla::vorla_eval(nlhs, plhs, nrhs, prhs);
}
