// The performance phase: every pattern is given the label of the node it selects, or the
// unknown label when no node accepts it.
#ifndef VORLA_CLASSIFY_H
#define VORLA_CLASSIFY_H

#include "host.h"
#include "marshal.h"

#include <cstdint>

namespace vorla {

// Classifies the pattern_count rows of feature_count values of the host matrix `patterns`
// (read where it lies, a group of rows at a time) against template_count template rows
// ([lower upper], at least 2 x feature_count values each) and their labels, writing the
// pattern_count predicted labels to `predictions` (the caller's output array, so that a call
// touches no second block of that size) and returning done; returns out_of_memory when
// memory ran out, interrupted when the user asked to stop (polled between groups of
// patterns), in both cases with every node released and `predictions` partly written.
host::Outcome classify(const std::int32_t& template_count, const std::int32_t& feature_count,
                       double* const* template_rows, const double* node_labels, const double& D,
                       const double& vigilance, const double& alpha, const std::int32_t& ct_option,
                       const std::int32_t& pattern_count, const ColumnMatrix& patterns,
                       const std::int32_t& unknown_label, double* predictions, std::int32_t oflag);

}  // namespace vorla

#endif
