#include "bank.h"
#include "score.h"
#include "standin.h"
#include "test_support.h"
#include "vorla_score.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

using standin::ArrayPtr;
using standin::make_double;
using standin::make_scalar;
using test::Inputs;

namespace {

// The arguments of a score call, valid by default: the two-template example.
struct ScoreCall {
  std::vector<std::vector<double>> templates = {{0.1, 0.2, 0.3, 0.4}, {0.5, 0.5, 0.9, 0.9}};
  std::vector<double> labels = {1, 2};
  double D = 2, vigilance = 0, alpha = 0.01, ct_option = 0;
  std::vector<std::vector<double>> patterns = {{0.2, 0.3}, {0.6, 0.6}};
  double class_count = 2;
  double threads = -1;  // below 0: the 9th input left out
  int nlhs = 1;

  Inputs inputs() const {
    Inputs in;
    const std::size_t M2 = templates.empty() ? 4 : templates[0].size();
    in.add(templates.empty() ? make_double(0, M2) : standin::make_matrix(templates));
    in.add(test::column(labels));
    for (double v : {D, vigilance, alpha, ct_option}) in.add(make_scalar(v));
    in.add(patterns.empty() ? make_double(0, M2 / 2) : standin::make_matrix(patterns));
    in.add(make_scalar(class_count));
    if (!(threads < 0)) in.add(make_scalar(threads));
    return in;
  }
  standin::CallResult run(standin::CallOptions options = {}) const {
    Inputs in = inputs();
    return standin::call(vorla::vorla_score, nlhs, in.pointers(), options);
  }
};

// Lets even the smallest call share its patterns among threads.
struct ThreadFloorScope {
  explicit ThreadFloorScope(std::int64_t visits) : saved(vorla::thread_work_floor()) {
    vorla::set_thread_work_floor(visits);
  }
  ~ThreadFloorScope() { vorla::set_thread_work_floor(saved); }
  std::int64_t saved;
};

// The scores as a plain reading of their definition: per class, the greatest cfv among the
// nodes passing the vigilance test (and the CT), NaN giving none, 0 where nothing is above;
// a missing feature (NaN) of a pattern lies inside every box. classes, when given, receives
// the class of the node with the greatest cfv, the first on ties (0: none).
std::vector<double> plain_scores(const ScoreCall& c, std::vector<double>* classes = nullptr) {
  const std::size_t N = c.patterns.size(), C = static_cast<std::size_t>(c.class_count);
  const std::size_t M = c.templates.empty() ? 0 : c.templates[0].size() / 2;
  const double Tu = c.D / (c.alpha + 2 * c.D);
  std::vector<double> s(N * C, 0.0);
  if (classes) classes->assign(N, 0.0);
  for (std::size_t j = 0; j < N; ++j) {
    double winner = -1;
    for (std::size_t k = 0; k < c.templates.size(); ++k) {
      const std::vector<double>& t = c.templates[k];
      double size = 0.0, grown = 0.0;
      for (std::size_t i = 0; i < M; ++i) {
        const double x = c.patterns[j][i];
        size = size + (t[M + i] - t[i]);
        grown = grown + (std::isnan(x) ? t[M + i] - t[i] : (x < t[M + i] ? t[M + i] : x) - (x <= t[i] ? x : t[i]));
      }
      const double numerator = c.D - grown;
      if (!(numerator / c.D >= c.vigilance)) continue;
      const double cfv = numerator / ((c.D - size) + c.alpha);
      if ((c.ct_option == 1 && !(cfv >= Tu)) || std::isnan(cfv)) continue;
      double& best = s[(static_cast<std::size_t>(c.labels[k]) - 1) * N + j];
      if (cfv > best) best = cfv;
      if (classes && cfv > winner) {
        winner = cfv;
        (*classes)[j] = c.labels[k];
      }
    }
  }
  return s;
}

TEST(ScoreWorkedExample, BestChoiceValuePerClassInColumnOrder) {
  ScoreCall c;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(r.text, "");
  EXPECT_TRUE(r.flops.empty());
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{2, 2}));
  // Node 1 holds pattern 1, node 2 pattern 2; each also reaches the other's pattern.
  EXPECT_EQ(standin::values_of(r.output(0)),
            (std::vector<double>{1.6 / 1.61, (2 - 0.9) / 1.61, (2 - 1.3) / 1.21, 1.2 / 1.21}));
  // Vigilance 0.5 refuses node 2 for pattern 1 (MFV 0.35); class 3 has no node; a pattern
  // far from every box gets zeros.
  c.vigilance = 0.5;
  c.class_count = 3;
  c.patterns = {{0.2, 0.3}, {9, 9}};
  r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{1.6 / 1.61, 0, 0, 0, 0, 0}));
  // A box as large as D with alpha 0 holding the pattern has cfv 0/0: no score, but as the
  // first candidate classification keeps it; as a later one it is passed over.
  c = ScoreCall();
  c.templates = {{0, 0, 1, 1}, {0.4, 0.4, 0.6, 0.6}};
  c.labels = {2, 1};
  c.D = 2;
  c.alpha = 0;
  c.patterns = {{0.5, 0.5}};
  c.nlhs = 2;
  r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{1, 0}));
  EXPECT_EQ(standin::values_of(r.output(1)), std::vector<double>{2});
  std::swap(c.templates[0], c.templates[1]);
  c.labels = {1, 2};
  r = c.run();
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{1, 0}));
  EXPECT_EQ(standin::values_of(r.output(1)), std::vector<double>{1});
  // The same classes asked for alone, either way, also for a pattern with a feature missing.
  c.class_count = 0;
  c.patterns = {{0.5, 0.5}, {NAN, 0.5}};
  for (const bool large_first : {true, false}) {
    std::swap(c.templates[0], c.templates[1]);  // the large box first, then last
    c.labels = {large_first ? 2.0 : 1.0, large_first ? 1.0 : 2.0};
    for (vorla::ClassesAlone way : {vorla::ClassesAlone::whole, vorla::ClassesAlone::classes}) {
      vorla::set_classes_alone(way);
      r = c.run();
      vorla::set_classes_alone(vorla::ClassesAlone::timed);
      test::expect_sound(r);
      EXPECT_EQ(standin::values_of(r.output(1)), std::vector<double>(2, large_first ? 2 : 1)) << large_first;
    }
  }
  // No class, no template, no pattern.
  c = ScoreCall();
  c.templates.clear();
  c.labels.clear();
  c.class_count = 0;
  r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{2, 0}));
  c = ScoreCall();
  c.patterns.clear();
  EXPECT_EQ(standin::dims_of(c.run().output(0)), (std::vector<mwSize>{0, 2}));
}

TEST(ScoreArguments, FaultsInArgumentOrder) {
  const std::string p = "VORLA_SCORE: ";
  struct Fault {
    std::function<void(ScoreCall&)> change;
    std::string message;
  };
  const std::vector<Fault> faults = {
      {[](ScoreCall& c) { c.templates[0][1] = NAN; }, "1st input argument (Templates) must not contain NaN or Inf values."},
      {[](ScoreCall& c) { c.labels = {1}; }, "2nd input argument (NLabels) must be of type  2x1 or 1x2."},
      {[](ScoreCall& c) { c.D = -1; }, "3rd input argument (D) must be non-negative."},
      {[](ScoreCall& c) { c.ct_option = 2; }, "6th input argument (ct_option) must be either 0 or 1."},
      {[](ScoreCall& c) { c.patterns = {{1, 2, 3}}; }, "7th input argument (Patterns) must be of type  1x2."},
      {[](ScoreCall& c) { c.class_count = 1.5; },
       "8th input argument (class_count) must be a whole number from 0 to 2147483647."},
      {[](ScoreCall& c) { c.class_count = -1; },
       "8th input argument (class_count) must be a whole number from 0 to 2147483647."},
      {[](ScoreCall& c) { c.class_count = NAN; },
       "8th input argument (class_count) must be a whole number from 0 to 2147483647."},
      {[](ScoreCall& c) { c.class_count = 1; },
       "2nd input argument (NLabels) must hold class numbers 1 to class_count (1); entry 2 is not one."},
      {[](ScoreCall& c) { c.labels = {0.5, 2}; },
       "2nd input argument (NLabels) must hold class numbers 1 to class_count (2); entry 1 is not one."},
      {[](ScoreCall& c) { c.labels = {3, -1}, c.class_count = 0; },
       "2nd input argument (NLabels) must hold class numbers from 1; entry 2 is not one."},
      {[](ScoreCall& c) { c.threads = 1.5; }, "9th input argument (threads) must be a whole number from 0 to 2147483647."},
      {[](ScoreCall& c) { c.threads = NAN; }, "9th input argument (threads) must be a whole number from 0 to 2147483647."},
      {[](ScoreCall& c) { c.threads = 2147483648.0; },
       "9th input argument (threads) must be a whole number from 0 to 2147483647."},
      // The class count is checked against the labels before the threads are read.
      {[](ScoreCall& c) { c.class_count = 1, c.threads = -0.5; },
       "2nd input argument (NLabels) must hold class numbers 1 to class_count (1); entry 2 is not one."},
      {[](ScoreCall& c) { c.threads = 2, c.nlhs = 3; }, "at most 2 output arguments allowed."},
  };
  for (const Fault& f : faults) {
    ScoreCall c;
    f.change(c);
    const auto r = c.run();
    ASSERT_TRUE(r.error) << f.message;
    EXPECT_EQ(*r.error, p + f.message);
    EXPECT_TRUE(r.faults.empty());
  }
  // Labels truncate toward zero, as in classification: 2.9 is class 2.
  ScoreCall c;
  c.labels = {1, 2.9};
  test::expect_sound(c.run());
  Inputs in = c.inputs();
  in.arrays.pop_back();
  EXPECT_EQ(*standin::call(vorla::vorla_score, 1, in.pointers()).error, p + "8 or 9 input arguments required.");
  in = c.inputs();
  in.add(make_scalar(1)).add(make_scalar(1));
  EXPECT_EQ(*standin::call(vorla::vorla_score, 1, in.pointers()).error, p + "8 or 9 input arguments required.");
}

struct IndexScope {
  explicit IndexScope(vorla::IndexUse use) { vorla::set_index_use(use); }
  ~IndexScope() { vorla::set_index_use(vorla::IndexUse::automatic); }
};

struct ClassesAloneScope {
  ClassesAloneScope(vorla::ClassesAlone way, std::int32_t trial) { vorla::set_classes_alone(way, trial); }
  ~ClassesAloneScope() { vorla::set_classes_alone(vorla::ClassesAlone::timed); }
};

// Whatever the search takes (a scan, the index with the bound on the choice value, the
// automatic choice) and however many threads share the patterns (chunks of one group each,
// so that every set of searches meets patterns in an order of its own), the scores are those
// of the plain reading, bit for bit, and the classes those that classification gives; asked
// for alone (class_count 0), the classes are the same whichever way a set finds them (the
// search of every node, the classes' searches, or the faster of both after trials of one
// group or of three, which end within a chunk or across chunks).
TEST(ScoreExactness, EverySearchOnAnyThreadsGivesThePlainScores) {
  struct Setting {
    int K, M, classes;
    double vigilance;
    int ct;
    double step;  // corners on a grid of this step (ties between boxes), or 0 for any value
  };
  const Setting settings[] = {{40, 2, 3, 0, 0, 0.125}, {700, 4, 2, 0, 0, 0},    {700, 4, 3, 0.5, 1, 0},
                              {1200, 3, 4, 0, 1, 0.25}, {600, 6, 1, 0.3, 0, 0}, {900, 2, 5, 0, 0, 0.0625}};
  std::mt19937 random(5);
  for (const Setting& s : settings) {
    ScoreCall c;
    c.templates.clear();
    c.labels.clear();
    c.D = s.M;
    c.vigilance = s.vigilance;
    c.ct_option = s.ct;
    c.alpha = 0.001;
    c.class_count = s.classes;
    std::uniform_real_distribution<double> unit(0, 1);
    auto value = [&] { return s.step > 0 ? std::floor(unit(random) / s.step) * s.step : unit(random); };
    for (int k = 0; k < s.K; ++k) {
      std::vector<double> row(2 * s.M);
      for (int i = 0; i < s.M; ++i) {
        const double a = value(), b = 0.15 * value();
        row[i] = a * 0.85;
        row[s.M + i] = a * 0.85 + b;
      }
      // Some boxes are still open in a feature, as a pattern with it missing leaves them.
      if (k % 11 == 3) {
        row[k % s.M] = 1;
        row[s.M + k % s.M] = 0;
      }
      c.templates.push_back(row);
      c.labels.push_back(1 + (k * 7 + k / 3) % s.classes);
    }
    c.patterns.clear();
    for (int j = 0; j < 700; ++j) {
      std::vector<double> x(s.M);
      for (double& v : x) v = j % 97 == 5 ? NAN : value();
      // Here and there one feature missing, alone in a group of 8 or beside others.
      if (j % 13 == 4 || (j / 8) % 9 == 2) x[static_cast<std::size_t>(j) % x.size()] = NAN;
      c.patterns.push_back(x);
    }
    test::EvalCall e;
    e.templates = c.templates;
    e.labels = c.labels;
    e.D = c.D;
    e.vigilance = c.vigilance;
    e.alpha = c.alpha;
    e.ct_option = c.ct_option;
    e.patterns = c.patterns;
    // Classification's class where no feature is missing; the plain rule's where one is.
    std::vector<double> labels = standin::values_of(e.run().output(0));
    std::vector<double> plain_classes;
    const std::vector<double> expect = plain_scores(c, &plain_classes);
    for (std::size_t j = 0; j < labels.size(); ++j)
      if (std::any_of(c.patterns[j].begin(), c.patterns[j].end(), [](double v) { return std::isnan(v); }))
        labels[j] = plain_classes[j];
    const std::string name = "K " + std::to_string(s.K) + " M " + std::to_string(s.M);
    c.nlhs = 2;
    const ThreadFloorScope floor(1);
    for (vorla::IndexUse use : {vorla::IndexUse::never, vorla::IndexUse::always, vorla::IndexUse::automatic})
      for (double threads : {-1.0, 2.0, 3.0}) {
        IndexScope scope(use);
        c.threads = threads;
        const auto r = c.run();
        test::expect_sound(r);
        const std::string where = name + ", index use " + std::to_string(static_cast<int>(use)) + ", threads " +
                                  std::to_string(static_cast<int>(threads));
        EXPECT_EQ(standin::values_of(r.output(0)), expect) << where;
        EXPECT_EQ(standin::values_of(r.output(1)), labels) << where;
      }
    ScoreCall alone = c;
    alone.class_count = 0;
    const std::pair<vorla::ClassesAlone, std::int32_t> ways[] = {
        {vorla::ClassesAlone::whole, 1}, {vorla::ClassesAlone::classes, 1}, {vorla::ClassesAlone::timed, 8},
        {vorla::ClassesAlone::timed, 24}};
    for (const auto& [way, trial] : ways)
      for (double threads : {-1.0, 2.0, 3.0}) {
        const ClassesAloneScope scope(way, trial);
        alone.threads = threads;
        const auto r = alone.run();
        test::expect_sound(r);
        const std::string where = name + ", classes alone, way " + std::to_string(static_cast<int>(way)) +
                                  ", trial " + std::to_string(trial) + ", threads " +
                                  std::to_string(static_cast<int>(threads));
        EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{c.patterns.size(), 0})) << where;
        EXPECT_EQ(standin::values_of(r.output(1)), labels) << where;
      }
    // Any class numbers from 1, with gaps between them.
    for (double& label : alone.labels) label = 3 * label + 2;
    std::vector<double> renamed = labels;
    for (double& label : renamed) label = label == 0 ? 0 : 3 * label + 2;
    const ClassesAloneScope scope(vorla::ClassesAlone::timed, 8);
    alone.threads = 2;
    EXPECT_EQ(standin::values_of(alone.run().output(1)), renamed) << name << ", classes renamed";
  }
}

// Random boxes of M features and labels 1 .. classes, with patterns of their own.
ScoreCall random_network(std::mt19937& random, int K, int M, int classes, int N) {
  std::uniform_real_distribution<double> unit(0, 1);
  ScoreCall c;
  c.templates.clear();
  c.labels.clear();
  c.D = M;
  c.alpha = 0.001;
  c.class_count = classes;
  for (int k = 0; k < K; ++k) {
    std::vector<double> row(2 * static_cast<std::size_t>(M));
    for (int i = 0; i < M; ++i) {
      row[i] = 0.85 * unit(random);
      row[M + i] = row[i] + 0.15 * unit(random);
    }
    c.templates.push_back(row);
    c.labels.push_back(1 + k % classes);
  }
  c.patterns.assign(static_cast<std::size_t>(N), std::vector<double>(static_cast<std::size_t>(M)));
  for (auto& x : c.patterns)
    for (double& v : x) v = unit(random);
  if (N > 3) c.patterns[3][0] = NAN;
  return c;
}

// A batch call of the networks (their D, vigilance, alpha and ct_option those of the first),
// each with its own patterns, or all with the given matrix.
standin::CallResult run_batch(const std::vector<ScoreCall>& nets, const ScoreCall* one_patterns, double class_count,
                              double threads, int nlhs = 2) {
  std::vector<ArrayPtr> templates, labels, patterns;
  for (const ScoreCall& n : nets) {
    Inputs in = n.inputs();
    templates.push_back(std::move(in[0]));
    labels.push_back(std::move(in[1]));
    patterns.push_back(std::move(in[6]));
  }
  Inputs in = nets.front().inputs();
  const std::size_t count = nets.size();
  in[0] = standin::make_cell(count, 1, std::move(templates));
  in[1] = standin::make_cell(1, count, std::move(labels));
  in[6] = one_patterns ? std::move(one_patterns->inputs()[6]) : standin::make_cell(1, count, std::move(patterns));
  in[7] = make_scalar(class_count);
  if (threads >= 0) {
    if (in.arrays.size() == 8) in.add(make_scalar(threads));
    in[8] = make_scalar(threads);
  }
  return standin::call(vorla::vorla_score, nlhs, in.pointers());
}

// Each network of a batch gets what its own call gives, bit for bit, whichever threads share
// out the networks (or their patterns, for a batch of one), with the scores or the classes
// alone, each with patterns of its own or all with one matrix; the cells are shaped as
// Templates.
TEST(ScoreBatch, EachNetworkGetsWhatItsOwnCallGives) {
  std::mt19937 random(11);
  std::vector<ScoreCall> nets = {random_network(random, 300, 2, 3, 150), random_network(random, 0, 2, 3, 20),
                                 random_network(random, 40, 3, 2, 70), random_network(random, 900, 2, 3, 0),
                                 random_network(random, 5, 2, 1, 9)};
  const ThreadFloorScope floor(1);
  const auto check = [](const std::vector<ScoreCall>& batch, const ScoreCall* one, const std::string& name) {
    for (double class_count : {0.0, 3.0})
      for (double threads : {-1.0, 1.0, 2.0, 3.0}) {
        const auto r = run_batch(batch, one, class_count, threads);
        const std::string where = name + ", class_count " + std::to_string(static_cast<int>(class_count)) +
                                  ", threads " + std::to_string(static_cast<int>(threads));
        test::expect_sound(r);
        ASSERT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{batch.size(), 1})) << where;
        ASSERT_EQ(standin::dims_of(r.output(1)), (std::vector<mwSize>{batch.size(), 1})) << where;
        for (std::size_t k = 0; k < batch.size(); ++k) {
          ScoreCall own = batch[k];
          if (one) own.patterns = one->patterns;
          own.D = batch.front().D;
          own.class_count = class_count;
          own.nlhs = 2;
          const auto expect = own.run();
          for (int out = 0; out < 2; ++out) {
            const mxArray* got = standin::cell_of(r.output(out), k);
            ASSERT_NE(got, nullptr) << where;
            EXPECT_EQ(standin::dims_of(got), standin::dims_of(expect.output(out))) << where << ", network " << k;
            EXPECT_EQ(standin::values_of(got), standin::values_of(expect.output(out))) << where << ", network " << k;
          }
        }
      }
  };
  // Network 3 has 3 features and 2 classes: with class_count 3 its third column stays 0.
  check(nets, nullptr, "own patterns");
  const std::vector<ScoreCall> two_features = {nets[0], nets[1], nets[3], nets[4]};
  check(two_features, &nets[0], "one matrix");
  check({nets[3]}, &nets[0], "a batch of one");
  // No network: empty cells shaped as Templates.
  Inputs in = ScoreCall().inputs();
  in[0] = standin::make_cell(0, 3);
  in[1] = standin::make_cell(0, 3);
  const auto r = standin::call(vorla::vorla_score, 2, in.pointers());
  test::expect_sound(r);
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{0, 3}));
  EXPECT_EQ(standin::dims_of(r.output(1)), (std::vector<mwSize>{0, 3}));
}

// A batch's faults in argument order, each entry checked as a call of its own and named.
TEST(ScoreBatch, FaultsInArgumentOrderNameTheEntry) {
  // The cells' elements (Templates, NLabels, Patterns; a null one is never set), which a
  // fault may change before the cells are made, and the inputs, which it may change after.
  struct Batch {
    std::vector<ArrayPtr> elements[3];
    Inputs in;
  };
  const auto entry = [](std::size_t which, std::size_t k, std::function<ArrayPtr()> value) {
    return [=](Batch& b) { b.elements[which][k] = value ? value() : nullptr; };
  };
  const struct {
    std::function<void(Batch&)> before, after;
    std::string message;
  } faults[] = {
      {nullptr, [](Batch& b) { b.in[1] = test::column({1, 2}); },
       "2nd input argument (NLabels) must be a cell with one entry per network (2), as Templates."},
      {nullptr, [](Batch& b) { b.in[1] = standin::make_cell(1, 3); },
       "2nd input argument (NLabels) must be a cell with one entry per network (2), as Templates."},
      {entry(0, 1, [] { return standin::make_matrix({{0.1, NAN, 0.3, 0.4}}); }), nullptr,
       "1st input argument (Templates{2}) must not contain NaN or Inf values."},
      {entry(1, 0, [] { return test::column({1}); }), nullptr,
       "2nd input argument (NLabels{1}) must be of type  2x1 or 1x2."},
      {entry(0, 1, [] { return standin::make_char("ab"); }), nullptr,
       "1st input argument (Templates{2}) must be a full numeric or logical array, not char."},
      {entry(0, 0, nullptr), nullptr, "1st input argument (Templates{1}) is not set; every entry must hold a network."},
      {entry(1, 1, nullptr), nullptr, "2nd input argument (NLabels{2}) is not set; every entry must hold a network."},
      // Templates{2} is checked before the parameters, and they before the patterns.
      {entry(0, 1, [] { return standin::make_matrix({{0.1, INFINITY, 0.3, 0.4}}); }),
       [](Batch& b) { b.in[2] = make_scalar(-1); },
       "1st input argument (Templates{2}) must not contain NaN or Inf values."},
      {entry(2, 0, [] { return standin::make_matrix({{1, 2, 3}}); }), [](Batch& b) { b.in[2] = make_scalar(-1); },
       "3rd input argument (D) must be non-negative."},
      {nullptr, [](Batch& b) { b.in[6] = standin::make_cell(2, 2); },
       "7th input argument (Patterns) must be one matrix for every network, or a cell with one entry per network "
       "(2), as Templates."},
      {entry(2, 1, [] { return standin::make_matrix({{1, 2, 3}}); }), nullptr,
       "7th input argument (Patterns{2}) must be of type  1x2."},
      {nullptr, [](Batch& b) { b.in[6] = standin::make_matrix({{1, 2, 3}}); },
       "7th input argument (Patterns) must be of type  1x2."},
      {entry(2, 1, nullptr), nullptr, "7th input argument (Patterns{2}) is not set; every entry must hold patterns."},
      {entry(1, 1, [] { return test::column({1, 3}); }), nullptr,
       "2nd input argument (NLabels{2}) must hold class numbers 1 to class_count (2); entry 2 is not one."},
      {nullptr, [](Batch& b) { b.in[7] = make_scalar(-1); },
       "8th input argument (class_count) must be a whole number from 0 to 2147483647."},
  };
  for (const auto& f : faults) {
    Batch b;
    b.in = ScoreCall().inputs();
    for (int k = 0; k < 2; ++k) {
      Inputs one = ScoreCall().inputs();
      for (int which = 0; which < 3; ++which) b.elements[which].push_back(std::move(one[which < 2 ? which : 6]));
    }
    if (f.before) f.before(b);
    for (int which = 0; which < 3; ++which)
      b.in[which < 2 ? which : 6] = standin::make_cell(1, 2, std::move(b.elements[which]));
    if (f.after) f.after(b);
    const auto r = standin::call(vorla::vorla_score, 2, b.in.pointers());
    ASSERT_TRUE(r.error) << f.message;
    EXPECT_EQ(*r.error, "VORLA_SCORE: " + f.message);
    EXPECT_TRUE(r.faults.empty());
  }
}

// Scores of N x class_count whose size in bytes wraps around 64 bits: asked of GNU Octave,
// such a matrix comes back tiny and the scoring writes far past it. With no features the
// inputs themselves are empty, so any N and class_count can be asked for.
TEST(ScoreMemory, ScoresTooLargeToStateInBytesAreRefusedAsOutOfMemory) {
  struct Size {
    double N, class_count;
    int nlhs;
    long allocations;  // host requests made: none for a size that cannot be stated
  };
  const Size sizes[] = {
      {1824726041, 1263665316, 1, 0},  // 32 bytes after wrapping
      {2147483647, 2147483647, 2, 0},
      {2147483647, 1073741825, 0, 0},
      {1073741824, 2147483647, 1, 1},  // 2^64 - 2^33 bytes: stated, and more than the host has
  };
  for (const Size& size : sizes) {
    Inputs in;
    in.add(make_double(1, 0)).add(make_scalar(1));
    for (double v : {1.0, 0.0, 0.001, 0.0}) in.add(make_scalar(v));
    in.add(make_double(static_cast<mwSize>(size.N), 0)).add(make_scalar(size.class_count));
    const auto r = standin::call(vorla::vorla_score, size.nlhs, in.pointers());
    SCOPED_TRACE(std::to_string(size.N) + " x " + std::to_string(size.class_count));
    EXPECT_TRUE(r.faults.empty()) << r.faults.front();
    EXPECT_EQ(r.error.value_or("none"), "VORLA_SCORE: Not enough memory available; unable to run!");
    EXPECT_EQ(r.allocations - 3, size.allocations) << "beyond the template and label copies";
    EXPECT_EQ(r.arrays_reclaimed, 0);
  }
}

}  // namespace
