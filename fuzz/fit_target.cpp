// Fuzz target: one vorla_fit call on the stand-in host per input. A successful call is checked
// for properties of its outputs and compared with a plain training run of the same inputs:
// templates, labels, presentation count, every value fed to the flop counter, the totals.
#include "fuzz_call.h"
#include "plain_training.h"
#include "vorla_fit.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

namespace {

using fuzz::same_bits;
using fuzz::train_plainly;
using fuzz::PlainRun;

const char target[] = "vorla_fit";

// A successful training call: shapes of the three outputs and what must hold between them,
// the inputs, the flop-counter calls and the report.
void check_outputs(const fuzz::Call& call, const standin::CallResult& r) {
  auto fail = [&](const std::string& what) { fuzz::violation(target, what, call); };
  const std::vector<fuzz::Input>& in = call.inputs;
  const std::uint64_t N = in[0].dims[0], M = in[0].dims[1];
  const double cap_value = in[6].values.at(0);
  const double cap = cap_value >= 2147483648.0 ? 2147483647.0 : std::trunc(cap_value);
  const bool fast_learning = in[5].values.at(0) == 1.0;
  const int trim_option = static_cast<int>(in[7].values.at(0));
  const int oflag = static_cast<int>(in[9].values.at(0));

  if (r.outputs.size() != 3) fail("not three outputs");
  for (int k = 0; k < 3; ++k)
    if (!r.output(k)) fail("output " + std::to_string(k + 1) + " missing");
  std::vector<double> templates, labels, count;
  try {
    templates = standin::values_of(r.output(0));
    labels = standin::values_of(r.output(1));
    count = standin::values_of(r.output(2));
  } catch (const std::invalid_argument&) {
    fail("an output is not a double array");
  }
  const std::vector<mwSize> tdims = standin::dims_of(r.output(0));
  if (tdims.size() != 2 || tdims[1] != 2 * M) fail("Templates is not K x 2M");
  const std::uint64_t K = tdims[0];
  if (standin::dims_of(r.output(1)) != std::vector<mwSize>{K, 1}) fail("NLabels is not K x 1");
  if (standin::dims_of(r.output(2)) != std::vector<mwSize>{1, 1}) fail("list_presentations is not 1 x 1");

  const double presented = count[0];
  if (presented != std::trunc(presented) || presented < 0 || presented > cap) fail("list_presentations out of range");
  // One flop-counter call per pattern and presentation; a converged run has one more presentation.
  if (N == 0) {
    if (presented != 0 || K != 0 || !r.flops.empty()) fail("training without patterns did something");
    return;
  }
  if (r.flops.size() % N != 0) fail("flop-counter calls are not a whole number of presentations");
  const double presentations = static_cast<double>(r.flops.size() / N);
  const bool converged = presentations == presented + 1;
  if (!converged && !(presentations == presented && presented == cap)) fail("presentations disagree with the count");
  if (presentations > cap) fail("more presentations than the cap");
  if (presented < 1) fail("patterns but no presentation counted");
  if ((trim_option == 0 || !converged) && K == 0) fail("no node handed back");
  if (static_cast<double>(K) > static_cast<double>(N) * presentations) fail("more nodes than patterns presented");
  for (int f : r.flops)
    if (f < 0) fail("negative flop count");

  std::set<double> known;
  for (double v : in[1].values) known.insert(static_cast<double>(static_cast<std::int32_t>(v)));
  for (double v : labels)
    if (!known.count(v)) fail("a node label that no pattern carries");

  // Fast learning moves corners onto pattern coordinates and nowhere else.
  if (fast_learning) {
    const std::vector<double>& p = in[0].values;
    for (std::uint64_t row = 0; row < K; ++row)
      for (std::uint64_t i = 0; i < M; ++i) {
        const double lower = templates[i * K + row], upper = templates[(M + i) * K + row];
        const auto column = p.begin() + static_cast<std::ptrdiff_t>(i * N);
        const auto column_end = column + static_cast<std::ptrdiff_t>(N);
        if (!(lower <= upper)) fail("a box with lower above upper");
        if (std::find(column, column_end, lower) == column_end || std::find(column, column_end, upper) == column_end)
          fail("a corner that is no pattern coordinate");
      }
  }

  if (oflag == 0) {
    if (!r.text.empty()) fail("printed at oflag 0");
  } else {
    const int shown = static_cast<int>(presented);
    const std::string head = std::string("\nFAM training ") + (converged ? "converged " : "stopped ") + "after " +
                             std::to_string(shown) + (shown == 1 ? " list presentation\n" : " list presentations\n");
    if (r.text.find(head) == std::string::npos) fail("report line missing: " + head);
  }

  const PlainRun plain = train_plainly(call);
  if (plain.presented != presented || plain.converged != converged) fail("presentations differ from a plain run");
  if (!same_bits(plain.templates, templates)) fail("Templates differ from a plain run");
  if (!same_bits(plain.labels, labels)) fail("NLabels differ from a plain run");
  if (plain.flops != r.flops) fail("flop-counter calls differ from a plain run");
  if (oflag > 0) {
    const std::string lacking = fuzz::report_mismatch(plain, r.text, trim_option);
    if (!lacking.empty()) fail(lacking);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader bytes(data, size);
  const fuzz::Call call = fuzz::decode_fit(bytes);
  fuzz::apply_bank_choices(call);
  const std::optional<std::string> expected = fuzz::expected_fit_error(call);
  const standin::CallResult result = standin::call(vorla::vorla_fit, call.nlhs, call.arrays());
  if (fuzz::check_outcome(target, call, expected, result)) check_outputs(call, result);
  return 0;
}
