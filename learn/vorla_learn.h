#ifndef VORLA_LEARN_H
#define VORLA_LEARN_H

#include "host.h"

namespace vorla {

// The model layer's training call: [Templates, NLabels, list_presentations, history] =
// vorla_learn(Patterns, PLabels, D, vigilance, alpha, learning_rate, max_list_presentations,
// trim_option, ct_option, oflag, match_tracking, display, Templates0, NLabels0), the last
// four optional together.
void vorla_learn(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

}  // namespace vorla

#endif
