#include "vorla_fit.h"

#include "args.h"
#include "marshal.h"
#include "train.h"

#include <cstdint>
#include <limits>

namespace vorla {
namespace {

enum Input {
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
  INPUT_COUNT
};
enum Output { OUT_TEMPLATES, OUT_NLABELS, OUT_LIST_PRESENTATIONS, OUTPUT_COUNT };

struct FitArguments {
  std::int32_t pattern_count = 0;
  std::int32_t feature_count = 0;
  double D = 0.0;
  double vigilance = 0.0;
  double alpha = 0.0;
  double learning_rate = 0.0;
  std::int32_t max_list_presentations = 0;
  std::int32_t trim_option = 0;
  std::int32_t ct_option = 0;
  std::int32_t oflag = 0;
};

Argument input(const mxArray* prhs[], Input which) {
  static const char* const names[] = {"Patterns",      "PLabels",
                                      "D",             "vigilance",
                                      "alpha",         "learning_rate",
                                      "max_list_presentations", "trim_option",
                                      "ct_option",     "oflag"};
  return {prhs[which], which + 1, names[which]};
}

// Checks every input in order and then the output count; true at the first fault, whose
// message is then in the buffer.
bool check_arguments(int nlhs, int nrhs, const mxArray* prhs[], FitArguments& a, MessageBuffer& m) {
  if (nrhs != INPUT_COUNT) return m.fail("%s: %d input arguments required.", static_cast<int>(INPUT_COUNT));

  const Argument patterns = input(prhs, IN_PATTERNS);
  host::Shape shape;
  if (read_matrix_shape(patterns, std::numeric_limits<std::int32_t>::max() / 2, m, shape)) return true;
  a.pattern_count = static_cast<std::int32_t>(shape.rows);
  a.feature_count = static_cast<std::int32_t>(shape.cols);
  // A pattern that is not a finite point never matches a node and would never let training settle.
  if (!all_finite(patterns.array, shape.rows * shape.cols))
    return m.fail("%s: 1st input argument (Patterns) must not contain NaN or Inf values.");

  if (check_label_vector(input(prhs, IN_PLABELS), a.pattern_count, m)) return true;
  if (read_network_parameters(prhs, m, a.D, a.vigilance, a.alpha)) return true;

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

  if (nlhs != OUTPUT_COUNT) return m.fail("%s: %d output arguments required.", static_cast<int>(OUTPUT_COUNT));
  return false;
}

// Converts, trains and builds the outputs.
host::Outcome fit(mxArray* plhs[], const mxArray* prhs[], FitArguments& a) {
  constexpr host::Outcome out_of_memory = host::Outcome::out_of_memory;
  double** patterns = mxArray2D_to_cArray2D(a.pattern_count, a.feature_count, prhs[IN_PATTERNS]);
  if (!patterns) return out_of_memory;
  double* labels = mxArray1D_to_cArray1D(a.pattern_count, prhs[IN_PLABELS]);
  if (!labels) return out_of_memory;

  std::int32_t template_count = 0;
  double** template_rows = nullptr;
  double* node_labels = nullptr;
  std::int32_t list_presentations = 0;
  const host::Outcome trained =
      train(a.pattern_count, a.feature_count, patterns, labels, a.D, a.vigilance, a.alpha, a.learning_rate,
            a.max_list_presentations, a.trim_option, a.ct_option, template_count, template_rows, node_labels,
            list_presentations, a.oflag);
  if (trained != host::Outcome::done) return trained;

  plhs[OUT_TEMPLATES] = cArray2D_to_mxArray2D(template_count, 2 * a.feature_count, template_rows);
  if (!plhs[OUT_TEMPLATES]) return out_of_memory;
  plhs[OUT_NLABELS] = cArray1D_to_mxArray1D(template_count, node_labels);
  if (!plhs[OUT_NLABELS]) return out_of_memory;
  auto* count = static_cast<double*>(mxCalloc(1, sizeof(double)));
  if (!count) return out_of_memory;
  *count = list_presentations;
  plhs[OUT_LIST_PRESENTATIONS] = cArray1D_to_mxArray1D(1, count);
  return plhs[OUT_LIST_PRESENTATIONS] ? host::Outcome::done : out_of_memory;
}

}  // namespace

void vorla_fit(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  MessageBuffer messages("VORLA_FIT");
  FitArguments arguments;
  if (check_arguments(nlhs, nrhs, prhs, arguments, messages)) {
    mexErrMsgTxt(messages.text());
    return;
  }
  const host::Outcome outcome = fit(plhs, prhs, arguments);
  if (outcome == host::Outcome::done) return;
  // A failed call hands back no outputs; the host reclaims what they hold.
  for (int k = 0; k < OUTPUT_COUNT; ++k) plhs[k] = nullptr;
  end_failed_call(outcome, messages);
}

}  // namespace vorla
