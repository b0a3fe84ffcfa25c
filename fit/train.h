// Training: list presentations of all patterns until a presentation changes nothing or the
// cap is reached, then the summary report and the hand-back of the kept nodes.
#ifndef VORLA_TRAIN_H
#define VORLA_TRAIN_H

#include "host.h"

#include <cstdint>
#include <string>
#include <vector>

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

// One network of a batch: the rows of the shared patterns it learns, in that order (a row may
// come more than once), its vigilance and the nodes it starts from (as TrainingExtras's).
struct BatchNetwork {
  // The rows the network learns, in order: 0-based in `order`, or, where the host's int32
  // array is read where it lies (workers only read it), 1-based in host_order.
  std::vector<std::int32_t> order;
  const std::int32_t* host_order = nullptr;
  std::size_t host_order_size = 0;
  std::size_t size() const { return host_order ? host_order_size : order.size(); }
  std::int32_t row(std::size_t p) const { return host_order ? host_order[p] - 1 : order[p]; }
  double vigilance = 0.0;
  std::int32_t given_count = 0;
  double* const* given_rows = nullptr;
  const double* given_labels = nullptr;
};

// What one network of a batch gives back, on the free store: the kept template rows [lower
// upper] back to back, their labels, the presentations counted, the history rows back to back
// (when asked), and for a network trained on a worker its text and its operation count, which
// the calling thread hands to the host.
struct TrainedNetwork {
  std::vector<double> template_values;
  std::vector<double> node_labels;
  std::int32_t list_presentations = 0;
  std::vector<double> history;
  std::string text;
  std::uint64_t counted_operations = 0;
  bool finished = false;
};

// Trains every network of the batch on the shared patterns (its orders' rows) with the shared
// settings, on up to `threads` threads (0: every usable core). With one thread each network
// runs on the calling thread as train runs it: its text printed and its counts fed as they
// come. With more, the networks run on workers and the calling thread prints their texts and
// feeds their counts in network order once all are done. The history rows are kept where
// extras.history is set (it is not written to). On failure every result is released, the texts
// of the networks before the first unfinished one having been printed.
host::Outcome train_batch(const std::int32_t& feature_count, double* const* patterns, const double* labels,
                          const double& D, const double& alpha,
                          const double& learning_rate, const std::int32_t& max_list_presentations,
                          const std::int32_t& trim_option, const std::int32_t& ct_option, std::int32_t oflag,
                          const TrainingExtras& extras, const std::vector<BatchNetwork>& networks,
                          std::int64_t threads, std::vector<TrainedNetwork>& trained);

}  // namespace vorla

#endif
