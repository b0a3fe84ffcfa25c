#include "vorla_score.h"

#include "args.h"
#include "classification_inputs.h"
#include "marshal.h"
#include "score.h"

#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

namespace vorla {
namespace {

enum Input { IN_CLASS_COUNT = CLASSIFICATION_INPUT_COUNT, IN_THREADS, INPUT_COUNT };
enum Output { OUT_SCORES, OUT_CLASSES, OUTPUT_COUNT };

// One network of a batch (Templates a cell): its counts and its three inputs (the batch's
// parameters are the call's).
struct BatchEntry {
  ClassificationArguments a;
  const mxArray* templates = nullptr;
  const mxArray* labels = nullptr;
  const mxArray* patterns = nullptr;
};

struct ScoreArguments : ClassificationArguments {
  std::int32_t class_count = 0;
  std::int32_t threads = 1;  // absent: the calling thread alone
  bool batch = false;
  std::vector<BatchEntry> entries;
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

// NLabels (as the messages name it) against class_count; 0 asks for the classes alone, which
// may then be any class numbers.
bool check_class_numbers(const mxArray* labels, const char* name, std::int32_t template_count,
                         std::int32_t class_count, MessageBuffer& m) {
  const std::int32_t most = class_count > 0 ? class_count : std::numeric_limits<std::int32_t>::max();
  const std::int64_t outside = first_label_outside(labels, template_count, most);
  if (outside != 0 && class_count > 0)
    return m.fail("%s: 2nd input argument (%s) must hold class numbers 1 to class_count (%d); entry %lld is not one.",
                  name, class_count, static_cast<long long>(outside));
  if (outside != 0)
    return m.fail("%s: 2nd input argument (%s) must hold class numbers from 1; entry %lld is not one.", name,
                  static_cast<long long>(outside));
  return false;
}

std::string entry_name(const char* name, std::size_t k) { return name + ("{" + std::to_string(k + 1) + "}"); }

// The cell elements of a batch, in order: Templates{k} with NLabels{k}, then the parameters,
// then Patterns{k} (or the one Patterns matrix for every network).
bool check_batch_inputs(const mxArray* prhs[], ScoreArguments& a, MessageBuffer& m) {
  a.batch = true;
  const mxArray* templates = prhs[IN_TEMPLATES];
  const host::Shape shape = host::shape_of(templates);
  if (shape.dimension_count != 2)
    return m.fail("%s: 1st input argument (Templates) must be a matrix, or a two-dimensional cell of them.");
  const std::int64_t count = shape.rows * shape.cols;
  const mxArray* labels = prhs[IN_NLABELS];
  const host::Shape label_shape = host::shape_of(labels);
  if (!host::is_cell(labels) || label_shape.dimension_count != 2 || label_shape.rows * label_shape.cols != count)
    return m.fail("%s: 2nd input argument (NLabels) must be a cell with one entry per network (%lld), as Templates.",
                  static_cast<long long>(count));
  const mxArray* patterns = prhs[IN_PATTERNS];
  const bool patterns_per_network = host::is_cell(patterns);
  a.entries.resize(static_cast<std::size_t>(count));
  for (std::size_t k = 0; k < a.entries.size(); ++k) {
    BatchEntry& e = a.entries[k];
    const auto at = static_cast<std::int64_t>(k);
    e.templates = host::cell_element(templates, at);
    e.labels = host::cell_element(labels, at);
    const std::string t = entry_name("Templates", k), l = entry_name("NLabels", k);
    // A cell element never set holds no array (in MATLAB) to take a network from.
    if (!e.templates || !e.labels)
      return m.fail("%s: %s input argument (%s) is not set; every entry must hold a network.",
                    ordinal(e.templates ? 2 : 1), (e.templates ? l : t).c_str());
    if (check_network_inputs({e.templates, IN_TEMPLATES + 1, t.c_str()}, {e.labels, IN_NLABELS + 1, l.c_str()}, e.a, m))
      return true;
  }
  if (check_network_parameters(prhs, a, m)) return true;
  const host::Shape pattern_shape = host::shape_of(patterns);
  if (patterns_per_network && (pattern_shape.dimension_count != 2 || pattern_shape.rows * pattern_shape.cols != count))
    return m.fail(
        "%s: 7th input argument (Patterns) must be one matrix for every network, or a cell with one entry "
        "per network (%lld), as Templates.",
        static_cast<long long>(count));
  // The one matrix is screened even where there is no network to take it.
  host::Shape unused;
  if (!patterns_per_network && read_matrix_shape({patterns, IN_PATTERNS + 1, "Patterns"},
                                                 std::numeric_limits<std::int32_t>::max() / 2, m, unused))
    return true;
  for (std::size_t k = 0; k < a.entries.size(); ++k) {
    BatchEntry& e = a.entries[k];
    e.patterns = patterns_per_network ? host::cell_element(patterns, static_cast<std::int64_t>(k)) : patterns;
    const std::string p = patterns_per_network ? entry_name("Patterns", k) : std::string("Patterns");
    if (!e.patterns)
      return m.fail("%s: 7th input argument (%s) is not set; every entry must hold patterns.", p.c_str());
    if (check_patterns_input({e.patterns, IN_PATTERNS + 1, p.c_str()}, e.a, m)) return true;
  }
  return false;
}

bool check_arguments(int nlhs, int nrhs, const mxArray* prhs[], ScoreArguments& a, MessageBuffer& m) {
  if (nrhs != IN_THREADS && nrhs != INPUT_COUNT)
    return m.fail("%s: %d or %d input arguments required.", static_cast<int>(IN_THREADS),
                  static_cast<int>(INPUT_COUNT));

  if (host::is_cell(prhs[IN_TEMPLATES]) ? check_batch_inputs(prhs, a, m) : check_classification_inputs(prhs, a, m))
    return true;

  double value = 0.0;
  if (read_scalar(Argument{prhs[IN_CLASS_COUNT], IN_CLASS_COUNT + 1, "class_count"}, m, value)) return true;
  if (!truncate_to_int32(value, a.class_count) || a.class_count < 0 || value != a.class_count)
    return m.fail("%s: 8th input argument (class_count) must be a whole number from 0 to 2147483647.");
  if (!a.batch && check_class_numbers(prhs[IN_NLABELS], "NLabels", a.template_count, a.class_count, m)) return true;
  for (std::size_t k = 0; k < a.entries.size(); ++k)
    if (check_class_numbers(a.entries[k].labels, entry_name("NLabels", k).c_str(), a.entries[k].a.template_count,
                            a.class_count, m))
      return true;
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

// A batch: Scores and Classes as cells shaped as Templates, every element made before any
// network is scored. The cells own their elements, so a failure frees each with its cell.
host::Outcome evaluate_batch(int nlhs, mxArray* plhs[], const mxArray* prhs[], ScoreArguments& a) {
  constexpr host::Outcome out_of_memory = host::Outcome::out_of_memory;
  const host::Shape shape = host::shape_of(prhs[IN_TEMPLATES]);
  const std::size_t count = a.entries.size();
  std::vector<ColumnMatrix> patterns(count);
  std::vector<ScoreModel> models(count);
  mxArray* scores = host::create_cell(shape.rows, shape.cols);
  mxArray* classes = nlhs > OUT_CLASSES ? host::create_cell(shape.rows, shape.cols) : nullptr;
  const auto fail = [&] {
    if (scores) mxDestroyArray(scores);
    if (classes) mxDestroyArray(classes);
    return out_of_memory;
  };
  if (!scores || (nlhs > OUT_CLASSES && !classes)) return fail();
  for (std::size_t k = 0; k < count; ++k) {
    BatchEntry& e = a.entries[k];
    ScoreModel& model = models[k];
    const mxArray* inputs[CLASSIFICATION_INPUT_COUNT] = {e.templates, e.labels, nullptr, nullptr,
                                                         nullptr,     nullptr,  e.patterns};
    double** rows = nullptr;
    double* labels = nullptr;
    if (!open_classification_inputs(inputs, e.a, rows, labels, patterns[k])) return fail();
    model = {e.a.template_count, e.a.feature_count, rows, labels, e.a.pattern_count, &patterns[k], nullptr, nullptr};
    const auto at = static_cast<std::int64_t>(k);
    mxArray* s = host::create_double_matrix(e.a.pattern_count, a.class_count);
    if (!s) return fail();
    host::set_cell(scores, at, s);
    model.scores = mxGetPr(s);
    if (classes) {
      mxArray* c = host::create_double_matrix(e.a.pattern_count, 1);
      if (!c) return fail();
      host::set_cell(classes, at, c);
      model.classes = mxGetPr(c);
    }
  }
  const host::Outcome scored = score_batch(models, a.D, a.vigilance, a.alpha, a.ct_option, a.class_count, a.threads);
  if (scored != host::Outcome::done) {
    fail();
    return scored;
  }
  plhs[OUT_SCORES] = scores;
  if (classes) plhs[OUT_CLASSES] = classes;
  return host::Outcome::done;
}

}  // namespace

void vorla_score(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  MessageBuffer messages("VORLA_SCORE");
  bool refused = false;
  host::Outcome outcome = host::Outcome::done;
  {
    // The arguments (a batch's on the free store) are gone before the host is told.
    ScoreArguments arguments;
    try {
      refused = check_arguments(nlhs, nrhs, prhs, arguments, messages);
      if (!refused)
        outcome = arguments.batch ? evaluate_batch(nlhs, plhs, prhs, arguments) : evaluate(nlhs, plhs, prhs, arguments);
    } catch (const std::bad_alloc&) {
      outcome = host::Outcome::out_of_memory;
    }
  }
  if (refused) {
    mexErrMsgTxt(messages.text());
    return;
  }
  if (outcome == host::Outcome::done) return;
  plhs[OUT_SCORES] = nullptr;
  end_failed_call(outcome, messages);
}

}  // namespace vorla
