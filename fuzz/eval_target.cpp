// Fuzz target: one vorla_eval call on the stand-in host per input. A successful call is
// compared with a plain classification of the same inputs: every prediction, every value fed
// to the flop counter and the totals of the summary.
#include "fuzz_call.h"
#include "vorla_eval.h"

#include <cmath>
#include <stdexcept>

namespace {

const char target[] = "vorla_eval";

struct Expected {
  std::vector<double> predictions;
  std::vector<int> flops;
  std::uint64_t flop_total = 0;
  std::uint64_t comparison_total = 0;
  std::int64_t inactive = 0;
  std::int64_t unclassified = 0;
};

Expected classify_plainly(const fuzz::Call& call) {
  const std::vector<fuzz::Input>& in = call.inputs;
  const fuzz::PlainNetwork net(call);
  const std::uint64_t K = net.K, M = net.M, N = net.N;
  const double D = net.D;
  const double unknown = static_cast<double>(static_cast<std::int32_t>(in[7].values[0]));
  Expected e;
  e.flop_total = 2 * static_cast<std::uint64_t>(M) + 5;
  std::vector<bool> used(K, false);
  for (std::uint64_t j = 0; j < N; ++j) {
    std::uint32_t flops = 0, comparisons = 0;
    bool found = false;
    std::uint64_t winner = 0;
    double best = 0.0;
    for (std::uint64_t r = 0; r < K; ++r) {
      const double size = net.grown_size(r, j);
      flops += 2 * static_cast<std::uint32_t>(M) + 2;
      comparisons += 2 * static_cast<std::uint32_t>(M);
      const double mfv = (D - size) / D;
      if (!(mfv >= net.vigilance)) continue;
      const double cfv = (D - size) / net.denominator[r];
      flops += 1;
      comparisons += 1;
      if (net.ct && !(cfv >= net.Tu)) continue;
      if (net.ct) comparisons += 1;
      if (!found) {
        found = true;
        winner = r;
        best = cfv;
      } else {
        comparisons += 1;
        if (best < cfv) {
          winner = r;
          best = cfv;
        }
      }
    }
    if (found) {
      e.predictions.push_back(static_cast<double>(static_cast<std::int32_t>(in[1].values[winner])));
      used[winner] = true;
    } else {
      e.predictions.push_back(unknown);
      ++e.unclassified;
    }
    e.flops.push_back(static_cast<int>(comparisons + flops));
    e.flop_total += flops;
    e.comparison_total += comparisons;
  }
  for (bool u : used) e.inactive += u ? 0 : 1;
  return e;
}

void check_outputs(const fuzz::Call& call, const standin::CallResult& r) {
  auto fail = [&](const std::string& what) { fuzz::violation(target, what, call); };
  const std::uint64_t N = call.inputs[6].dims[0];
  const int oflag = static_cast<int>(call.inputs[8].values.at(0));
  if (r.outputs.size() != 1 || !r.output(0)) fail("Predictions missing");
  if (standin::dims_of(r.output(0)) != std::vector<mwSize>{N, 1}) fail("Predictions is not N x 1");
  std::vector<double> predictions;
  try {
    predictions = standin::values_of(r.output(0));
  } catch (const std::invalid_argument&) {
    fail("Predictions is not a double array");
  }
  const Expected e = classify_plainly(call);
  for (std::uint64_t j = 0; j < N; ++j)
    if (!(predictions[j] == e.predictions[j]))
      fail("pattern " + std::to_string(j + 1) + " predicted " + std::to_string(predictions[j]) + ", expected " +
           std::to_string(e.predictions[j]));
  // Without a counter only the printed summary shows the counts.
  if (r.flops != (call.flop_counter ? e.flops : std::vector<int>{})) fail("flop-counter calls differ");
  if (oflag == 0) {
    if (!r.text.empty()) fail("printed at oflag 0");
    return;
  }
  char line[160];
  std::snprintf(line, sizeof line, e.inactive == 1 ? "%lld inactive node detected " : "%lld inactive nodes detected ",
                static_cast<long long>(e.inactive));
  if (r.text.find(line) == std::string::npos) fail(std::string("summary lacks: ") + line);
  std::snprintf(line, sizeof line, "%llu FLOPs and %llu comparisons in ", static_cast<unsigned long long>(e.flop_total),
                static_cast<unsigned long long>(e.comparison_total));
  if (r.text.find(line) == std::string::npos) fail(std::string("summary lacks: ") + line);
  const bool told = r.text.find("unable to classify ") != std::string::npos;
  if (told != (e.unclassified != 0)) fail("unclassified line wrong");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader bytes(data, size);
  const fuzz::Call call = fuzz::decode_eval(bytes);
  fuzz::apply_bank_choices(call);
  const std::optional<std::string> expected = fuzz::expected_eval_error(call);
  standin::CallOptions options;
  options.flop_counter = call.flop_counter;
  const standin::CallResult result = standin::call(vorla::vorla_eval, call.nlhs, call.arrays(), options);
  if (fuzz::check_outcome(target, call, expected, result)) check_outputs(call, result);
  return 0;
}
