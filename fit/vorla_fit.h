#ifndef VORLA_FIT_H
#define VORLA_FIT_H

#include "host.h"

namespace vorla {

// The training call: [Templates, NLabels, list_presentations] = vorla_fit(Patterns, PLabels,
// D, vigilance, alpha, learning_rate, max_list_presentations, trim_option, ct_option, oflag).
void vorla_fit(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

}  // namespace vorla

#endif
