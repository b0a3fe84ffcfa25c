// Fuzz target: one vorla_learn call on the stand-in host per input. A successful call is
// compared with a plain training run of the same inputs (either match tracking rule, given
// nodes): templates, labels, presentation count, every value fed to the flop counter, the
// history and the report's totals.
#include "fuzz_call.h"
#include "plain_training.h"
#include "vorla_learn.h"

#include <stdexcept>
#include <string>

namespace {

const char target[] = "vorla_learn";

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

void check_outputs(const fuzz::Call& call, const standin::CallResult& r) {
  auto fail = [&](const std::string& what) { fuzz::violation(target, what, call); };
  const std::vector<fuzz::Input>& in = call.inputs;
  const std::uint64_t M = in[0].dims[1];
  const int trim_option = static_cast<int>(in[7].values.at(0));
  const int oflag = static_cast<int>(in[9].values.at(0));
  const bool display = in.size() == 14 && static_cast<int>(in[11].values.at(0)) == 1;

  if (r.outputs.size() != static_cast<std::size_t>(call.nlhs)) fail("not as many outputs as asked for");
  for (int k = 0; k < call.nlhs; ++k)
    if (!r.output(k)) fail("output " + std::to_string(k + 1) + " missing");
  std::vector<double> templates, labels, count, history;
  try {
    templates = standin::values_of(r.output(0));
    labels = standin::values_of(r.output(1));
    count = standin::values_of(r.output(2));
    if (call.nlhs == 4) history = standin::values_of(r.output(3));
  } catch (const std::invalid_argument&) {
    fail("an output is not a double array");
  }
  const std::vector<mwSize> tdims = standin::dims_of(r.output(0));
  if (tdims.size() != 2 || tdims[1] != 2 * M) fail("Templates is not K x 2M");
  const std::uint64_t K = tdims[0];
  if (standin::dims_of(r.output(1)) != std::vector<mwSize>{K, 1}) fail("NLabels is not K x 1");
  if (standin::dims_of(r.output(2)) != std::vector<mwSize>{1, 1}) fail("list_presentations is not 1 x 1");

  const fuzz::PlainRun plain = train_plainly(call);
  if (plain.presented != count[0]) fail("presentations differ from a plain run");
  if (!fuzz::same_bits(plain.templates, templates)) fail("Templates differ from a plain run");
  if (!fuzz::same_bits(plain.labels, labels)) fail("NLabels differ from a plain run");
  if (plain.flops != r.flops) fail("flop-counter calls differ from a plain run");

  const std::size_t P = plain.node_counts.size();
  if (call.nlhs == 4) {
    if (standin::dims_of(r.output(3)) != std::vector<mwSize>{P, 4}) fail("history is not one row per presentation");
    double seconds = 0;
    for (std::size_t p = 0; p < P; ++p) {
      if (history[p] != static_cast<double>(plain.node_counts[p]) ||
          history[P + p] != static_cast<double>(plain.created[p]) ||
          history[2 * P + p] != static_cast<double>(plain.updated[p]))
        fail("history differs from a plain run");
      if (!(history[3 * P + p] >= seconds)) fail("history seconds go back or are negative");
      seconds = history[3 * P + p];
    }
  }

  if (count_of(r.text, "vorla_learn: presentation ") != (display ? P : 0)) fail("not one progress line per presentation");
  if (oflag == 0 && !display && !r.text.empty()) fail("printed at oflag 0 without display");
  if (oflag > 0) {
    const std::string lacking = fuzz::report_mismatch(plain, r.text, trim_option);
    if (!lacking.empty()) fail(lacking);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader bytes(data, size);
  const fuzz::Call call = fuzz::decode_learn(bytes);
  fuzz::apply_bank_choices(call);
  const std::optional<std::string> expected = fuzz::expected_learn_error(call);
  const standin::CallResult result = standin::call(vorla::vorla_learn, call.nlhs, call.arrays());
  if (fuzz::check_outcome(target, call, expected, result)) check_outputs(call, result);
  return 0;
}
