// Fuzz target: one vorla_learn batch on the stand-in host per input. The bytes make a call of
// vorla_learn as the learn target decodes it; where that call has 14 inputs, a scalar vigilance
// and must succeed, the rest of the bytes add Orders (up to 6 networks of up to 30 rows each,
// repeats and empty orders among them), one vigilance per network or the call's for all, given
// nodes per network or the call's for all, and threads. Every network must give the outputs of
// the call on its rows, bit for bit; the text must be those calls' texts in network order, and
// the flop feed theirs (one thread) or one sum per network (more).
#include "fuzz_call.h"
#include "plain_training.h"
#include "threads.h"
#include "vorla_learn.h"

#include <cmath>
#include <regex>
#include <string>

namespace {

const char target[] = "vorla_learn batch";

// A double array of the rows of a column-order rows x cols input, in the given order.
standin::ArrayPtr rows_of(const fuzz::Input& in, const std::vector<double>& order) {
  const std::uint64_t rows = in.dims[0], cols = in.dims.size() > 1 ? in.dims[1] : 1;
  std::vector<double> values(order.size() * cols);
  for (std::size_t r = 0; r < order.size(); ++r)
    for (std::uint64_t c = 0; c < cols; ++c)
      values[c * order.size() + r] = in.values[c * rows + static_cast<std::uint64_t>(order[r]) - 1];
  return standin::make_double(order.size(), cols, values);
}

std::string untimed(const std::string& text) {
  const std::string t =
      std::regex_replace(text, std::regex(" comparisons in [0-9]+ seconds"), " comparisons in N seconds");
  return std::regex_replace(t, std::regex(", [0-9]+\\.[0-9]{2} s"), ", T s");
}

std::vector<double> counts_of(const mxArray* history) {
  std::vector<double> v = standin::values_of(history);
  v.resize(v.size() / 4 * 3);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader bytes(data, size);
  fuzz::Call call = fuzz::decode_learn(bytes);
  if (call.inputs.size() != 14 || fuzz::expected_learn_error(call) || call.inputs[3].kind != fuzz::Kind::Double ||
      call.inputs[3].dims != std::vector<std::uint64_t>{1, 1})
    return 0;
  fuzz::apply_bank_choices(call);
  auto fail = [&](const std::string& what) { fuzz::violation(target, what, call); };
  const std::uint64_t N = call.inputs[0].dims[0];
  const std::size_t V = bytes.byte() % 7;
  std::vector<std::vector<double>> orders(V);
  for (auto& order : orders) {
    const std::size_t length = N == 0 ? 0 : bytes.byte() % 31;
    for (std::size_t j = 0; j < length; ++j) order.push_back(1 + static_cast<double>(bytes.byte() % N));
  }
  static const double levels[] = {0, 1, 0.5, 0.7, 0.7 - 1e-7, 0.7 + 1e-7, 0.9, 0.25};
  std::vector<double> vigilances;
  if (bytes.byte() % 2)
    for (std::size_t k = 0; k < V; ++k) vigilances.push_back(levels[bytes.byte() % 8]);
  // Per network: the call's given nodes or none.
  const bool per_network = bytes.byte() % 2;
  std::vector<bool> given(V);
  for (std::size_t k = 0; k < V; ++k) given[k] = per_network && bytes.byte() % 2;
  const int threads = bytes.byte() % 4;

  std::vector<const mxArray*> batch = call.arrays();
  standin::ArrayPtr vigilance_array, templates_cell, labels_cell, orders_cell, threads_array;
  if (vigilances.size() > 1) {
    vigilance_array = standin::make_double(1, vigilances.size(), vigilances);
    batch[3] = vigilance_array.get();
  }
  if (per_network) {
    std::vector<standin::ArrayPtr> boxes, labels;
    const fuzz::Input& T0 = call.inputs[12];
    const fuzz::Input& L0 = call.inputs[13];
    for (std::size_t k = 0; k < V; ++k) {
      boxes.push_back(given[k] ? standin::make_double(T0.dims[0], T0.dims[1], T0.values) : standin::make_double(0, 0));
      labels.push_back(given[k] ? standin::make_double(L0.values.size(), 1, L0.values) : standin::make_double(0, 0));
    }
    templates_cell = standin::make_cell(1, V, std::move(boxes));
    labels_cell = standin::make_cell(1, V, std::move(labels));
    batch[12] = templates_cell.get();
    batch[13] = labels_cell.get();
  }
  std::vector<standin::ArrayPtr> order_arrays;
  for (const auto& order : orders) order_arrays.push_back(standin::make_double(1, order.size(), order));
  orders_cell = standin::make_cell(V, 1, std::move(order_arrays));
  threads_array = standin::make_scalar(threads);
  batch.push_back(orders_cell.get());
  batch.push_back(threads_array.get());

  const standin::CallResult r = standin::call(vorla::vorla_learn, call.nlhs, batch);
  if (!fuzz::check_outcome(target, call, std::nullopt, r)) return 0;
  const bool serial = vorla::threads::choose(threads, static_cast<std::int64_t>(V), 1) == 1;
  std::string text;
  std::vector<int> feed;
  for (std::size_t k = 0; k < V; ++k) {
    std::vector<standin::ArrayPtr> own;
    own.push_back(rows_of(call.inputs[0], orders[k]));
    std::vector<double> labels;
    for (double row : orders[k]) labels.push_back(call.inputs[1].values[static_cast<std::size_t>(row) - 1]);
    own.push_back(standin::make_double(labels.size(), 1, labels));
    std::vector<const mxArray*> single = call.arrays();
    single[0] = own[0].get();
    single[1] = own[1].get();
    standin::ArrayPtr vigilance =
        standin::make_scalar(vigilances.size() > 1 ? vigilances[k] : call.inputs[3].values[0]);
    if (vigilances.size() > 1) single[3] = vigilance.get();
    standin::ArrayPtr none = standin::make_double(0, 0);
    if (per_network && !given[k]) single[12] = single[13] = none.get();
    const standin::CallResult alone = standin::call(vorla::vorla_learn, call.nlhs, single);
    if (!fuzz::check_outcome(target, call, std::nullopt, alone)) return 0;
    for (int out = 0; out < 2; ++out) {
      const mxArray* got = standin::cell_of(r.output(out), k);
      if (!got || standin::dims_of(got) != standin::dims_of(alone.output(out)) ||
          !fuzz::same_bits(standin::values_of(got), standin::values_of(alone.output(out))))
        fail("network " + std::to_string(k + 1) + ": output " + std::to_string(out + 1) + " differs from its own call");
    }
    if (standin::values_of(r.output(2))[k] != standin::values_of(alone.output(2))[0])
      fail("network " + std::to_string(k + 1) + ": presentations differ from its own call");
    if (call.nlhs == 4 && counts_of(standin::cell_of(r.output(3), k)) != counts_of(alone.output(3)))
      fail("network " + std::to_string(k + 1) + ": history differs from its own call");
    text += alone.text;
    long long sum = 0;
    for (int f : alone.flops) sum += f;
    if (serial)
      feed.insert(feed.end(), alone.flops.begin(), alone.flops.end());
    else if (sum > 0)
      feed.push_back(static_cast<int>(sum));
  }
  if (untimed(r.text) != untimed(text)) fail("the text is not the networks' own texts in order");
  if (r.flops != feed) fail("the flop feed is not the networks' own");
  return 0;
}
