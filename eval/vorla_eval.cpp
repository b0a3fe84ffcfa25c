#include "vorla_eval.h"

#include "args.h"
#include "classify.h"
#include "marshal.h"

#include <cstdint>
#include <limits>

namespace vorla {
namespace {

enum Input {
  IN_TEMPLATES,
  IN_NLABELS,
  IN_D,
  IN_VIGILANCE,
  IN_ALPHA,
  IN_CT_OPTION,
  IN_PATTERNS,
  IN_UNKNOWN_LABEL,
  IN_OFLAG,
  INPUT_COUNT
};
enum Output { OUT_PREDICTIONS, OUTPUT_COUNT };

struct EvalArguments {
  std::int32_t template_count = 0;
  std::int32_t feature_count = 0;
  std::int32_t template_column_count = 0;
  std::int32_t pattern_count = 0;
  double D = 0.0;
  double vigilance = 0.0;
  double alpha = 0.0;
  std::int32_t ct_option = 0;
  std::int32_t unknown_label = 0;
  std::int32_t oflag = 0;
};

Argument input(const mxArray* prhs[], Input which) {
  static const char* const names[] = {"Templates", "NLabels",  "D",        "vigilance",    "alpha",
                                      "ct_option", "Patterns", "unknown_label", "oflag"};
  return {prhs[which], which + 1, names[which]};
}

constexpr std::int64_t max_count = std::numeric_limits<std::int32_t>::max();

bool check_arguments(int nlhs, int nrhs, const mxArray* prhs[], EvalArguments& a, MessageBuffer& m) {
  if (nrhs != INPUT_COUNT) return m.fail("%s: %d input arguments required.", static_cast<int>(INPUT_COUNT));

  const Argument templates = input(prhs, IN_TEMPLATES);
  host::Shape shape;
  if (read_matrix_shape(templates, max_count, m, shape)) return true;
  a.template_count = static_cast<std::int32_t>(shape.rows);
  a.template_column_count = static_cast<std::int32_t>(shape.cols);
  a.feature_count = a.template_column_count / 2;
  // An odd last column is never read, so it is not screened either.
  if (!all_finite(templates.array, shape.rows * 2 * a.feature_count))
    return m.fail("%s: 1st input argument (Templates) must not contain NaN or Inf values.");

  if (check_label_vector(input(prhs, IN_NLABELS), a.template_count, m)) return true;
  if (read_network_parameters(prhs, m, a.D, a.vigilance, a.alpha)) return true;
  if (read_switch(input(prhs, IN_CT_OPTION), m, a.ct_option)) return true;

  if (read_matrix_shape(input(prhs, IN_PATTERNS), max_count / 2, m, shape)) return true;
  a.pattern_count = static_cast<std::int32_t>(shape.rows);
  if (shape.cols != a.feature_count)
    return m.fail("%s: 7th input argument (Patterns) must be of type  %dx%d.", a.pattern_count, a.feature_count);

  double value = 0.0;
  if (read_scalar(input(prhs, IN_UNKNOWN_LABEL), m, value)) return true;
  if (!truncate_to_int32(value, a.unknown_label))
    return m.fail("%s: 8th input argument (unknown_label) must be a finite value in the 32-bit integer range.");

  if (read_scalar(input(prhs, IN_OFLAG), m, value,
                  {"%s: 9th input argument (oflag) must be scalar.", "%s: 9th input argument must be scalar."}))
    return true;
  if (!truncate_to_int32(value, a.oflag) || a.oflag < 0 || a.oflag > 3)
    return m.fail("%s: 9th input argument (oflag) must be 0,1,2 or 3.");

  if (nlhs != OUTPUT_COUNT) return m.fail("%s: %d output argument required.", static_cast<int>(OUTPUT_COUNT));
  return false;
}

host::Outcome evaluate(mxArray* plhs[], const mxArray* prhs[], EvalArguments& a) {
  constexpr host::Outcome out_of_memory = host::Outcome::out_of_memory;
  double** template_rows = mxArray2D_to_cArray2D(a.template_count, a.template_column_count, prhs[IN_TEMPLATES]);
  if (!template_rows) return out_of_memory;
  double* node_labels = mxArray1D_to_cArray1D(a.template_count, prhs[IN_NLABELS]);
  if (!node_labels) return out_of_memory;
  // The patterns are read once, in order: classification takes them from the host's own
  // columns, a group at a time, with no copy of the whole matrix.
  ColumnMatrix patterns;
  if (!patterns.open(prhs[IN_PATTERNS])) return out_of_memory;

  // The predictions go straight into the output array: a second block of that size, copied
  // over at the end, cost a fresh block's first touch on every large call.
  mxArray* output = host::create_double_matrix(a.pattern_count, 1);
  if (!output) return out_of_memory;
  const host::Outcome classified =
      classify(a.template_count, a.feature_count, template_rows, node_labels, a.D, a.vigilance, a.alpha,
               a.ct_option, a.pattern_count, patterns, a.unknown_label, mxGetPr(output), a.oflag);
  if (classified != host::Outcome::done) {
    mxDestroyArray(output);
    return classified;
  }
  plhs[OUT_PREDICTIONS] = output;
  return host::Outcome::done;
}

}  // namespace

void vorla_eval(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  MessageBuffer messages("VORLA_EVAL");
  EvalArguments arguments;
  if (check_arguments(nlhs, nrhs, prhs, arguments, messages)) {
    mexErrMsgTxt(messages.text());
    return;
  }
  const host::Outcome outcome = evaluate(plhs, prhs, arguments);
  if (outcome == host::Outcome::done) return;
  plhs[OUT_PREDICTIONS] = nullptr;
  end_failed_call(outcome, messages);
}

}  // namespace vorla
