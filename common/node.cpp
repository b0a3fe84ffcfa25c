#include "node.h"

#include <algorithm>

namespace vorla {

Node::Node(const ModelValues& model, const double* pattern, const std::int32_t& node_label)
    : lower(new double[model.feature_count]), upper(new double[model.feature_count]), label(node_label) {
  std::copy(pattern, pattern + model.feature_count, lower.get());
  std::copy(pattern, pattern + model.feature_count, upper.get());
  // A point box has size 0.
  choice_denominator = model.alpha + model.D;
  if (!any_missing(model, pattern)) return;
  for (std::int32_t i = 0; i < model.feature_count; ++i) {
    if (!is_missing(pattern[i])) continue;
    lower[i] = open_lower;
    upper[i] = open_upper;
  }
  compute_choice_denominator(model);
}

Node::Node(const ModelValues& model, const double* row, const std::int32_t& node_label, int /*from_template*/)
    : lower(new double[model.feature_count]), upper(new double[model.feature_count]), label(node_label) {
  std::copy(row, row + model.feature_count, lower.get());
  std::copy(row + model.feature_count, row + 2 * model.feature_count, upper.get());
  compute_choice_denominator(model);
}

int Node::learn(const ModelValues& model, const double* x, const double& learning_rate, std::uint32_t& flop_count) {
  flop_count = 0;
  int changed = 0;
  for (std::int32_t i = 0; i < model.feature_count; ++i) {
    if (is_missing(x[i])) continue;
    double target = x[i] <= lower[i] ? x[i] : lower[i];
    if (target != lower[i]) {
      if (learning_rate == 1.0) {
        changed = 1;
        lower[i] = target;
      } else {
        const double before = lower[i];
        lower[i] = learning_rate * target + (1 - learning_rate) * before;
        flop_count += 4;
        // A blend one ulp from the target rounds back to the corner; that is no change.
        // NaN compares unequal, so it never passes for a settled corner.
        if (lower[i] != before) changed = 1;
      }
    }
    target = x[i] < upper[i] ? upper[i] : x[i];
    if (target != upper[i]) {
      if (learning_rate == 1.0) {
        changed = 1;
        upper[i] = target;
      } else {
        const double before = upper[i];
        upper[i] = learning_rate * target + (1 - learning_rate) * before;
        flop_count += 4;
        if (upper[i] != before) changed = 1;
      }
    }
  }
  if (changed) {
    compute_choice_denominator(model);
    flop_count += 2 * static_cast<std::uint32_t>(model.feature_count) + 2;
  }
  return changed;
}

void Node::export_row(const ModelValues& model, double* destination) const {
  std::copy(lower.get(), lower.get() + model.feature_count, destination);
  std::copy(upper.get(), upper.get() + model.feature_count, destination + model.feature_count);
}

}  // namespace vorla
