// Fuzz target: one vorla_score call on the stand-in host per input. A successful call is
// compared, bit for bit, with the scores read plainly off their definition and with the
// classes of a plain classification; it prints nothing and feeds no counter. The threads
// that a call asks for share even its few patterns, so that the threaded search is fuzzed.
// A call that succeeds is made again as a batch, of its network and one of its first nodes,
// whose entries must each give what its own call gives.
#include "fuzz_call.h"
#include "score.h"
#include "vorla_score.h"

#include <cmath>
#include <stdexcept>

namespace {

const char target[] = "vorla_score";

struct Expected {
  std::vector<double> scores;
  std::vector<double> classes;
};

Expected score_plainly(const fuzz::Call& call) {
  const std::vector<fuzz::Input>& in = call.inputs;
  const fuzz::PlainNetwork net(call);
  const std::uint64_t K = net.K, N = net.N;
  const std::uint64_t C = static_cast<std::uint64_t>(in[7].values[0]);
  Expected e;
  e.scores.assign(N * C, 0.0);
  for (std::uint64_t j = 0; j < N; ++j) {
    bool found = false;
    double winner_cfv = 0.0;
    double winner_class = 0;
    for (std::uint64_t r = 0; r < K; ++r) {
      const double grown = net.grown_size_missing(r, j);
      if (!((net.D - grown) / net.D >= net.vigilance)) continue;
      const double cfv = (net.D - grown) / net.denominator[r];
      if (net.ct && !(cfv >= net.Tu)) continue;
      const std::int32_t label = static_cast<std::int32_t>(in[1].values[r]);
      if (!found || winner_cfv < cfv) {
        winner_cfv = cfv;
        winner_class = label;
      }
      found = true;
      if (std::isnan(cfv) || C == 0) continue;
      double& best = e.scores[static_cast<std::uint64_t>(label - 1) * N + j];
      if (cfv > best) best = cfv;
    }
    e.classes.push_back(winner_class);
  }
  return e;
}

void check_outputs(const fuzz::Call& call, const standin::CallResult& r) {
  auto fail = [&](const std::string& what) { fuzz::violation(target, what, call); };
  const std::uint64_t N = call.inputs[6].dims[0];
  const std::uint64_t C = static_cast<std::uint64_t>(call.inputs[7].values[0]);
  if (!r.text.empty()) fail("printed something");
  if (!r.flops.empty()) fail("fed the flop counter");
  if (r.outputs.empty() && call.nlhs == 0) return;
  if (r.outputs.empty() || !r.output(0)) fail("Scores missing");
  if (standin::dims_of(r.output(0)) != std::vector<mwSize>{N, C}) fail("Scores is not N x class_count");
  std::vector<double> scores;
  try {
    scores = standin::values_of(r.output(0));
  } catch (const std::invalid_argument&) {
    fail("Scores is not a double array");
  }
  const Expected expected = score_plainly(call);
  for (std::size_t k = 0; k < expected.scores.size(); ++k)
    if (!(scores[k] == expected.scores[k]) || std::signbit(scores[k]) != std::signbit(expected.scores[k]))
      fail("score " + std::to_string(k + 1) + " is " + std::to_string(scores[k]) + ", expected " +
           std::to_string(expected.scores[k]));
  if (call.nlhs < 2) return;
  if (r.outputs.size() != 2 || !r.output(1)) fail("Classes missing");
  if (standin::dims_of(r.output(1)) != std::vector<mwSize>{N, 1}) fail("Classes is not N x 1");
  if (standin::values_of(r.output(1)) != expected.classes) fail("Classes differ from classification's");
}

// The first `rows` rows of a column-order matrix input, as doubles.
standin::ArrayPtr first_rows(const fuzz::Input& in, std::uint64_t rows) {
  const std::uint64_t all = in.dims[0], cols = in.dims[1];
  std::vector<double> values(rows * cols);
  for (std::uint64_t c = 0; c < cols; ++c)
    for (std::uint64_t r = 0; r < rows; ++r) values[c * rows + r] = in.values[c * all + r];
  return standin::make_double(rows, cols, values);
}

void check_batch(const fuzz::Call& call, const standin::CallResult& single, const standin::CallOptions& options) {
  auto fail = [&](const std::string& what) { fuzz::violation(target, "batch: " + what, call); };
  const std::vector<fuzz::Input>& in = call.inputs;
  if (call.nlhs == 0 || in[1].dims.size() != 2) return;
  const std::uint64_t K = in[0].dims[0], half = (K + 1) / 2;
  const auto labels = [&](std::uint64_t rows) {
    return standin::make_double(rows, 1, std::vector<double>(in[1].values.begin(), in[1].values.begin() + rows));
  };
  std::vector<const mxArray*> args = call.arrays();
  const standin::ArrayPtr half_templates = first_rows(in[0], half), half_labels = labels(half);
  args[0] = half_templates.get();
  args[1] = half_labels.get();
  const standin::CallResult second = standin::call(vorla::vorla_score, call.nlhs, args, options);
  if (second.error) fail("the call of the first nodes failed: " + *second.error);
  std::vector<standin::ArrayPtr> t, l, p;
  t.push_back(first_rows(in[0], K));
  t.push_back(first_rows(in[0], half));
  l.push_back(labels(K));
  l.push_back(labels(half));
  const standin::ArrayPtr templates = standin::make_cell(2, 1, std::move(t));
  const standin::ArrayPtr node_labels = standin::make_cell(1, 2, std::move(l));
  args[0] = templates.get();
  args[1] = node_labels.get();
  // Both with the one matrix, or each with a copy of its own.
  standin::ArrayPtr patterns;
  if (in[6].dims[0] % 2 == 1) {
    p.push_back(first_rows(in[6], in[6].dims[0]));
    p.push_back(first_rows(in[6], in[6].dims[0]));
    patterns = standin::make_cell(1, 2, std::move(p));
    args[6] = patterns.get();
  }
  const standin::CallResult batch = standin::call(vorla::vorla_score, call.nlhs, args, options);
  if (batch.error) fail("failed: " + *batch.error);
  if (!batch.faults.empty() || batch.free_store_live != 0) fail("misused the host or leaked");
  for (std::size_t out = 0; out < batch.outputs.size(); ++out)
    for (std::size_t k = 0; k < 2; ++k) {
      const mxArray* got = standin::cell_of(batch.output(out), k);
      const mxArray* own = (k == 0 ? single : second).output(out);
      if (!got || standin::dims_of(got) != standin::dims_of(own) || standin::values_of(got) != standin::values_of(own))
        fail("output " + std::to_string(out + 1) + " of network " + std::to_string(k + 1) + " differs from its call's");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader bytes(data, size);
  const fuzz::Call call = fuzz::decode_score(bytes);
  fuzz::apply_bank_choices(call);
  vorla::set_thread_work_floor(1);
  // Calls of class_count 0 take each way to their classes, by the patterns' count.
  const vorla::ClassesAlone ways[] = {vorla::ClassesAlone::timed, vorla::ClassesAlone::whole,
                                      vorla::ClassesAlone::classes};
  const std::uint64_t rows = call.inputs.size() > 6 && !call.inputs[6].dims.empty() ? call.inputs[6].dims[0] : 0;
  vorla::set_classes_alone(ways[rows % 3], 8);
  const std::optional<std::string> expected = fuzz::expected_score_error(call);
  standin::CallOptions options;
  options.flop_counter = call.flop_counter;
  const standin::CallResult result = standin::call(vorla::vorla_score, call.nlhs, call.arrays(), options);
  if (!fuzz::check_outcome(target, call, expected, result)) return 0;
  // A batch of no network (the decoder sets no cell element) gives empty cells.
  if (call.inputs[0].kind == fuzz::Kind::Cell) {
    for (const standin::ArrayPtr& out : result.outputs)
      if (!out || standin::dims_of(out.get()) != standin::dims_of(call.inputs[0].array.get()))
        fuzz::violation(target, "the cells of a batch of no network are not shaped as Templates", call);
    return 0;
  }
  check_outputs(call, result);
  check_batch(call, result, options);
  return 0;
}
