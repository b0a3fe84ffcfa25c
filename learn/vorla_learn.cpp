#include "vorla_learn.h"

#include "args.h"
#include "marshal.h"
#include "training_call.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace vorla {
namespace {

enum LearnInput { IN_MATCH_TRACKING = TRAINING_INPUT_COUNT, IN_DISPLAY, IN_TEMPLATES0, IN_NLABELS0, LEARN_INPUT_COUNT };
enum LearnOutput { OUT_HISTORY = TRAINING_OUTPUT_COUNT, LEARN_OUTPUT_COUNT };

struct LearnArguments {
  TrainingArguments training;
  std::int32_t match_tracking = 0;
  std::int32_t display = 0;
  std::int32_t given_count = 0;  // K0, the rows of Templates0
};

// True when every real element is a whole number (integer and logical classes always are).
bool all_whole(const mxArray* array, std::int64_t element_count) {
  bool whole = true;
  visit_real_data(array, [&](const auto* data) {
    using Element = std::remove_const_t<std::remove_pointer_t<decltype(data)>>;
    if constexpr (std::is_floating_point_v<Element>) {
      for (std::int64_t k = 0; k < element_count && whole; ++k) whole = std::trunc(data[k]) == data[k];
    }
  });
  return whole;
}

// The given nodes: Templates0 as K0 rows of 2M finite values (0 x 0 for none) and NLabels0
// as K0 whole-number labels. A box is taken as it is, like a template of vorla_eval: slow
// learning can leave a lower corner an ulp above its upper one, and such a box must come
// back in.
bool check_given_nodes(const mxArray* prhs[], std::int32_t feature_count, std::int32_t& given_count,
                       MessageBuffer& m) {
  const Argument templates{prhs[IN_TEMPLATES0], IN_TEMPLATES0 + 1, "Templates0"};
  host::Shape shape;
  if (read_matrix_shape(templates, std::numeric_limits<std::int32_t>::max(), m, shape)) return true;
  const std::int64_t row_length = 2 * static_cast<std::int64_t>(feature_count);
  const bool none = shape.rows == 0 && shape.cols == 0;
  if (!none && shape.cols != row_length)
    return m.fail("%s: 13th input argument (Templates0) must have %lld columns, each row [lower upper] of a node, or "
                  "be empty (0x0).",
                  static_cast<long long>(row_length));
  given_count = static_cast<std::int32_t>(shape.rows);
  if (!all_finite(templates.array, shape.rows * shape.cols))
    return m.fail("%s: 13th input argument (Templates0) must not contain NaN or Inf values.");

  const Argument labels{prhs[IN_NLABELS0], IN_NLABELS0 + 1, "NLabels0"};
  if (given_count == 0) {
    if (refuse_class(labels, m)) return true;
    const host::Shape label_shape = host::shape_of(labels.array);
    if (label_shape.dimension_count == 2 && label_shape.rows * label_shape.cols == 0) return false;
  }
  if (check_label_vector(labels, given_count, m)) return true;
  if (!all_whole(labels.array, given_count))
    return m.fail("%s: 14th input argument (NLabels0) must hold whole-number labels.");
  return false;
}

bool check_arguments(int nlhs, int nrhs, const mxArray* prhs[], LearnArguments& a, MessageBuffer& m) {
  if (nrhs != TRAINING_INPUT_COUNT && nrhs != LEARN_INPUT_COUNT)
    return m.fail("%s: %d or %d input arguments required.", static_cast<int>(TRAINING_INPUT_COUNT),
                  static_cast<int>(LEARN_INPUT_COUNT));
  if (check_training_inputs(prhs, a.training, m, true)) return true;
  if (nrhs == LEARN_INPUT_COUNT) {
    if (read_switch({prhs[IN_MATCH_TRACKING], IN_MATCH_TRACKING + 1, "match_tracking"}, m, a.match_tracking))
      return true;
    if (read_switch({prhs[IN_DISPLAY], IN_DISPLAY + 1, "display"}, m, a.display)) return true;
    if (check_given_nodes(prhs, a.training.feature_count, a.given_count, m)) return true;
  }
  if (nlhs != TRAINING_OUTPUT_COUNT && nlhs != LEARN_OUTPUT_COUNT)
    return m.fail("%s: %d or %d output arguments required.", static_cast<int>(TRAINING_OUTPUT_COUNT),
                  static_cast<int>(LEARN_OUTPUT_COUNT));
  return false;
}

host::Outcome learn(int nlhs, mxArray* plhs[], const mxArray* prhs[], const LearnArguments& a) {
  TrainingExtras extras;
  extras.tolerant_match_tracking = a.match_tracking == 1;
  extras.progress = a.display == 1;
  extras.progress_name = "vorla_learn";
  double** given_rows = nullptr;
  double* given_labels = nullptr;
  if (a.given_count > 0) {
    std::int32_t rows = 0, cols = 0, length = 0;
    given_rows = mxArray2D_to_cArray2D(rows, cols, prhs[IN_TEMPLATES0]);
    if (!given_rows) return host::Outcome::out_of_memory;
    given_labels = mxArray1D_to_cArray1D(length, prhs[IN_NLABELS0]);
    if (!given_labels) return host::Outcome::out_of_memory;
  }
  extras.given_count = a.given_count;
  extras.given_rows = given_rows;
  extras.given_labels = given_labels;
  double** history = nullptr;
  std::int32_t history_rows = 0;
  if (nlhs == LEARN_OUTPUT_COUNT) {
    extras.history = &history;
    extras.history_rows = &history_rows;
  }
  const host::Outcome trained = run_training(plhs, prhs, a.training, extras);
  if (trained != host::Outcome::done || !history) return trained;
  plhs[OUT_HISTORY] = cArray2D_to_mxArray2D(history_rows, 4, history);
  return plhs[OUT_HISTORY] ? host::Outcome::done : host::Outcome::out_of_memory;
}

}  // namespace

void vorla_learn(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  MessageBuffer messages("VORLA_LEARN");
  LearnArguments arguments;
  if (check_arguments(nlhs, nrhs, prhs, arguments, messages)) {
    mexErrMsgTxt(messages.text());
    return;
  }
  const host::Outcome outcome = learn(nlhs, plhs, prhs, arguments);
  if (outcome == host::Outcome::done) return;
  // A failed call hands back no outputs; the host reclaims what they hold.
  for (int k = 0; k < nlhs; ++k) plhs[k] = nullptr;
  end_failed_call(outcome, messages);
}

}  // namespace vorla
