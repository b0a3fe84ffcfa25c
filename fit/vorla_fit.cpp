#include "vorla_fit.h"

#include "args.h"
#include "training_call.h"

namespace vorla {
namespace {

// Checks the input count, every input in order and then the output count; true at the
// first fault, whose message is then in the buffer.
bool check_arguments(int nlhs, int nrhs, const mxArray* prhs[], TrainingArguments& a, MessageBuffer& m) {
  if (nrhs != TRAINING_INPUT_COUNT)
    return m.fail("%s: %d input arguments required.", static_cast<int>(TRAINING_INPUT_COUNT));
  if (check_training_inputs(prhs, a, m)) return true;
  if (nlhs != TRAINING_OUTPUT_COUNT)
    return m.fail("%s: %d output arguments required.", static_cast<int>(TRAINING_OUTPUT_COUNT));
  return false;
}

}  // namespace

void vorla_fit(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  MessageBuffer messages("VORLA_FIT");
  TrainingArguments arguments;
  if (check_arguments(nlhs, nrhs, prhs, arguments, messages)) {
    mexErrMsgTxt(messages.text());
    return;
  }
  const host::Outcome outcome = run_training(plhs, prhs, arguments);
  if (outcome == host::Outcome::done) return;
  // A failed call hands back no outputs; the host reclaims what they hold.
  for (int k = 0; k < TRAINING_OUTPUT_COUNT; ++k) plhs[k] = nullptr;
  end_failed_call(outcome, messages);
}

}  // namespace vorla
