// The model layer's training call: vorla_fit's run under the strict rule, tolerant match
// tracking, given nodes, the progress lines and the history.
#include "bank.h"
#include "test_support.h"

#include <cmath>
#include <functional>
#include <regex>

using standin::make_array;
using standin::make_double;
using standin::make_scalar;
using standin::values_of;
using test::FitCall;
using test::Inputs;
using test::LearnCall;

namespace {

LearnCall learn_from(const FitCall& fit) {
  LearnCall c;
  c.fit = fit;
  return c;
}

std::string masked_progress(const std::string& text) {
  return std::regex_replace(test::masked(text), std::regex(", [0-9]+\\.[0-9]{2} s"), ", T s");
}

// Column k of a P x 4 history.
std::vector<double> history_column(const standin::CallResult& r, int k) {
  const std::vector<double> v = values_of(r.output(3));
  const std::size_t rows = v.size() / 4;
  return std::vector<double>(v.begin() + static_cast<std::ptrdiff_t>(k * rows),
                             v.begin() + static_cast<std::ptrdiff_t>((k + 1) * rows));
}

TEST(LearnStrict, GivesVorlaFitsOutputsTraceAndCounts) {
  std::vector<FitCall> calls(6);
  calls[0].oflag = 4;
  calls[1].patterns = {{0.0}, {0.5}, {0.1}, {0.05}};
  calls[1].labels = {1, 1, 2, 1};
  calls[1].alpha = 1;
  calls[1].trim_option = 1;
  calls[1].oflag = 4;
  calls[2].patterns = {{0.5}, {0.5}};  // contradictory labels, run to the cap
  calls[2].max_list_presentations = 3;
  calls[2].oflag = 4;
  calls[3].patterns = {{0.2, 0.1}, {0.9, 0.8}, {0.3, 0.3}, {0.85, 0.9}, {0.5, 0.5}};
  calls[3].labels = {1, 2, 1, 2, 1};
  calls[3].D = 2;
  calls[3].learning_rate = 0.5;
  calls[3].ct_option = 1;
  calls[3].oflag = 3;
  calls[4].D = 0;
  calls[4].max_list_presentations = 2;
  calls[4].oflag = 2;
  calls[5].patterns = {};
  calls[5].labels = {};
  calls[5].oflag = 1;
  for (std::size_t k = 0; k < calls.size(); ++k) {
    SCOPED_TRACE("call " + std::to_string(k));
    const auto fit = calls[k].run();
    test::expect_sound(fit);
    LearnCall ten = learn_from(calls[k]);
    ten.ten_inputs = true;
    LearnCall fourteen = learn_from(calls[k]);
    for (const auto& r : {ten.run({}, 3), fourteen.run({}, 3), fourteen.run({}, 4)}) {
      test::expect_sound(r);
      for (int out = 0; out < 3; ++out) {
        EXPECT_EQ(standin::dims_of(r.output(out)), standin::dims_of(fit.output(out)));
        EXPECT_EQ(values_of(r.output(out)), values_of(fit.output(out)));
      }
      EXPECT_EQ(test::masked(r.text), test::masked(fit.text));
      EXPECT_EQ(r.flops, fit.flops);
    }
  }
}

// x with label 1 and the same x with label 2. Presentation 1: node 1 from pattern 1; for
// pattern 2 node 1 wins (mfv 1) with the wrong label, leaves alone, and node 2 is made.
// Presentation 2: pattern 1 selects node 1 (earlier on the tie); for pattern 2 node 1 wins,
// leaves, and node 2, whose mfv 1 reaches rho 1, is selected during MT. Nothing changed:
// converged after one presentation, node 2 never selected outside MT.
LearnCall same_point_two_labels() {
  LearnCall c;
  c.fit.patterns = {{0.5}, {0.5}};
  c.fit.labels = {1, 2};
  c.match_tracking = 1;
  return c;
}

TEST(LearnTolerant, SamePointWithTwoLabelsSettlesWithTwoNodes) {
  LearnCall c = same_point_two_labels();
  c.fit.oflag = 4;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(values_of(r.output(0)), (std::vector<double>{0.5, 0.5, 0.5, 0.5}));
  EXPECT_EQ(values_of(r.output(1)), (std::vector<double>{1, 2}));
  EXPECT_EQ(values_of(r.output(2)), std::vector<double>{1});
  // Pattern 2 of presentation 1: match 4 + 1 FLOPs, 2 comparisons; the winner leaves without
  // one. Presentation 2: two matches (10 FLOPs, 4 comparisons), the tie (1), learning (4);
  // pattern 2 adds one comparison for node 2's mfv >= rho.
  EXPECT_EQ(r.flops, (std::vector<int>{0, 7, 19, 20}));
  EXPECT_EQ(test::masked(r.text),
            "\nList presentation #1:\n"
            "   Pattern #1 is being presented (label 1)\n"
            "   Pattern #1 created  node #1 (label 1)\n"
            "   Pattern #2 is being presented (label 2)\n"
            "      Node #1 is candidate (CFV=0.999001)\n"
            "      Node #1 (label 1) misclassifies pattern #2 - Engage MT- (set rho=1.000000)\n"
            "   Pattern #2 created  node #2 (label 2) during MT\n"
            "   Summary: 2 new nodes created, 0 node updates\n"
            "\nList presentation #2:\n"
            "   Pattern #1 is being presented (label 1)\n"
            "      Node #1 is candidate (CFV=0.999001)\n"
            "      Node #2 is candidate (CFV=0.999001)\n"
            "   Pattern #1 selected node #1 (label 1)\n"
            "   Pattern #2 is being presented (label 2)\n"
            "      Node #1 is candidate (CFV=0.999001)\n"
            "      Node #2 is candidate (CFV=0.999001)\n"
            "      Node #1 (label 1) misclassifies pattern #2 - Engage MT- (set rho=1.000000)\n"
            "   Pattern #2 selected node #2 (label 2) during MT\n"
            "   Summary: 0 new nodes created, 0 node updates\n"
            "\nFAM training converged after 1 list presentation\n"
            "1 inactive node detected (50.000000% redundacy)\n"
            "2 nodes created (100.000000% inflation)\n"
            "28 FLOPs and 21 comparisons in N seconds\n\n");
  // The strict rule cannot settle: every presentation adds a node for pattern 2.
  c.match_tracking = 0;
  c.fit.max_list_presentations = 4;
  EXPECT_EQ(values_of(c.run().output(1)), (std::vector<double>{1, 2, 2, 2, 2}));
}

TEST(LearnTolerant, StrictAndTolerantAgreeWhenNoMatchTies) {
  // Distinct points in general position: no two nodes ever match a pattern equally, so the
  // rules differ only in the comparison the strict rule spends on the leaving winner.
  LearnCall c;
  c.fit.patterns = {{0.11, 0.7}, {0.83, 0.2}, {0.37, 0.41}, {0.9, 0.93}, {0.05, 0.33}, {0.6, 0.07}};
  c.fit.labels = {1, 2, 2, 1, 2, 1};
  c.fit.D = 2;
  c.fit.vigilance = 0.2;
  const auto strict = c.run();
  c.match_tracking = 1;
  const auto tolerant = c.run();
  for (int out = 0; out < 3; ++out) EXPECT_EQ(values_of(tolerant.output(out)), values_of(strict.output(out)));
}

TEST(LearnGivenNodes, OnePresentationOnTheRestGoesOnFromTheFirstPart) {
  // Fast learning, one presentation, no trimming: training on A and then on B from A's
  // nodes gives the nodes of one presentation of A and B in one call.
  std::uint32_t state = 99;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 16777216.0;
  };
  for (int problem = 0; problem < 40; ++problem) {
    const int n = 4 + problem % 13, m = 1 + problem % 3, split = 1 + problem % (n - 1);
    FitCall whole;
    whole.patterns.assign(n, std::vector<double>(m));
    whole.labels.assign(n, 0);
    for (int p = 0; p < n; ++p) {
      for (double& v : whole.patterns[p]) v = std::floor(next() * 5) / 4;  // ties are common
      whole.labels[p] = 1 + static_cast<int>(next() * 3);
    }
    whole.D = m;
    whole.vigilance = next() * 0.5;
    whole.ct_option = problem % 2;
    whole.max_list_presentations = 1;
    for (double rule : {0.0, 1.0}) {
      SCOPED_TRACE("problem " + std::to_string(problem) + ", rule " + std::to_string(rule));
      LearnCall one = learn_from(whole);
      one.match_tracking = rule;
      const auto all = one.run();
      LearnCall first = one;
      first.fit.patterns.resize(split);
      first.fit.labels.resize(split);
      const auto a = first.run();
      LearnCall rest = one;
      rest.fit.patterns.erase(rest.fit.patterns.begin(), rest.fit.patterns.begin() + split);
      rest.fit.labels.erase(rest.fit.labels.begin(), rest.fit.labels.begin() + split);
      const std::vector<double> t = values_of(a.output(0)), l = values_of(a.output(1));
      for (std::size_t k = 0; k < l.size(); ++k) {
        std::vector<double> row;
        for (int c = 0; c < 2 * m; ++c) row.push_back(t[c * l.size() + k]);
        rest.templates0.push_back(row);
      }
      rest.labels0 = l;
      const auto b = rest.run();
      test::expect_sound(b);
      EXPECT_EQ(values_of(b.output(0)), values_of(all.output(0)));
      EXPECT_EQ(values_of(b.output(1)), values_of(all.output(1)));
    }
  }
}

TEST(LearnGivenNodes, NoPatternsHandTheNodesBackUnchanged) {
  LearnCall c;
  c.fit.patterns = {};
  c.fit.labels = {};
  c.templates0 = {{0.25, 0.5}, {0.75, 0.5}};  // the second box with its corners the wrong way round
  c.labels0 = {-3, 2};
  c.fit.trim_option = 1;
  Inputs in = c.inputs();
  in[0] = make_double(0, 1);
  in[1] = make_double(0, 1);
  auto r = standin::call(vorla::vorla_learn, 4, in.pointers());
  test::expect_sound(r);
  EXPECT_EQ(values_of(r.output(0)), (std::vector<double>{0.25, 0.75, 0.5, 0.5}));
  EXPECT_EQ(values_of(r.output(1)), (std::vector<double>{-3, 2}));
  EXPECT_EQ(values_of(r.output(2)), std::vector<double>{0});
  EXPECT_EQ(standin::dims_of(r.output(3)), (std::vector<mwSize>{1, 4}));
  EXPECT_EQ(history_column(r, 0), std::vector<double>{2});
}

// A given node out of reach (its box with any pattern is wider than D) takes part in no
// search: the run is vorla_fit's trimming example with the given node in front.
TEST(LearnGivenNodes, AreNeverTrimmedNorCountedAsInactive) {
  LearnCall c;
  c.fit.patterns = {{1}, {0}, {0.8}, {0.5}};
  c.fit.labels = {2, 2, 1, 2};
  c.templates0 = {{5, 5}};
  c.labels0 = {7};
  c.fit.oflag = 3;
  for (int trim = 0; trim <= 1; ++trim) {
    c.fit.trim_option = trim;
    auto r = c.run();
    test::expect_sound(r);
    const std::vector<double> kept = {7, 1, 2, 2}, all = {7, 2, 1, 2, 2};
    EXPECT_EQ(values_of(r.output(1)), trim ? kept : all);
    EXPECT_EQ(values_of(r.output(2)), std::vector<double>{2});
    const std::string text = test::without_totals(r.text);
    EXPECT_EQ(text.substr(0, 64), "\nList presentation #1:\n   Pattern #1 created  node #2 (label 2)\n");
    EXPECT_NE(text.find(trim ? "\n1 inactive node trimmed (20.000000% redundacy)\n4 nodes created (100.000000% inflation)\n"
                             : "\n1 inactive node detected (20.000000% redundacy)\n5 nodes created (150.000000% "
                               "inflation)\n"),
              std::string::npos)
        << text;
  }
}

TEST(LearnProgress, OneLinePerPresentationAndTheHistory) {
  LearnCall c;
  c.display = 1;
  for (double oflag : {0.0, 2.0}) {
    c.fit.oflag = oflag;
    auto r = c.run();
    test::expect_sound(r);
    const std::string lines = "vorla_learn: presentation 1: 2 nodes, 2 created, 0 changed, T s\n"
                              "vorla_learn: presentation 2: 2 nodes, 0 created, 0 changed, T s; converged after 1 "
                              "list presentation (presentation 2 changed nothing)\n";
    if (oflag == 0) {
      EXPECT_EQ(masked_progress(r.text), lines);
    } else {
      const std::string expected = "List presentation #1: 2 new nodes created, 0 node updates\n"
                                   "vorla_learn: presentation 1: 2 nodes, 2 created, 0 changed, T s\n"
                                   "List presentation #2: 0 new nodes created, 0 node updates\n"
                                   "vorla_learn: presentation 2: 2 nodes, 0 created, 0 changed, T s; converged "
                                   "after 1 list presentation (presentation 2 changed nothing)\n"
                                   "\nFAM training converged";
      EXPECT_EQ(masked_progress(r.text).substr(0, expected.size()), expected);
    }
    EXPECT_EQ(history_column(r, 0), (std::vector<double>{2, 2}));
    EXPECT_EQ(history_column(r, 1), (std::vector<double>{2, 0}));
    EXPECT_EQ(history_column(r, 2), (std::vector<double>{0, 0}));
    const std::vector<double> seconds = history_column(r, 3);
    EXPECT_TRUE(seconds[0] >= 0 && seconds[1] >= seconds[0]);
  }
  // Updates count as changed nodes; a run stopped at the cap has one row per presentation.
  c.display = 0;
  c.fit.oflag = 0;
  c.fit.patterns = {{0.0}, {0.5}, {0.1}, {0.05}};
  c.fit.labels = {1, 1, 2, 1};
  c.fit.alpha = 1;
  c.fit.max_list_presentations = 2;
  auto r = c.run();
  EXPECT_EQ(r.text, "");
  EXPECT_EQ(history_column(r, 0), (std::vector<double>{3, 3}));
  EXPECT_EQ(history_column(r, 1), (std::vector<double>{3, 0}));
  EXPECT_EQ(history_column(r, 2), (std::vector<double>{1, 1}));
  // The last line of a converged run counts as the summary does; a stopped run's has no count.
  c.display = 1;
  for (double cap : {2.0, 10.0}) {
    c.fit.max_list_presentations = cap;
    r = c.run();
    test::expect_sound(r);
    const std::string text = masked_progress(r.text);
    const std::string last = text.substr(text.rfind("vorla_learn: presentation"));
    const double counted = values_of(r.output(2))[0];
    if (cap == 2)
      EXPECT_EQ(last, "vorla_learn: presentation 2: 3 nodes, 0 created, 1 changed, T s\n");
    else
      EXPECT_EQ(last, "vorla_learn: presentation " + std::to_string(static_cast<int>(counted) + 1) + ": 3 nodes, 0 " +
                          "created, 0 changed, T s; converged after " + std::to_string(static_cast<int>(counted)) +
                          " list presentations (presentation " + std::to_string(static_cast<int>(counted) + 1) +
                          " changed nothing)\n");
  }
}

struct Fault {
  const char* what;
  std::function<void(Inputs&)> change;
  const char* message;
};

const Fault faults[] = {
    {"a training input", [](Inputs& in) { in[3] = make_scalar(2); },
     "VORLA_LEARN: 4th input argument (vigilance) must be in [0.0, 1.0]."},
    {"match_tracking 2", [](Inputs& in) { in[10] = make_scalar(2); },
     "VORLA_LEARN: 11th input argument (match_tracking) must be either 0 or 1."},
    {"match_tracking char", [](Inputs& in) { in[10] = standin::make_char("strict"); },
     "VORLA_LEARN: 11th input argument (match_tracking) must be a full numeric or logical array, not char."},
    {"display matrix", [](Inputs& in) { in[11] = make_double(2, 2); },
     "VORLA_LEARN: 12th input argument (display) must be a scalar."},
    {"display NaN", [](Inputs& in) { in[11] = make_scalar(NAN); },
     "VORLA_LEARN: 12th input argument (display) must be either 0 or 1."},
    {"Templates0 3-D", [](Inputs& in) { in[12] = make_array(mxDOUBLE_CLASS, {1, 2, 2}); },
     "VORLA_LEARN: 13th input argument (Templates0) must be  a two dimensional array (matrix)."},
    {"Templates0 cell", [](Inputs& in) { in[12] = standin::make_cell(1, 2); },
     "VORLA_LEARN: 13th input argument (Templates0) must be a full numeric or logical array, not cell."},
    {"Templates0 3 columns", [](Inputs& in) { in[12] = make_double(1, 3); in[13] = make_scalar(1); },
     "VORLA_LEARN: 13th input argument (Templates0) must have 2 columns, each row [lower upper] of a node, or be "
     "empty (0x0)."},
    {"Templates0 0 x 1", [](Inputs& in) { in[12] = make_double(0, 1); },
     "VORLA_LEARN: 13th input argument (Templates0) must have 2 columns, each row [lower upper] of a node, or be "
     "empty (0x0)."},
    {"Templates0 NaN", [](Inputs& in) { in[12] = make_double(1, 2, {0, NAN}); in[13] = make_scalar(1); },
     "VORLA_LEARN: 13th input argument (Templates0) must not contain NaN or Inf values."},
    {"Templates0 -Inf", [](Inputs& in) { in[12] = make_array(mxSINGLE_CLASS, {1, 2}, {-INFINITY, 0}); },
     "VORLA_LEARN: 13th input argument (Templates0) must not contain NaN or Inf values."},
    {"Patterns Inf", [](Inputs& in) { in[0] = make_array(mxSINGLE_CLASS, {2, 1}, {NAN, -INFINITY}); },
     "VORLA_LEARN: 1st input argument (Patterns) must not contain Inf values (NaN marks a missing feature)."},
    {"NLabels0 missing", [](Inputs& in) { in[12] = make_double(1, 2, {0, 1}); },
     "VORLA_LEARN: 14th input argument (NLabels0) must be of type  1x1 or 1x1."},
    {"NLabels0 too long", [](Inputs& in) { in[13] = test::column({1, 2}); },
     "VORLA_LEARN: 14th input argument (NLabels0) must be of type  0x1 or 1x0."},
    {"NLabels0 struct", [](Inputs& in) { in[13] = standin::make_struct(); },
     "VORLA_LEARN: 14th input argument (NLabels0) must be a full numeric or logical array, not struct."},
    {"NLabels0 Inf", [](Inputs& in) { in[12] = make_double(1, 2, {0, 1}); in[13] = make_scalar(INFINITY); },
     "VORLA_LEARN: 14th input argument (NLabels0) must hold finite labels in the 32-bit integer range."},
    {"NLabels0 fraction", [](Inputs& in) { in[12] = make_double(1, 2, {0, 1}); in[13] = make_scalar(1.5); },
     "VORLA_LEARN: 14th input argument (NLabels0) must hold whole-number labels."},
};

TEST(LearnChecks, EachFaultGetsItsOwnMessage) {
  for (const Fault& f : faults) {
    Inputs in = LearnCall{}.inputs();
    f.change(in);
    auto r = standin::call(vorla::vorla_learn, 4, in.pointers());
    EXPECT_EQ(r.error.value_or("no error"), f.message) << f.what;
    EXPECT_EQ(r.error_count, 1) << f.what;
    EXPECT_TRUE(r.faults.empty()) << f.what << ": " << r.faults.front();
    EXPECT_TRUE(r.text.empty()) << f.what;
    // With a wrong output count as well, the input fault is still the one reported.
    EXPECT_EQ(standin::call(vorla::vorla_learn, 1, in.pointers()).error.value_or("no error"), f.message) << f.what;
  }
}

TEST(LearnChecks, CountsOfInputsAndOutputsAndAcceptedForms) {
  Inputs in = LearnCall{}.inputs();
  auto all = in.pointers();
  for (std::size_t n : {0, 9, 11, 13, 15, 17}) {
    auto some = all;
    some.resize(n, all[0]);
    EXPECT_EQ(standin::call(vorla::vorla_learn, 4, some).error.value_or(""),
              "VORLA_LEARN: 10, 14 or 16 input arguments required.");
  }
  for (int nlhs : {0, 1, 2, 5})
    EXPECT_EQ(standin::call(vorla::vorla_learn, nlhs, all).error.value_or(""),
              "VORLA_LEARN: 3 or 4 output arguments required.");
  // No given nodes as 0 x 2M with labels 0 x 1 or 1 x 0; labels of integer classes; a box
  // whose corners are the wrong way round (slow learning can leave one an ulp inverted).
  for (auto change : std::vector<std::function<void(Inputs&)>>{
           [](Inputs& i) { i[12] = make_double(0, 2); i[13] = make_double(0, 1); },
           [](Inputs& i) { i[12] = make_double(0, 2); i[13] = make_double(1, 0); },
           [](Inputs& i) { i[12] = make_double(1, 2, {0.3, 0.2}); i[13] = make_array(mxINT8_CLASS, {1, 1}, {-4}); },
           [](Inputs& i) { i[10] = make_array(mxLOGICAL_CLASS, {1, 1}, {1}); i[11] = make_scalar(0.5); }}) {
    Inputs changed = LearnCall{}.inputs();
    change(changed);
    test::expect_sound(standin::call(vorla::vorla_learn, 4, changed.pointers()));
  }
}

// Missing features, worked by hand (doc/design.md). D 2, alpha 0.5, strict rule.
// Presentation 1: p1 makes node 1 at (0.2, 0.4), d 2.5. p2 (NaN, 0.8): node 1's size is its
// own extent 0 plus 0.8 - 0.4, mfv 0.8; it learns feature 2 only: [0.2 0.4 | 0.2 0.8], d 2.1.
// p3 (0.6, NaN) of class 2: node 1 has size 0.4 + 0.4, mfv 0.6; match tracking raises rho to
// 0.6, no node exceeds it, and node 2 is made open in feature 2: [0.6 1 | 0.6 0], size -1,
// d 3.5. Presentation 2 changes nothing: p1 takes node 1 (cfv 1.6 / 2.1 against 1.6 / 3.5),
// p2 node 1 (1.6 / 2.1 against 2 / 3.5), p3 node 2 (3 / 3.5: its open extent -1 counts).
// With p4 (0.7, 0.3) of class 2 as well, node 2 takes it (size 0.1 + 0, cfv 1.9 / 3.5
// against 1 / 2.1) and closes feature 2 at 0.3: [0.6 0.3 | 0.7 0.3].
TEST(LearnMissing, WorkedCasesByHand) {
  const struct {
    const char* what;
    std::vector<std::vector<double>> patterns;
    std::vector<double> labels;
    std::vector<double> templates;  // column order
    std::vector<double> node_labels;
  } cases[] = {
      {"a feature left open", {{0.2, 0.4}, {NAN, 0.8}, {0.6, NAN}}, {1, 1, 2}, {0.2, 0.6, 0.4, 1, 0.2, 0.6, 0.8, 0}, {1, 2}},
      {"an open feature closed",
       {{0.2, 0.4}, {NAN, 0.8}, {0.6, NAN}, {0.7, 0.3}},
       {1, 1, 2, 2},
       {0.2, 0.6, 0.4, 0.3, 0.2, 0.7, 0.8, 0.3},
       {1, 2}},
      {"every feature missing: a node open everywhere", {{NAN, NAN}}, {1}, {1, 1, 0, 0}, {1}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    LearnCall c;
    c.fit.patterns = k.patterns;
    c.fit.labels = k.labels;
    c.fit.D = 2;
    c.fit.alpha = 0.5;
    for (vorla::IndexUse use : {vorla::IndexUse::never, vorla::IndexUse::always}) {
      vorla::set_index_use(use);
      const auto r = c.run();
      vorla::set_index_use(vorla::IndexUse::automatic);
      test::expect_sound(r);
      EXPECT_EQ(values_of(r.output(0)), k.templates);
      EXPECT_EQ(values_of(r.output(1)), k.node_labels);
      EXPECT_EQ(values_of(r.output(2)), std::vector<double>{1});
    }
  }
}

// The trace names the missing features; the counts are those of any pattern: per node 2M + 2
// flops and 2M comparisons, and a learning step's 4M comparisons.
TEST(LearnMissing, TraceAndCounts) {
  LearnCall c;
  c.fit.patterns = {{0.2, 0.4}, {NAN, 0.8}};
  c.fit.labels = {1, 1};
  c.fit.D = 2;
  c.fit.alpha = 0.5;
  c.fit.oflag = 4;
  c.fit.max_list_presentations = 1;
  const auto r = c.run();
  test::expect_sound(r);
  EXPECT_NE(r.text.find("   Pattern #2 is being presented (label 1, 1 of 2 features missing)\n"
                        "      Node #1 is candidate (CFV=0.640000)\n"
                        "   Pattern #2 updated  node #1 (label 1)\n"),
            std::string::npos)
      << r.text;
  // Pattern 2: match 6 + cfv 1, learning 2 * 2 + 2 = 6 flops; comparisons 4 + 8.
  EXPECT_EQ(r.flops, (std::vector<int>{0, 6 + 1 + 6 + 4 + 8}));
  // The same pattern with its missing feature given inside the box counts the same.
  c.fit.patterns[1][0] = 0.2;
  EXPECT_EQ(c.run().flops, r.flops);
}

TEST(LearnMemory, EveryFailedHostAllocationRaisesTheOutOfMemoryMessage) {
  LearnCall c = same_point_two_labels();
  c.templates0 = {{0.25, 0.75}};
  c.labels0 = {3};
  c.display = 1;
  const long total = c.run().allocations;
  ASSERT_GT(total, 10);
  for (long k = 1; k <= total; ++k) {
    auto r = c.run({k});
    EXPECT_EQ(r.error.value_or("none"), "VORLA_LEARN: Not enough memory available; unable to run!") << k;
    EXPECT_TRUE(r.faults.empty()) << k << ": " << r.faults.front();
    for (int out = 0; out < 4; ++out) EXPECT_EQ(r.outputs[out], nullptr) << k;
  }
}

}  // namespace
