// The summary of a classification call counts its work in 64 bits: after more than 2^32
// operations it prints the true totals, while the host counter gets each pattern's own
// count. Both calls below are built so that
// every node passes or fails the tests in the same way for every pattern, which makes the
// totals a formula in N (patterns), K (nodes) and M (features):
//   every node fails the vigilance test:
//     flop_total       = 2M + 5 + N K (2M + 2)
//     comparison_total = N K 2M
//   every node passes both tests (ct_option 1) and all tie, so node 1 classifies everything:
//     flop_total       = 2M + 5 + N K (2M + 3)
//     comparison_total = N (K (2M + 2) + K - 1)
// Slow (about 2 x 10^9 node visits each): run by tests/slow/run.sh, not by the default ctest run.
#include "standin.h"
#include "vorla_eval.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using standin::ArrayPtr;
using standin::make_double;
using standin::make_scalar;

struct Totals {
  std::uint64_t flops;
  std::uint64_t comparisons;
};

std::string summary_line(const Totals& exact) {
  char line[128];
  std::snprintf(line, sizeof line, "\n%llu FLOPs and %llu comparisons in ",
                static_cast<unsigned long long>(exact.flops), static_cast<unsigned long long>(exact.comparisons));
  return line;
}

// K identical one-feature boxes [lower, upper] with labels 1..K, and N patterns all at x.
standin::CallResult classify(std::uint64_t K, std::uint64_t N, double lower, double upper, double x, double D,
                             double vigilance, double ct_option) {
  std::vector<double> box(2 * K), labels(K);
  for (std::uint64_t r = 0; r < K; ++r) {
    box[r] = lower;
    box[K + r] = upper;
    labels[r] = static_cast<double>(r + 1);
  }
  ArrayPtr templates = make_double(K, 2, box), node_labels = make_double(K, 1, labels);
  ArrayPtr patterns = make_double(N, 1, std::vector<double>(N, x));
  std::vector<ArrayPtr> scalars;
  for (double v : {D, vigilance, 0.01, ct_option}) scalars.push_back(make_scalar(v));
  ArrayPtr unknown = make_scalar(-1), oflag = make_scalar(1);
  return standin::call(vorla::vorla_eval, 1,
                       {templates.get(), node_labels.get(), scalars[0].get(), scalars[1].get(), scalars[2].get(),
                        scalars[3].get(), patterns.get(), unknown.get(), oflag.get()});
}

TEST(CounterWrap, EveryNodeFailsTheVigilanceTest) {
  // Box [0, 0.1] and x = 1: the smallest box holding both has size 1, so mfv = (1 - 1) / 1 = 0
  // < 0.5 for every node and pattern.
  const std::uint64_t K = 20000, N = 110000, M = 1;
  const Totals exact = {2 * M + 5 + N * K * (2 * M + 2), N * K * 2 * M};
  ASSERT_GT(exact.flops, std::uint64_t{1} << 32);
  ASSERT_GT(exact.comparisons, std::uint64_t{1} << 32);

  const standin::CallResult r = classify(K, N, 0.0, 0.1, 1.0, 1.0, 0.5, 0.0);
  ASSERT_FALSE(r.error) << *r.error;
  EXPECT_NE(r.text.find("\nunable to classify 110000 patterns (100.000000%)\n"), std::string::npos);
  EXPECT_NE(r.text.find(summary_line(exact)), std::string::npos) << r.text;
  // The host counter gets each pattern's own sum, far from wrapping.
  ASSERT_EQ(r.flops.size(), N);
  for (int f : r.flops) ASSERT_EQ(f, static_cast<int>(K * (2 * M + 2 + 2 * M)));
  EXPECT_EQ(standin::values_of(r.output(0)), std::vector<double>(N, -1.0));
}

TEST(CounterWrap, EveryNodePassesBothTests) {
  // Box [0, 1], x = 0.5 inside it and D = 2: mfv = (2 - 1) / 2 = 0.5 passes vigilance 0.5,
  // cfv = 1 / (2 - 1 + 0.01) passes Tu = 2 / 4.01, and equal choice values leave node 1 the winner.
  const std::uint64_t K = 20000, N = 50000, M = 1;
  const Totals exact = {2 * M + 5 + N * K * (2 * M + 3), N * (K * (2 * M + 2) + K - 1)};
  ASSERT_GT(exact.flops, std::uint64_t{1} << 32);
  ASSERT_GT(exact.comparisons, std::uint64_t{1} << 32);

  const standin::CallResult r = classify(K, N, 0.0, 1.0, 0.5, 2.0, 0.5, 1.0);
  ASSERT_FALSE(r.error) << *r.error;
  EXPECT_NE(r.text.find("\n19999 inactive nodes detected (99.995000%)\n"), std::string::npos) << r.text;
  EXPECT_NE(r.text.find(summary_line(exact)), std::string::npos) << r.text;
  ASSERT_EQ(r.flops.size(), N);
  for (int f : r.flops) ASSERT_EQ(f, static_cast<int>(K * (2 * M + 3) + K * (2 * M + 2) + K - 1));
  EXPECT_EQ(standin::values_of(r.output(0)), std::vector<double>(N, 1.0));
}

}  // namespace
