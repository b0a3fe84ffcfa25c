#include "plain_training.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace fuzz {

PlainRun train_plainly(const Call& call) {
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
  // vorla_learn's given nodes come first; the tolerant rule takes the wrong winner alone out.
  const bool learn_inputs = in.size() == 14;
  const bool tolerant = learn_inputs && static_cast<int>(in[10].values[0]) == 1;
  const std::size_t given = learn_inputs ? static_cast<std::size_t>(in[12].dims[0]) : 0;
  for (std::size_t r = 0; r < given; ++r) {
    Box b;
    for (std::size_t i = 0; i < M; ++i) {
      b.lower.push_back(in[12].values[i * given + r]);
      b.upper.push_back(in[12].values[(M + i) * given + r]);
    }
    b.label = static_cast<std::int32_t>(in[13].values[r]);
    double size = 0.0;
    for (std::size_t i = 0; i < M; ++i) size = size + (b.upper[i] - b.lower[i]);
    b.denominator = (D - size) + alpha;
    nodes.push_back(b);
  }
  PlainRun run;
  std::int64_t presentation = 0;
  for (;;) {
    ++presentation;
    std::int64_t created = 0, updated = 0;
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
          // A missing feature (NaN) lies inside the box.
          const bool missing = std::isnan(x[i]);
          const double high = missing || x[i] < b.upper[i] ? b.upper[i] : x[i];
          const double low = !missing && x[i] <= b.lower[i] ? x[i] : b.lower[i];
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
          // Missing features stay open: the interval from 1 down to 0.
          bool open = false;
          for (std::size_t i = 0; i < M; ++i)
            if (std::isnan(x[i])) {
              b.lower[i] = 1.0;
              b.upper[i] = 0.0;
              open = true;
            }
          if (open) {
            double size = 0.0;
            for (std::size_t i = 0; i < M; ++i) size = size + (b.upper[i] - b.lower[i]);
            b.denominator = (D - size) + alpha;
          }
          nodes.push_back(b);
          ++created;
          break;
        }
        Box& w = nodes[static_cast<std::size_t>(winner)];
        if (static_cast<double>(w.label) == label) {
          bool changed = false;
          for (std::size_t i = 0; i < M; ++i) {
            if (std::isnan(x[i])) continue;
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
          if (!tracked && !changed) w.active = true;
          break;
        }
        rho = w.mfv;
        tracked = true;
        if (tolerant) w.eligible = false;
        winner = -1;
        for (std::size_t j = 0; j < nodes.size(); ++j) {
          if (!nodes[j].eligible) continue;
          comparisons += 1;
          if (tolerant ? !(nodes[j].mfv >= rho) : !(nodes[j].mfv > rho)) {
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
    run.node_counts.push_back(static_cast<std::int64_t>(nodes.size()));
    run.created.push_back(created);
    run.updated.push_back(updated);
    if (created == 0 && updated == 0) {
      run.converged = true;
      break;
    }
    if (!(presentation < cap)) break;
  }
  run.presented = static_cast<double>(run.converged ? presentation - 1 : presentation);
  for (std::size_t j = given; j < nodes.size(); ++j) run.inactive += nodes[j].active ? 0 : 1;
  std::vector<const Box*> kept;
  for (std::size_t j = 0; j < nodes.size(); ++j)
    if (!(trim && run.converged && !nodes[j].active && j >= given)) kept.push_back(&nodes[j]);
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

std::string report_mismatch(const PlainRun& plain, const std::string& text, int trim_option) {
  char line[200];
  std::snprintf(line, sizeof line, "\n%llu FLOPs and %llu comparisons in ", static_cast<unsigned long long>(plain.flop_total),
                static_cast<unsigned long long>(plain.comparison_total));
  if (text.find(line) == std::string::npos) return std::string("report lacks: ") + (line + 1);
  if (plain.converged) {
    const long n = static_cast<long>(plain.inactive);
    std::snprintf(line, sizeof line, "\n%ld inactive %s %s ", n, n == 1 ? "node" : "nodes",
                  trim_option == 1 ? "trimmed" : "detected");
    if (text.find(line) == std::string::npos) return std::string("report lacks: ") + (line + 1);
  }
  return "";
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

}  // namespace fuzz
