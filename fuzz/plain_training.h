// Training written out plainly, one node at a time, as the check of the training entry
// points' results: vorla_fit's ten inputs, and vorla_learn's four more when given.
#ifndef VORLA_FUZZ_PLAIN_TRAINING_H
#define VORLA_FUZZ_PLAIN_TRAINING_H

#include "fuzz_call.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

struct PlainRun {
  std::vector<double> templates;  // K x 2M, column order
  std::vector<double> labels;
  double presented = 0;
  bool converged = false;
  std::int64_t inactive = 0;  // nodes made by the run and inactive in its last presentation
  std::vector<int> flops;
  std::uint64_t flop_total = 3;
  std::uint64_t comparison_total = 0;
  // Per presentation made: node count at its end, nodes created, nodes updated.
  std::vector<std::int64_t> node_counts, created, updated;
};

// The run of a call whose inputs the entry point accepts.
PlainRun train_plainly(const Call& call);

bool same_bits(const std::vector<double>& a, const std::vector<double>& b);

// What the printed summary lacks of the run's totals and, for a converged run, of its
// inactive nodes; empty when it has both.
std::string report_mismatch(const PlainRun& plain, const std::string& text, int trim_option);

}  // namespace fuzz

#endif
