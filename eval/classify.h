// The performance phase: every pattern is given the label of the node it selects, or the
// unknown label when no node accepts it.
#ifndef VORLA_CLASSIFY_H
#define VORLA_CLASSIFY_H

#include <cstdint>

namespace vorla {

// Classifies pattern_count rows of feature_count values against template_count template
// rows ([lower upper], at least 2 x feature_count values each) and their labels. On success
// hands back a host block of pattern_count predicted labels and returns true; returns false
// when memory ran out.
bool classify(const std::int32_t& template_count, const std::int32_t& feature_count,
              double* const* template_rows, const double* node_labels, const double& D,
              const double& vigilance, const double& alpha, const std::int32_t& ct_option,
              const std::int32_t& pattern_count, double* const* patterns,
              const std::int32_t& unknown_label, double*& predictions, std::int32_t oflag);

}  // namespace vorla

#endif
