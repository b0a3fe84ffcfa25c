#include "vorla_learn.h"

#include "args.h"
#include "marshal.h"
#include "training_call.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace vorla {
namespace {

enum LearnInput {
  IN_MATCH_TRACKING = TRAINING_INPUT_COUNT,
  IN_DISPLAY,
  IN_TEMPLATES0,
  IN_NLABELS0,
  LEARN_INPUT_COUNT,
  IN_ORDERS = LEARN_INPUT_COUNT,
  IN_THREADS,
  BATCH_INPUT_COUNT
};
enum LearnOutput { OUT_HISTORY = TRAINING_OUTPUT_COUNT, LEARN_OUTPUT_COUNT };

// The most threads a call may ask for.
constexpr double max_threads = 1024;

struct LearnArguments {
  TrainingArguments training;
  std::int32_t match_tracking = 0;
  std::int32_t display = 0;
  std::int32_t given_count = 0;  // K0, the rows of Templates0 (of each, when it is a cell)
  // A batch (Orders given): the networks' orders (0-based rows), the given nodes per network
  // when Templates0 is a cell (their row counts), and the threads asked for.
  bool batch = false;
  std::vector<std::vector<std::int32_t>> orders;
  // Per network, its int32 host array where one is read where it lies (then its orders entry
  // stays empty), else null.
  std::vector<const std::int32_t*> host_orders;
  bool given_per_network = false;
  std::vector<std::int32_t> given_counts;
  std::int64_t threads = 0;
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
bool check_given_nodes(const Argument& templates, const Argument& labels, std::int32_t feature_count,
                       std::int32_t& given_count, MessageBuffer& m) {
  // An element of a cell that was never set is empty: no nodes, or no labels.
  given_count = 0;
  if (templates.array) {
    host::Shape shape;
    if (read_matrix_shape(templates, std::numeric_limits<std::int32_t>::max(), m, shape)) return true;
    const std::int64_t row_length = 2 * static_cast<std::int64_t>(feature_count);
    const bool none = shape.rows == 0 && shape.cols == 0;
    if (!none && shape.cols != row_length)
      return m.fail("%s: 13th input argument (%s) must have %lld columns, each row [lower upper] of a node, or "
                    "be empty (0x0).",
                    templates.name, static_cast<long long>(row_length));
    given_count = static_cast<std::int32_t>(shape.rows);
    if (!all_finite(templates.array, shape.rows * shape.cols))
      return m.fail("%s: 13th input argument (%s) must not contain NaN or Inf values.", templates.name);
  }
  if (!labels.array) {
    if (given_count == 0) return false;
    return m.fail("%s: 14th input argument (%s) must be of type  %dx1 or 1x%d.", labels.name, given_count, given_count);
  }
  if (given_count == 0) {
    if (refuse_class(labels, m)) return true;
    const host::Shape label_shape = host::shape_of(labels.array);
    if (label_shape.dimension_count == 2 && label_shape.rows * label_shape.cols == 0) return false;
  }
  if (check_label_vector(labels, given_count, m)) return true;
  if (!all_whole(labels.array, given_count))
    return m.fail("%s: 14th input argument (%s) must hold whole-number labels.", labels.name);
  return false;
}

std::int64_t element_count(const mxArray* array) {
  const host::Shape shape = host::shape_of(array);
  if (shape.dimension_count != 2) return -1;
  return shape.rows * shape.cols;
}

// Orders: a cell with one vector of row numbers (1 to pattern_count, whole) per network; an
// element never set is an empty order.
bool check_orders(const mxArray* orders, std::int32_t pattern_count, std::vector<std::vector<std::int32_t>>& read,
                  std::vector<const std::int32_t*>& in_place, MessageBuffer& m) {
  const host::Shape shape = host::shape_of(orders);
  constexpr std::int64_t most = std::numeric_limits<std::int32_t>::max();
  if (!host::is_cell(orders) || shape.dimension_count != 2 || shape.rows > most || shape.cols > most)
    return m.fail("%s: 15th input argument (Orders) must be a two-dimensional cell array with one vector of row "
                  "numbers per network.");
  const std::int64_t count = shape.rows * shape.cols;
  read.assign(static_cast<std::size_t>(count), {});
  in_place.assign(static_cast<std::size_t>(count), nullptr);
  for (std::int64_t k = 0; k < count; ++k) {
    const mxArray* order = host::cell_element(orders, k);
    if (!order) continue;
    const host::Shape s = host::shape_of(order);
    const std::int64_t n = s.dimension_count == 2 ? s.rows * s.cols : -1;
    bool valid = n >= 0 && (s.rows <= 1 || s.cols <= 1) && n <= std::numeric_limits<std::int32_t>::max() &&
                 !mxIsSparse(order);
    std::vector<std::int32_t>& rows = read[static_cast<std::size_t>(k)];
    if (valid && mxGetClassID(order) == mxINT32_CLASS && n > 0) {
      // Row numbers as the layer hands them over, read where they lie: no copy per network.
      const auto* data = static_cast<const std::int32_t*>(mxGetData(order));
      valid = std::all_of(data, data + n, [&](std::int32_t v) { return v >= 1 && v <= pattern_count; });
      in_place[static_cast<std::size_t>(k)] = data;
    } else if (valid) {
      rows.resize(static_cast<std::size_t>(n));
      bool in_range = true;
      valid = visit_real_data(order, [&](const auto* data) {
        for (std::int64_t j = 0; j < n && in_range; ++j) {
          const auto v = static_cast<double>(data[j]);
          in_range = v >= 1 && v <= pattern_count && std::trunc(v) == v;
          if (in_range) rows[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(v) - 1;
        }
      }) && in_range;
    }
    if (!valid)
      return m.fail("%s: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to "
                    "%d (Orders{%lld} does not).",
                    pattern_count, static_cast<long long>(k + 1));
  }
  return false;
}

// Templates0 and NLabels0 of a batch as cells, one entry per network, each checked as the pair
// of a call without Orders. (As matrices, every network starts from them.)
bool check_cells_of_given_nodes(const mxArray* prhs[], LearnArguments& a, MessageBuffer& m) {
  const mxArray* templates = prhs[IN_TEMPLATES0];
  const mxArray* labels = prhs[IN_NLABELS0];
  const auto networks = static_cast<std::int64_t>(a.orders.size());
  if (element_count(templates) != networks)
    return m.fail("%s: 13th input argument (Templates0) must be a cell with one entry per network (%lld), or a "
                  "matrix.",
                  static_cast<long long>(networks));
  if (!host::is_cell(labels) || element_count(labels) != networks)
    return m.fail("%s: 14th input argument (NLabels0) must be a cell with one entry per network (%lld), as "
                  "Templates0.",
                  static_cast<long long>(networks));
  a.given_counts.assign(static_cast<std::size_t>(networks), 0);
  for (std::int64_t k = 0; k < networks; ++k) {
    char templates_name[48], labels_name[48];
    std::snprintf(templates_name, sizeof templates_name, "Templates0{%lld}", static_cast<long long>(k + 1));
    std::snprintf(labels_name, sizeof labels_name, "NLabels0{%lld}", static_cast<long long>(k + 1));
    if (check_given_nodes({host::cell_element(templates, k), IN_TEMPLATES0 + 1, templates_name},
                          {host::cell_element(labels, k), IN_NLABELS0 + 1, labels_name},
                          a.training.feature_count, a.given_counts[static_cast<std::size_t>(k)], m))
      return true;
  }
  return false;
}

// Inputs 13 to 16 of a batch. Cells of given nodes are checked once Orders tells the number
// of networks.
bool check_batch(const mxArray* prhs[], LearnArguments& a, MessageBuffer& m) {
  a.batch = true;
  a.given_per_network = host::is_cell(prhs[IN_TEMPLATES0]);
  if (!a.given_per_network &&
      check_given_nodes({prhs[IN_TEMPLATES0], IN_TEMPLATES0 + 1, "Templates0"},
                        {prhs[IN_NLABELS0], IN_NLABELS0 + 1, "NLabels0"}, a.training.feature_count, a.given_count, m))
    return true;
  if (check_orders(prhs[IN_ORDERS], a.training.pattern_count, a.orders, a.host_orders, m)) return true;
  double threads = 0.0;
  if (read_scalar({prhs[IN_THREADS], IN_THREADS + 1, "threads"}, m, threads)) return true;
  if (!(threads >= 0 && threads <= max_threads) || std::trunc(threads) != threads)
    return m.fail("%s: 16th input argument (threads) must be a whole number from 0 to %d (0: every usable core).",
                  static_cast<int>(max_threads));
  a.threads = static_cast<std::int64_t>(threads);
  const std::size_t vigilance_count = a.training.vigilances.size();
  if (vigilance_count != 1 && vigilance_count != a.orders.size())
    return m.fail("%s: 4th input argument (vigilance) must be a scalar or hold one value per network (%lld); it holds "
                  "%lld.",
                  static_cast<long long>(a.orders.size()), static_cast<long long>(vigilance_count));
  return a.given_per_network && check_cells_of_given_nodes(prhs, a, m);
}

bool check_arguments(int nlhs, int nrhs, const mxArray* prhs[], LearnArguments& a, MessageBuffer& m) {
  if (nrhs != TRAINING_INPUT_COUNT && nrhs != LEARN_INPUT_COUNT && nrhs != BATCH_INPUT_COUNT)
    return m.fail("%s: %d, %d or %d input arguments required.", static_cast<int>(TRAINING_INPUT_COUNT),
                  static_cast<int>(LEARN_INPUT_COUNT), static_cast<int>(BATCH_INPUT_COUNT));
  if (check_training_inputs(prhs, a.training, m, true, nrhs == BATCH_INPUT_COUNT)) return true;
  if (nrhs >= LEARN_INPUT_COUNT) {
    if (read_switch({prhs[IN_MATCH_TRACKING], IN_MATCH_TRACKING + 1, "match_tracking"}, m, a.match_tracking))
      return true;
    if (read_switch({prhs[IN_DISPLAY], IN_DISPLAY + 1, "display"}, m, a.display)) return true;
  }
  if (nrhs == LEARN_INPUT_COUNT &&
      check_given_nodes({prhs[IN_TEMPLATES0], IN_TEMPLATES0 + 1, "Templates0"},
                        {prhs[IN_NLABELS0], IN_NLABELS0 + 1, "NLabels0"}, a.training.feature_count, a.given_count, m))
    return true;
  if (nrhs == BATCH_INPUT_COUNT && check_batch(prhs, a, m)) return true;
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

// The outputs of a batch: cells shaped as Orders (list_presentations a matrix of that shape),
// each network's results moved from the free store into host arrays in turn.
host::Outcome batch_outputs(int nlhs, mxArray* plhs[], const mxArray* orders, std::int32_t feature_count,
                            std::vector<TrainedNetwork>& trained) {
  constexpr host::Outcome out_of_memory = host::Outcome::out_of_memory;
  const host::Shape shape = host::shape_of(orders);
  // Orders holds at most one network per element, and so at most 2^31 - 1 of them in a row.
  const auto rows = static_cast<std::int32_t>(shape.rows), cols = static_cast<std::int32_t>(shape.cols);
  plhs[OUT_TEMPLATES] = host::create_cell(rows, cols);
  plhs[OUT_NLABELS] = host::create_cell(rows, cols);
  plhs[OUT_LIST_PRESENTATIONS] = host::create_double_matrix(rows, cols);
  if (nlhs == LEARN_OUTPUT_COUNT) plhs[OUT_HISTORY] = host::create_cell(rows, cols);
  for (int k = 0; k < nlhs; ++k)
    if (!plhs[k]) return out_of_memory;
  double* const presentations = mxGetPr(plhs[OUT_LIST_PRESENTATIONS]);
  for (std::size_t k = 0; k < trained.size(); ++k) {
    TrainedNetwork& net = trained[k];
    const auto count = static_cast<std::int32_t>(net.node_labels.size());
    const auto at = static_cast<std::int64_t>(k);
    mxArray* templates = rows_to_mxArray2D(count, 2 * feature_count, net.template_values.data());
    if (!templates) return out_of_memory;
    host::set_cell(plhs[OUT_TEMPLATES], at, templates);
    mxArray* labels = rows_to_mxArray2D(count, 1, net.node_labels.data());
    if (!labels) return out_of_memory;
    host::set_cell(plhs[OUT_NLABELS], at, labels);
    presentations[k] = net.list_presentations;
    if (nlhs == LEARN_OUTPUT_COUNT) {
      mxArray* history = rows_to_mxArray2D(static_cast<std::int32_t>(net.history.size() / 4), 4, net.history.data());
      if (!history) return out_of_memory;
      host::set_cell(plhs[OUT_HISTORY], at, history);
    }
    net = TrainedNetwork();
  }
  return host::Outcome::done;
}

host::Outcome learn_batch(int nlhs, mxArray* plhs[], const mxArray* prhs[], LearnArguments& a) {
  constexpr host::Outcome out_of_memory = host::Outcome::out_of_memory;
  const TrainingArguments& t = a.training;
  std::int32_t pattern_count = t.pattern_count, feature_count = t.feature_count;
  double** patterns = mxArray2D_to_cArray2D(pattern_count, feature_count, prhs[IN_PATTERNS]);
  if (!patterns) return out_of_memory;
  double* labels = mxArray1D_to_cArray1D(pattern_count, prhs[IN_PLABELS]);
  if (!labels) return out_of_memory;

  const std::size_t count = a.orders.size();
  std::vector<BatchNetwork> networks(count);
  // The given nodes as row matrices (host blocks, which the workers only read).
  const auto given = [](const mxArray* templates, const mxArray* node_labels, BatchNetwork& net) {
    std::int32_t rows = 0, cols = 0, length = 0;
    net.given_rows = mxArray2D_to_cArray2D(rows, cols, templates);
    if (!net.given_rows) return false;
    net.given_labels = mxArray1D_to_cArray1D(length, node_labels);
    return net.given_labels != nullptr;
  };
  for (std::size_t k = 0; k < count; ++k) {
    BatchNetwork& net = networks[k];
    net.order = std::move(a.orders[k]);
    if (a.host_orders[k]) {
      net.host_order = a.host_orders[k];
      net.host_order_size = static_cast<std::size_t>(element_count(host::cell_element(prhs[IN_ORDERS],
                                                                                      static_cast<std::int64_t>(k))));
    }
    net.vigilance = t.vigilances.size() == 1 ? t.vigilances[0] : t.vigilances[k];
    if (a.given_per_network) {
      net.given_count = a.given_counts[k];
      const auto at = static_cast<std::int64_t>(k);
      if (net.given_count > 0 &&
          !given(host::cell_element(prhs[IN_TEMPLATES0], at), host::cell_element(prhs[IN_NLABELS0], at), net))
        return out_of_memory;
    } else if (a.given_count > 0) {
      net.given_count = a.given_count;
      if (k == 0 && !given(prhs[IN_TEMPLATES0], prhs[IN_NLABELS0], net)) return out_of_memory;
      if (k > 0) {
        net.given_rows = networks[0].given_rows;
        net.given_labels = networks[0].given_labels;
      }
    }
  }

  TrainingExtras extras;
  extras.tolerant_match_tracking = a.match_tracking == 1;
  extras.progress = a.display == 1;
  extras.progress_name = "vorla_learn";
  // Only says that the histories are kept: a batch keeps them with each network.
  double** unused_history = nullptr;
  std::int32_t unused_rows = 0;
  if (nlhs == LEARN_OUTPUT_COUNT) {
    extras.history = &unused_history;
    extras.history_rows = &unused_rows;
  }
  std::vector<TrainedNetwork> trained;
  const host::Outcome outcome =
      train_batch(t.feature_count, patterns, labels, t.D, t.alpha, t.learning_rate, t.max_list_presentations,
                  t.trim_option, t.ct_option, t.oflag, extras, networks, a.threads, trained);
  if (outcome != host::Outcome::done) return outcome;
  return batch_outputs(nlhs, plhs, prhs[IN_ORDERS], t.feature_count, trained);
}

}  // namespace

void vorla_learn(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  MessageBuffer messages("VORLA_LEARN");
  bool refused = false;
  host::Outcome outcome = host::Outcome::done;
  {
    // The arguments (whose orders are on the free store) are gone before the host is told.
    LearnArguments arguments;
    try {
      refused = check_arguments(nlhs, nrhs, prhs, arguments, messages);
      if (!refused)
        outcome = arguments.batch ? learn_batch(nlhs, plhs, prhs, arguments) : learn(nlhs, plhs, prhs, arguments);
    } catch (const std::bad_alloc&) {
      outcome = host::Outcome::out_of_memory;
    }
  }
  if (refused) {
    mexErrMsgTxt(messages.text());
    return;
  }
  if (outcome == host::Outcome::done) return;
  // A failed call hands back no outputs; the host reclaims what they hold.
  for (int k = 0; k < nlhs; ++k) plhs[k] = nullptr;
  end_failed_call(outcome, messages);
}

}  // namespace vorla
