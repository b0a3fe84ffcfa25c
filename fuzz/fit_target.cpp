// Fuzz target: one vorla_fit call on the stand-in host per input. A successful call is checked
// for properties of its outputs and compared with a plain training run of the same inputs:
// templates, labels, presentation count, every value fed to the flop counter, the totals.
#include "bank.h"
#include "fuzz_call.h"
#include "vorla_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <stdexcept>

namespace {

const char target[] = "vorla_fit";

// Training written out plainly, one node at a time, as the check of the entry point's results.
struct PlainRun {
  std::vector<double> templates;  // K x 2M, column order
  std::vector<double> labels;
  double presented = 0;
  bool converged = false;
  std::int64_t inactive = 0;
  std::vector<int> flops;
  std::uint64_t flop_total = 3;
  std::uint64_t comparison_total = 0;
};

PlainRun train_plainly(const fuzz::Call& call) {
  const std::vector<fuzz::Input>& in = call.inputs;
  const std::size_t N = in[0].dims[0], M = in[0].dims[1];
  const double D = in[2].values[0], vigilance = in[3].values[0], alpha = in[4].values[0], rate = in[5].values[0];
  const double cap_value = in[6].values[0];
  const std::int64_t cap = cap_value >= 2147483648.0 ? 2147483647 : static_cast<std::int64_t>(cap_value);
  const bool trim = static_cast<int>(in[7].values[0]) == 1, ct = static_cast<int>(in[8].values[0]) == 1;
  const double tolerance = 1e-7, Tu = D / (alpha - D * (-2.0));
  const std::uint32_t m = static_cast<std::uint32_t>(M);

  struct Box {
    std::vector<double> lower, upper;
    std::int32_t label = 0;
    bool active = true, eligible = false;
    double denominator = 0, mfv = 0, cfv = 0;
  };
  std::vector<Box> nodes;
  PlainRun run;
  std::int64_t presentation = 0, activated = 0;
  for (;;) {
    ++presentation;
    std::int64_t created = 0, updated = 0;
    activated = 0;
    for (Box& b : nodes) b.active = false;
    for (std::size_t p = 0; p < N; ++p) {
      std::vector<double> x(M);
      for (std::size_t i = 0; i < M; ++i) x[i] = in[0].values[i * N + p];
      const double label = in[1].values[p];
      std::uint32_t flops = 0, comparisons = 0;
      double rho = vigilance;
      std::int64_t winner = -1;
      double best = 0;
      auto consider = [&](std::int64_t j) {
        if (winner < 0) {
          winner = j;
          best = nodes[j].cfv;
        } else {
          comparisons += 1;
          if (nodes[j].cfv > best) {
            winner = j;
            best = nodes[j].cfv;
          }
        }
      };
      for (std::size_t j = 0; j < nodes.size(); ++j) {
        Box& b = nodes[j];
        b.eligible = true;
        double size = 0.0;
        for (std::size_t i = 0; i < M; ++i) {
          const double high = x[i] < b.upper[i] ? b.upper[i] : x[i];
          const double low = x[i] <= b.lower[i] ? x[i] : b.lower[i];
          size = size + (high - low);
        }
        b.mfv = (D - size) / D;
        flops += 2 * m + 2;
        comparisons += 2 * m;
        if (!(b.mfv + tolerance >= rho)) {
          comparisons += 1;
          b.eligible = false;
          continue;
        }
        b.cfv = (D - size) / b.denominator;
        flops += 1;
        if (ct) {
          comparisons += 1;
          if (!(b.cfv + tolerance >= Tu)) {
            b.eligible = false;
            continue;
          }
        }
        consider(static_cast<std::int64_t>(j));
      }
      bool tracked = false;
      for (;;) {
        if (winner < 0) {
          Box b;
          b.lower = x;
          b.upper = x;
          b.label = static_cast<std::int32_t>(label);
          b.denominator = alpha + D;
          nodes.push_back(b);
          ++created;
          break;
        }
        Box& w = nodes[static_cast<std::size_t>(winner)];
        if (static_cast<double>(w.label) == label) {
          bool changed = false;
          for (std::size_t i = 0; i < M; ++i) {
            const double down = x[i] <= w.lower[i] ? x[i] : w.lower[i];
            if (down != w.lower[i]) {
              if (rate == 1.0) {
                changed = true;
                w.lower[i] = down;
              } else {
                const double before = w.lower[i];
                w.lower[i] = rate * down + (1 - rate) * before;
                flops += 4;
                // A blend that rounds back to the corner is no change.
                changed = changed || w.lower[i] != before;
              }
            }
            const double up = x[i] < w.upper[i] ? w.upper[i] : x[i];
            if (up != w.upper[i]) {
              if (rate == 1.0) {
                changed = true;
                w.upper[i] = up;
              } else {
                const double before = w.upper[i];
                w.upper[i] = rate * up + (1 - rate) * before;
                flops += 4;
                // A blend that rounds back to the corner is no change.
                changed = changed || w.upper[i] != before;
              }
            }
          }
          if (changed) {
            double size = 0.0;
            for (std::size_t i = 0; i < M; ++i) size = size + (w.upper[i] - w.lower[i]);
            w.denominator = (D - size) + alpha;
            flops += 2 * m + 2;
            ++updated;
          }
          comparisons += 4 * m;
          if (!tracked && !changed && !w.active) {
            w.active = true;
            ++activated;
          }
          break;
        }
        rho = w.mfv;
        tracked = true;
        winner = -1;
        for (std::size_t j = 0; j < nodes.size(); ++j) {
          if (!nodes[j].eligible) continue;
          comparisons += 1;
          if (!(nodes[j].mfv > rho)) {
            nodes[j].eligible = false;
            continue;
          }
          consider(static_cast<std::int64_t>(j));
        }
      }
      run.flops.push_back(static_cast<int>(comparisons + flops));
      run.flop_total += flops;
      run.comparison_total += comparisons;
    }
    if (created == 0 && updated == 0) {
      run.converged = true;
      break;
    }
    if (!(presentation < cap)) break;
  }
  run.presented = static_cast<double>(run.converged ? presentation - 1 : presentation);
  run.inactive = static_cast<std::int64_t>(nodes.size()) - activated;
  std::vector<const Box*> kept;
  for (const Box& b : nodes)
    if (!(trim && run.converged && !b.active)) kept.push_back(&b);
  const std::size_t K = kept.size();
  run.templates.assign(K * 2 * M, 0.0);
  for (std::size_t r = 0; r < K; ++r) {
    for (std::size_t i = 0; i < M; ++i) {
      run.templates[i * K + r] = kept[r]->lower[i];
      run.templates[(M + i) * K + r] = kept[r]->upper[i];
    }
    run.labels.push_back(static_cast<double>(kept[r]->label));
  }
  return run;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

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
    char line[200];
    std::snprintf(line, sizeof line, "\n%llu FLOPs and %llu comparisons in ", static_cast<unsigned long long>(plain.flop_total),
                  static_cast<unsigned long long>(plain.comparison_total));
    if (r.text.find(line) == std::string::npos) fail(std::string("report lacks: ") + (line + 1));
    if (converged) {
      const long n = static_cast<long>(plain.inactive);
      std::snprintf(line, sizeof line, "\n%ld inactive %s %s ", n, n == 1 ? "node" : "nodes",
                    trim_option == 1 ? "trimmed" : "detected");
      if (r.text.find(line) == std::string::npos) fail(std::string("report lacks: ") + (line + 1));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader bytes(data, size);
  const fuzz::Call call = fuzz::decode_fit(bytes);
  static const vorla::MatchPath paths[] = {vorla::MatchPath::automatic, vorla::MatchPath::per_node,
                                           vorla::MatchPath::scalar,    vorla::MatchPath::sse2,
                                           vorla::MatchPath::avx2,      vorla::MatchPath::avx512};
  vorla::set_match_path(paths[call.match_path]);
  static const vorla::IndexUse uses[] = {vorla::IndexUse::automatic, vorla::IndexUse::always, vorla::IndexUse::never};
  vorla::set_index_use(uses[call.index_use]);
  const std::optional<std::string> expected = fuzz::expected_fit_error(call);
  const standin::CallResult result = standin::call(vorla::vorla_fit, call.nlhs, call.arrays());
  if (fuzz::check_outcome(target, call, expected, result)) check_outputs(call, result);
  return 0;
}
