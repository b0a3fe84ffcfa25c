#include "vorla_score.h"

#include "args.h"
#include "classification_inputs.h"
#include "marshal.h"
#include "score.h"

#include <cstdint>
#include <limits>

namespace vorla {
namespace {

enum Input { IN_CLASS_COUNT = CLASSIFICATION_INPUT_COUNT, IN_THREADS, INPUT_COUNT };
enum Output { OUT_SCORES, OUT_CLASSES, OUTPUT_COUNT };

struct ScoreArguments : ClassificationArguments {
  std::int32_t class_count = 0;
  std::int32_t threads = 1;  // absent: the calling thread alone
};

// The 1-based position of the first label that does not truncate to a class number
// 1 .. most, or 0 when all do.
std::int64_t first_label_outside(const mxArray* labels, std::int64_t count, std::int32_t most) {
  std::int64_t outside = 0;
  visit_real_data(labels, [&](const auto* data) {
    for (std::int64_t k = 0; k < count && outside == 0; ++k) {
      std::int32_t label = 0;
      if (!truncate_to_int32(static_cast<double>(data[k]), label) || label < 1 || label > most)
        outside = k + 1;
    }
  });
  return outside;
}

bool check_arguments(int nlhs, int nrhs, const mxArray* prhs[], ScoreArguments& a, MessageBuffer& m) {
  if (nrhs != IN_THREADS && nrhs != INPUT_COUNT)
    return m.fail("%s: %d or %d input arguments required.", static_cast<int>(IN_THREADS), static_cast<int>(INPUT_COUNT));

  if (check_classification_inputs(prhs, a, m)) return true;

  double value = 0.0;
  if (read_scalar(Argument{prhs[IN_CLASS_COUNT], IN_CLASS_COUNT + 1, "class_count"}, m, value)) return true;
  if (!truncate_to_int32(value, a.class_count) || a.class_count < 0 || value != a.class_count)
    return m.fail("%s: 8th input argument (class_count) must be a whole number from 0 to 2147483647.");
  // class_count 0 asks for the classes alone, which may then be any class numbers.
  const std::int32_t most = a.class_count > 0 ? a.class_count : std::numeric_limits<std::int32_t>::max();
  const std::int64_t outside = first_label_outside(prhs[IN_NLABELS], a.template_count, most);
  if (outside != 0 && a.class_count > 0)
    return m.fail("%s: 2nd input argument (NLabels) must hold class numbers 1 to class_count (%d); entry %lld is not one.",
                  a.class_count, static_cast<long long>(outside));
  if (outside != 0)
    return m.fail("%s: 2nd input argument (NLabels) must hold class numbers from 1; entry %lld is not one.",
                  static_cast<long long>(outside));
  if (nrhs == INPUT_COUNT) {
    if (read_scalar(Argument{prhs[IN_THREADS], IN_THREADS + 1, "threads"}, m, value)) return true;
    if (!truncate_to_int32(value, a.threads) || a.threads < 0 || value != a.threads)
      return m.fail("%s: 9th input argument (threads) must be a whole number from 0 to 2147483647.");
  }

  if (nlhs > OUTPUT_COUNT) return m.fail("%s: at most %d output arguments allowed.", static_cast<int>(OUTPUT_COUNT));
  return false;
}

host::Outcome evaluate(int nlhs, mxArray* plhs[], const mxArray* prhs[], ScoreArguments& a) {
  constexpr host::Outcome out_of_memory = host::Outcome::out_of_memory;
  double** template_rows = nullptr;
  double* node_labels = nullptr;
  ColumnMatrix patterns;
  if (!open_classification_inputs(prhs, a, template_rows, node_labels, patterns)) return out_of_memory;

  // Both outputs are made before scoring, so that a failure leaves neither half-made.
  mxArray* scores = host::create_double_matrix(a.pattern_count, a.class_count);
  if (!scores) return out_of_memory;
  mxArray* classes = nlhs > OUT_CLASSES ? host::create_double_matrix(a.pattern_count, 1) : nullptr;
  if (nlhs > OUT_CLASSES && !classes) {
    mxDestroyArray(scores);
    return out_of_memory;
  }
  const host::Outcome scored =
      score(a.template_count, a.feature_count, template_rows, node_labels, a.D, a.vigilance, a.alpha, a.ct_option,
            a.pattern_count, patterns, a.class_count, mxGetPr(scores), classes ? mxGetPr(classes) : nullptr,
            a.threads);
  if (scored != host::Outcome::done) {
    mxDestroyArray(scores);
    if (classes) mxDestroyArray(classes);
    return scored;
  }
  plhs[OUT_SCORES] = scores;
  if (classes) plhs[OUT_CLASSES] = classes;
  return host::Outcome::done;
}

}  // namespace

void vorla_score(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  MessageBuffer messages("VORLA_SCORE");
  ScoreArguments arguments;
  if (check_arguments(nlhs, nrhs, prhs, arguments, messages)) {
    mexErrMsgTxt(messages.text());
    return;
  }
  const host::Outcome outcome = evaluate(nlhs, plhs, prhs, arguments);
  if (outcome == host::Outcome::done) return;
  plhs[OUT_SCORES] = nullptr;
  end_failed_call(outcome, messages);
}

}  // namespace vorla
