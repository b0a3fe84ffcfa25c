// What the training entry points share: the ten inputs they take first, their checks, and
// the run from the converted inputs to the three outputs Templates, NLabels and
// list_presentations.
#ifndef VORLA_TRAINING_CALL_H
#define VORLA_TRAINING_CALL_H

#include "args.h"
#include "host.h"
#include "train.h"

#include <cstdint>
#include <vector>

namespace vorla {

enum TrainingInput {
  IN_PATTERNS,
  IN_PLABELS,
  IN_D,
  IN_VIGILANCE,
  IN_ALPHA,
  IN_LEARNING_RATE,
  IN_MAX_LIST_PRESENTATIONS,
  IN_TRIM_OPTION,
  IN_CT_OPTION,
  IN_OFLAG,
  TRAINING_INPUT_COUNT
};
enum TrainingOutput { OUT_TEMPLATES, OUT_NLABELS, OUT_LIST_PRESENTATIONS, TRAINING_OUTPUT_COUNT };

struct TrainingArguments {
  std::int32_t pattern_count = 0;
  std::int32_t feature_count = 0;
  double D = 0.0;
  double vigilance = 0.0;
  // Where the call may give one vigilance per network: every value given (one for a scalar).
  std::vector<double> vigilances;
  double alpha = 0.0;
  double learning_rate = 0.0;
  std::int32_t max_list_presentations = 0;
  std::int32_t trim_option = 0;
  std::int32_t ct_option = 0;
  std::int32_t oflag = 0;
};

// Checks the ten training inputs in order; true at the first fault, whose message is then
// in the buffer. missing_allowed: Patterns may hold NaN, each a missing feature.
// vigilance_vector: vigilance may be a vector (see TrainingArguments::vigilances).
bool check_training_inputs(const mxArray* prhs[], TrainingArguments& a, MessageBuffer& m,
                           bool missing_allowed = false, bool vigilance_vector = false);

// Converts Patterns and PLabels, trains and sets the three training outputs.
host::Outcome run_training(mxArray* plhs[], const mxArray* prhs[], const TrainingArguments& a,
                           const TrainingExtras& extras = {});

}  // namespace vorla

#endif
