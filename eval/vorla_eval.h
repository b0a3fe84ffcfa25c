#ifndef VORLA_EVAL_H
#define VORLA_EVAL_H

#include "host.h"

namespace vorla {

// The performance call: Predictions = vorla_eval(Templates, NLabels, D, vigilance, alpha,
// ct_option, Patterns, unknown_label, oflag).
void vorla_eval(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

}  // namespace vorla

#endif
