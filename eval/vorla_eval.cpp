#include "vorla_eval.h"

#include "args.h"
#include "classification_inputs.h"
#include "classify.h"
#include "marshal.h"

#include <cstdint>
#include <limits>

namespace vorla {
namespace {

enum Input { IN_UNKNOWN_LABEL = CLASSIFICATION_INPUT_COUNT, IN_OFLAG, INPUT_COUNT };
enum Output { OUT_PREDICTIONS, OUTPUT_COUNT };

struct EvalArguments : ClassificationArguments {
  std::int32_t unknown_label = 0;
  std::int32_t oflag = 0;
};

bool check_arguments(int nlhs, int nrhs, const mxArray* prhs[], EvalArguments& a, MessageBuffer& m) {
  if (nrhs != INPUT_COUNT) return m.fail("%s: %d input arguments required.", static_cast<int>(INPUT_COUNT));

  if (check_classification_inputs(prhs, a, m)) return true;

  double value = 0.0;
  if (read_scalar(Argument{prhs[IN_UNKNOWN_LABEL], IN_UNKNOWN_LABEL + 1, "unknown_label"}, m, value)) return true;
  if (!truncate_to_int32(value, a.unknown_label))
    return m.fail("%s: 8th input argument (unknown_label) must be a finite value in the 32-bit integer range.");

  if (read_scalar(Argument{prhs[IN_OFLAG], IN_OFLAG + 1, "oflag"}, m, value,
                  {"%s: 9th input argument (oflag) must be scalar.", "%s: 9th input argument must be scalar."}))
    return true;
  if (!truncate_to_int32(value, a.oflag) || a.oflag < 0 || a.oflag > 3)
    return m.fail("%s: 9th input argument (oflag) must be 0,1,2 or 3.");

  if (nlhs != OUTPUT_COUNT) return m.fail("%s: %d output argument required.", static_cast<int>(OUTPUT_COUNT));
  return false;
}

host::Outcome evaluate(mxArray* plhs[], const mxArray* prhs[], EvalArguments& a) {
  constexpr host::Outcome out_of_memory = host::Outcome::out_of_memory;
  double** template_rows = nullptr;
  double* node_labels = nullptr;
  ColumnMatrix patterns;
  if (!open_classification_inputs(prhs, a, template_rows, node_labels, patterns)) return out_of_memory;

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
