// A category node: an axis-parallel box in feature space with one class label, plus the
// per-pattern search state (match and choice values, eligibility) that the searches keep
// inside the nodes themselves.
#ifndef VORLA_NODE_H
#define VORLA_NODE_H

#include <cstdint>
#include <memory>

namespace vorla {

// Values shared by every node of a run. Each run holds its own and hands it to whatever
// needs it, so that runs on several threads at once never share one.
struct ModelValues {
  std::int32_t feature_count = 0;  // M, the length of each corner
  double D = 0.0;                  // the size of the input space
  double alpha = 0.0;              // the choice parameter
};

// Size of the box between two corners: the extents summed in index order from 0.0.
inline double box_size(const ModelValues& model, const double* lower, const double* upper) {
  double size = 0.0;
  for (std::int32_t i = 0; i < model.feature_count; ++i) size = size + (upper[i] - lower[i]);
  return size;
}

// A pattern value of NaN is a missing feature: the pattern says nothing about it, so it lies
// inside every box there (doc/design.md, "Missing features").
inline bool is_missing(double v) { return v != v; }
inline bool any_missing(const ModelValues& model, const double* x) {
  for (std::int32_t i = 0; i < model.feature_count; ++i)
    if (is_missing(x[i])) return true;
  return false;
}
// The corners of a feature that no pattern of a node has given yet: the inverted interval
// [1, 0], the (1, 1) complement code of a feature on [0, 1]. Any value in [0, 1] grows it to
// the point at that value, and a missing one adds its extent -1.
constexpr double open_lower = 1.0;
constexpr double open_upper = 0.0;

// The size of the smallest box holding the box and x, where a missing feature of x adds the
// box's own extent: D minus it is the match numerator. For x without missing features this is
// Node::compute_match's size, operation for operation.
inline double size_with_missing(const ModelValues& model, const double* lower, const double* upper, const double* x) {
  double size = 0.0;
  for (std::int32_t i = 0; i < model.feature_count; ++i) {
    double high = upper[i];
    double low = lower[i];
    if (!is_missing(x[i])) {
      high = x[i] < upper[i] ? upper[i] : x[i];
      low = x[i] <= lower[i] ? x[i] : lower[i];
    }
    size = size + (high - low);
  }
  return size;
}

class Node {
 public:
  // A point box at the pattern; open (open_lower, open_upper) in its missing features.
  // The run's model values are passed to every member that needs them; the node keeps none.
  Node(const ModelValues& model, const double* pattern, const std::int32_t& label);
  // The box of a template row laid out [lower upper]; from_template is any non-zero value.
  Node(const ModelValues& model, const double* row, const std::int32_t& label, int from_template);

  // Sets match_numerator and mfv for pattern x.
  void compute_match(const ModelValues& model, const double* x) {
    double size = 0.0;
    for (std::int32_t i = 0; i < model.feature_count; ++i) {
      double high = x[i] < upper[i] ? upper[i] : x[i];
      double low = x[i] <= lower[i] ? x[i] : lower[i];
      size = size + (high - low);
    }
    match_numerator = model.D - size;
    mfv = (model.D - size) / model.D;
  }

  void compute_choice_denominator(const ModelValues& model) {
    choice_denominator = (model.D - box_size(model, lower.get(), upper.get())) + model.alpha;
  }

  // Moves the box toward x; flop_count receives the operations done. Returns 1 when a
  // corner coordinate's value changed: a slow-learning blend that rounds back to the
  // corner leaves the box as it was. A missing feature of x moves nothing.
  int learn(const ModelValues& model, const double* x, const double& learning_rate, std::uint32_t& flop_count);

  // Writes [lower upper] into destination (2 x feature_count doubles).
  void export_row(const ModelValues& model, double* destination) const;

  std::unique_ptr<double[]> lower;
  std::unique_ptr<double[]> upper;
  std::int32_t eligible = 0;
  std::int32_t active = 1;
  std::int32_t label;
  double mfv = 0.0;
  double cfv = 0.0;
  double match_numerator = 0.0;
  double choice_denominator = 0.0;
};

}  // namespace vorla

#endif
