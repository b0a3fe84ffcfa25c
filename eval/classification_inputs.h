// What the classification entry points (vorla_eval, vorla_score) share: the network, its
// parameters and the patterns, their first seven inputs, checked in argument order.
#ifndef VORLA_CLASSIFICATION_INPUTS_H
#define VORLA_CLASSIFICATION_INPUTS_H

#include "args.h"
#include "host.h"
#include "marshal.h"

#include <cstdint>
#include <limits>

namespace vorla {

enum ClassificationInput {
  IN_TEMPLATES,
  IN_NLABELS,
  IN_D,
  IN_VIGILANCE,
  IN_ALPHA,
  IN_CT_OPTION,
  IN_PATTERNS,
  CLASSIFICATION_INPUT_COUNT
};

struct ClassificationArguments {
  std::int32_t template_count = 0;
  std::int32_t feature_count = 0;
  std::int32_t template_column_count = 0;
  std::int32_t pattern_count = 0;
  double D = 0.0;
  double vigilance = 0.0;
  double alpha = 0.0;
  std::int32_t ct_option = 0;
};

inline Argument classification_input(const mxArray* prhs[], ClassificationInput which) {
  static const char* const names[] = {"Templates", "NLabels", "D", "vigilance", "alpha", "ct_option", "Patterns"};
  return {prhs[which], which + 1, names[which]};
}

// The network of Templates and NLabels (the names the messages give them, which a batch
// gives per entry); true at the first fault, whose message is then in the buffer.
inline bool check_network_inputs(const Argument& templates, const Argument& labels, ClassificationArguments& a,
                                 MessageBuffer& m) {
  constexpr std::int64_t max_count = std::numeric_limits<std::int32_t>::max();
  host::Shape shape;
  if (read_matrix_shape(templates, max_count, m, shape)) return true;
  a.template_count = static_cast<std::int32_t>(shape.rows);
  a.template_column_count = static_cast<std::int32_t>(shape.cols);
  a.feature_count = a.template_column_count / 2;
  // An odd last column is never read, so it is not screened either.
  if (!all_finite(templates.array, shape.rows * 2 * a.feature_count))
    return m.fail("%s: %s input argument (%s) must not contain NaN or Inf values.", ordinal(templates.position),
                  templates.name);
  return check_label_vector(labels, a.template_count, m);
}

// D, vigilance, alpha and ct_option.
inline bool check_network_parameters(const mxArray* prhs[], ClassificationArguments& a, MessageBuffer& m) {
  if (read_network_parameters(prhs, m, a.D, a.vigilance, a.alpha)) return true;
  return read_switch(classification_input(prhs, IN_CT_OPTION), m, a.ct_option);
}

// Patterns, which must have the network's features.
inline bool check_patterns_input(const Argument& patterns, ClassificationArguments& a, MessageBuffer& m) {
  constexpr std::int64_t max_count = std::numeric_limits<std::int32_t>::max();
  host::Shape shape;
  if (read_matrix_shape(patterns, max_count / 2, m, shape)) return true;
  a.pattern_count = static_cast<std::int32_t>(shape.rows);
  if (shape.cols != a.feature_count)
    return m.fail("%s: %s input argument (%s) must be of type  %dx%d.", ordinal(patterns.position), patterns.name,
                  a.pattern_count, a.feature_count);
  return false;
}

// Checks the first seven inputs in order; true at the first fault.
inline bool check_classification_inputs(const mxArray* prhs[], ClassificationArguments& a, MessageBuffer& m) {
  return check_network_inputs(classification_input(prhs, IN_TEMPLATES), classification_input(prhs, IN_NLABELS), a,
                              m) ||
         check_network_parameters(prhs, a, m) || check_patterns_input(classification_input(prhs, IN_PATTERNS), a, m);
}

// The network and the patterns in the forms the searches read; false when memory ran out.
// The patterns are read once, in order: the searches take them from the host's own columns,
// a group at a time, with no copy of the whole matrix.
inline bool open_classification_inputs(const mxArray* prhs[], ClassificationArguments& a, double**& template_rows,
                                       double*& node_labels, ColumnMatrix& patterns) {
  template_rows = mxArray2D_to_cArray2D(a.template_count, a.template_column_count, prhs[IN_TEMPLATES]);
  if (!template_rows) return false;
  node_labels = mxArray1D_to_cArray1D(a.template_count, prhs[IN_NLABELS]);
  return node_labels && patterns.open(prhs[IN_PATTERNS]);
}

}  // namespace vorla

#endif
