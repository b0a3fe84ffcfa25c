#ifndef VORLA_SCORE_ENTRY_H
#define VORLA_SCORE_ENTRY_H

#include "host.h"

namespace vorla {

// The score call: [Scores, Classes] = vorla_score(Templates, NLabels, D, vigilance, alpha,
// ct_option, Patterns, class_count[, threads]).
void vorla_score(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

}  // namespace vorla

#endif
