#include "training_call.h"

#include "marshal.h"

#include <limits>

namespace vorla {
namespace {

Argument input(const mxArray* prhs[], TrainingInput which) {
  static const char* const names[] = {"Patterns",      "PLabels",
                                      "D",             "vigilance",
                                      "alpha",         "learning_rate",
                                      "max_list_presentations", "trim_option",
                                      "ct_option",     "oflag"};
  return {prhs[which], which + 1, names[which]};
}

}  // namespace

bool check_training_inputs(const mxArray* prhs[], TrainingArguments& a, MessageBuffer& m, bool missing_allowed,
                           bool vigilance_vector) {
  const Argument patterns = input(prhs, IN_PATTERNS);
  host::Shape shape;
  if (read_matrix_shape(patterns, std::numeric_limits<std::int32_t>::max() / 2, m, shape)) return true;
  a.pattern_count = static_cast<std::int32_t>(shape.rows);
  a.feature_count = static_cast<std::int32_t>(shape.cols);
  // A pattern that is not a finite point never matches a node and would never let training settle;
  // where NaN marks a missing feature, only Inf is such a value.
  if (missing_allowed && !all_finite_or_nan(patterns.array, shape.rows * shape.cols))
    return m.fail("%s: 1st input argument (Patterns) must not contain Inf values (NaN marks a missing feature).");
  if (!missing_allowed && !all_finite(patterns.array, shape.rows * shape.cols))
    return m.fail("%s: 1st input argument (Patterns) must not contain NaN or Inf values.");

  if (check_label_vector(input(prhs, IN_PLABELS), a.pattern_count, m)) return true;
  if (read_network_parameters(prhs, m, a.D, a.vigilance, a.alpha, vigilance_vector ? &a.vigilances : nullptr))
    return true;

  double value = 0.0;
  if (read_scalar(input(prhs, IN_LEARNING_RATE), m, a.learning_rate)) return true;
  if (!(a.learning_rate > 0) || a.learning_rate > 1)
    return m.fail("%s: 6th input argument (learning_rate) must be in (0.0, 1.0].");

  if (read_scalar(input(prhs, IN_MAX_LIST_PRESENTATIONS), m, value)) return true;
  // A cap beyond the 32-bit range is no practical cap.
  if (value >= 2147483648.0) a.max_list_presentations = std::numeric_limits<std::int32_t>::max();
  else if (!truncate_to_int32(value, a.max_list_presentations)) a.max_list_presentations = 0;
  if (a.max_list_presentations < 1)
    return m.fail("%s: 7th input argument (max_list_presentations) must  be greater than 0.");

  if (read_switch(input(prhs, IN_TRIM_OPTION), m, a.trim_option)) return true;
  if (read_switch(input(prhs, IN_CT_OPTION), m, a.ct_option)) return true;

  if (read_scalar(input(prhs, IN_OFLAG), m, value,
                  {"%s: 10th input argument (oflag) must be scalar.", "%s: 10th input argument must be scalar."}))
    return true;
  if (!truncate_to_int32(value, a.oflag) || a.oflag < 0 || a.oflag > 4)
    return m.fail("%s: 10th input argument (oflag) must be 0,1,2,3 or 4.");
  return false;
}

host::Outcome run_training(mxArray* plhs[], const mxArray* prhs[], const TrainingArguments& a,
                           const TrainingExtras& extras) {
  constexpr host::Outcome out_of_memory = host::Outcome::out_of_memory;
  std::int32_t pattern_count = a.pattern_count, feature_count = a.feature_count;
  double** patterns = mxArray2D_to_cArray2D(pattern_count, feature_count, prhs[IN_PATTERNS]);
  if (!patterns) return out_of_memory;
  double* labels = mxArray1D_to_cArray1D(pattern_count, prhs[IN_PLABELS]);
  if (!labels) return out_of_memory;

  std::int32_t template_count = 0;
  double** template_rows = nullptr;
  double* node_labels = nullptr;
  std::int32_t list_presentations = 0;
  const host::Outcome trained =
      train(a.pattern_count, a.feature_count, patterns, labels, a.D, a.vigilance, a.alpha, a.learning_rate,
            a.max_list_presentations, a.trim_option, a.ct_option, template_count, template_rows, node_labels,
            list_presentations, a.oflag, extras);
  if (trained != host::Outcome::done) return trained;

  plhs[OUT_TEMPLATES] = cArray2D_to_mxArray2D(template_count, 2 * a.feature_count, template_rows);
  if (!plhs[OUT_TEMPLATES]) return out_of_memory;
  plhs[OUT_NLABELS] = cArray1D_to_mxArray1D(template_count, node_labels);
  if (!plhs[OUT_NLABELS]) return out_of_memory;
  auto* count = static_cast<double*>(host::allocate(1, sizeof(double)));
  if (!count) return out_of_memory;
  *count = list_presentations;
  plhs[OUT_LIST_PRESENTATIONS] = cArray1D_to_mxArray1D(1, count);
  return plhs[OUT_LIST_PRESENTATIONS] ? host::Outcome::done : out_of_memory;
}

}  // namespace vorla
