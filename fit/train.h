// Training: list presentations of all patterns until a presentation changes nothing or the
// cap is reached, then the summary report and the hand-back of the kept nodes.
#ifndef VORLA_TRAIN_H
#define VORLA_TRAIN_H

#include "host.h"

#include <cstdint>

namespace vorla {

// What a training call may ask beyond the plain run; the defaults give the plain run.
struct TrainingExtras {
  // Tolerant match tracking: a winner with the wrong label alone leaves the search, and
  // the nodes whose match equals its match stay in it.
  bool tolerant_match_tracking = false;
  // One progress line per list presentation, whatever oflag is.
  bool progress = false;
  // Nodes the run starts from, in this order: rows [lower upper] of 2 x feature_count
  // values and their whole-number labels. They are never trimmed.
  std::int32_t given_count = 0;
  double* const* given_rows = nullptr;
  const double* given_labels = nullptr;
  // When set, receives on success a row matrix (host blocks) with one row per
  // list presentation made: node count at its end, nodes created, nodes changed, elapsed
  // seconds of the run; and its row count.
  double*** history = nullptr;
  std::int32_t* history_rows = nullptr;
  // The name that begins the progress lines.
  const char* progress_name = "";
};

// Trains on pattern_count rows of feature_count values with one label each. On success
// fills the four results (the template rows, each [lower upper], and the node labels are
// host blocks) and returns done; returns out_of_memory when memory ran out, interrupted
// when the user asked to stop (between patterns), in both cases with every node released.
host::Outcome train(const std::int32_t& pattern_count, const std::int32_t& feature_count,
                    double* const* patterns, const double* labels, const double& D,
                    const double& vigilance, const double& alpha, const double& learning_rate,
                    const std::int32_t& max_list_presentations, const std::int32_t& trim_option,
                    const std::int32_t& ct_option, std::int32_t& template_count, double**& template_rows,
                    double*& node_labels, std::int32_t& list_presentations, std::int32_t oflag,
                    const TrainingExtras& extras = {});

}  // namespace vorla

#endif
