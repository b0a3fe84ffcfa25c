#include "free_store.h"
#include "test_support.h"

#include <cmath>
#include <functional>
#include <limits>

using standin::make_array;
using standin::make_double;
using standin::make_scalar;
using test::FitCall;
using test::Inputs;

namespace {

const char* const worked_trace =
    "\nList presentation #1:\n"
    "   Pattern #1 is being presented (label 1)\n"
    "   Pattern #1 created  node #1 (label 1)\n"
    "   Pattern #2 is being presented (label 2)\n"
    "      Node #1 is candidate (CFV=0.599401)\n"
    "      Node #1 (label 1) misclassifies pattern #2 - Engage MT (set rho=0.600000)\n"
    "   Pattern #2 created  node #2 (label 2) during MT\n"
    "   Summary: 2 new nodes created, 0 node updates\n"
    "\nList presentation #2:\n"
    "   Pattern #1 is being presented (label 1)\n"
    "      Node #1 is candidate (CFV=0.999001)\n"
    "      Node #2 is candidate (CFV=0.599401)\n"
    "   Pattern #1 selected node #1 (label 1)\n"
    "   Pattern #2 is being presented (label 2)\n"
    "      Node #1 is candidate (CFV=0.599401)\n"
    "      Node #2 is candidate (CFV=0.999001)\n"
    "   Pattern #2 selected node #2 (label 2)\n"
    "   Summary: 0 new nodes created, 0 node updates\n";

const char* const worked_report =
    "\nFAM training converged after 1 list presentation\n"
    "0 inactive nodes detected (0.000000% redundacy)\n"
    "2 nodes created (100.000000% inflation)\n"
    "28 FLOPs and 21 comparisons in N seconds\n\n";

TEST(FitWorkedRun, ReturnsTheTwoPointBoxesAfterOnePresentation) {
  auto r = FitCall{}.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{2, 2}));
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{0.2, 0.6, 0.2, 0.6}));
  EXPECT_EQ(standin::values_of(r.output(1)), (std::vector<double>{1, 2}));
  EXPECT_EQ(standin::dims_of(r.output(2)), (std::vector<mwSize>{1, 1}));
  EXPECT_EQ(standin::values_of(r.output(2)), std::vector<double>{1});
  EXPECT_EQ(r.flops, (std::vector<int>{0, 8, 19, 19}));
  EXPECT_EQ(r.text, "");
  EXPECT_EQ(r.blocks_reclaimed, 2 + 1) << "only the converted patterns (pointers, values) and labels are left";
}

TEST(FitWorkedRun, PrintsTheWholeTraceAtLevelFour) {
  FitCall c;
  c.oflag = 4;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(test::masked(r.text), std::string(worked_trace) + worked_report);
}

TEST(FitWorkedRun, LevelsOneToThreePrintTheirShareOfTheTrace) {
  FitCall c;
  c.oflag = 1;
  EXPECT_EQ(test::masked(c.run().text), worked_report);
  c.oflag = 2;
  EXPECT_EQ(test::masked(c.run().text), std::string("List presentation #1: 2 new nodes created, 0 node updates\n"
                                                    "List presentation #2: 0 new nodes created, 0 node updates\n") +
                                            worked_report);
  c.oflag = 3;
  EXPECT_EQ(test::masked(c.run().text), std::string("\nList presentation #1:\n"
                                                    "   Pattern #1 created  node #1 (label 1)\n"
                                                    "   Pattern #2 created  node #2 (label 2) during MT\n"
                                                    "   Summary: 2 new nodes created, 0 node updates\n"
                                                    "\nList presentation #2:\n"
                                                    "   Pattern #1 selected node #1 (label 1)\n"
                                                    "   Pattern #2 selected node #2 (label 2)\n"
                                                    "   Summary: 0 new nodes created, 0 node updates\n") +
                                            worked_report);
}

TEST(FitWorkedRun, AcceptsLabelsAndPatternsOfOtherClassesAndOrientations) {
  FitCall c;
  Inputs in = c.inputs();
  in[0] = make_array(mxSINGLE_CLASS, {2, 1}, {0.25, 0.75});
  in[1] = make_array(mxINT32_CLASS, {1, 2}, {1, 2});
  in[9] = make_array(mxLOGICAL_CLASS, {1, 1}, {0});
  auto r = standin::call(vorla::vorla_fit, 3, in.pointers());
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{0.25, 0.75, 0.25, 0.75}));
  EXPECT_EQ(standin::values_of(r.output(1)), (std::vector<double>{1, 2}));
  EXPECT_EQ(r.flops, (std::vector<int>{0, 8, 19, 19}));
}

// Four 1-D patterns, alpha 1 (small boxes are preferred): presentation 1 creates three nodes
// and widens the first, presentation 2 widens the third, presentation 3 changes nothing.
FitCall three_presentations() {
  FitCall c;
  c.patterns = {{0.0}, {0.5}, {0.1}, {0.05}};
  c.labels = {1, 1, 2, 1};
  c.alpha = 1;
  return c;
}

TEST(FitTraining, SettlesAfterTheConfirmingPresentation) {
  for (double cap : {100.0, 3.0}) {
    FitCall c = three_presentations();
    c.max_list_presentations = cap;
    c.oflag = 2;
    auto r = c.run();
    test::expect_sound(r);
    EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{0, 0.1, 0, 0.5, 0.1, 0.05}));
    EXPECT_EQ(standin::values_of(r.output(1)), (std::vector<double>{1, 2, 1}));
    EXPECT_EQ(standin::values_of(r.output(2)), std::vector<double>{2});
    EXPECT_EQ(test::without_totals(r.text),
              "List presentation #1: 3 new nodes created, 1 node updates\n"
              "List presentation #2: 0 new nodes created, 1 node updates\n"
              "List presentation #3: 0 new nodes created, 0 node updates\n"
              "\nFAM training converged after 2 list presentations\n"
              "0 inactive nodes detected (0.000000% redundacy)\n"
              "3 nodes created (50.000000% inflation)\n");
  }
}

TEST(FitTraining, StopsAtTheCapWithoutTrimming) {
  FitCall c = three_presentations();
  c.max_list_presentations = 2;
  c.trim_option = 1;
  c.oflag = 1;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(2)), std::vector<double>{2});
  EXPECT_EQ(standin::values_of(r.output(1)), (std::vector<double>{1, 2, 1}));
  EXPECT_EQ(test::without_totals(r.text),
            "\nFAM training stopped after 2 list presentations\n"
            "Trimming option ignored due to lack of convergence.\n"
            "3 nodes created (50.000000% inflation)\n");
}

TEST(FitTraining, OnePresentationOnlyStopsWithSingularWording) {
  FitCall c;
  c.patterns = {{0.5}};
  c.labels = {3};
  c.max_list_presentations = 1.9;
  c.oflag = 3;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(test::masked(r.text), "\nList presentation #1:\n"
                                  "   Pattern #1 created  node #1 (label 3)\n"
                                  "   Summary: 1 new nodes created, 0 node updates\n"
                                  "\nFAM training stopped after 1 list presentation\n"
                                  "1 node created (100.000000% inflation)\n"
                                  "3 FLOPs and 0 comparisons in N seconds\n\n");
}

TEST(FitTraining, ContradictoryLabelsNeverSettle) {
  // Equal patterns with different labels: the earlier node wins the tie, misclassifies the
  // second pattern, and match tracking leaves nothing but a fresh node each presentation.
  FitCall c;
  c.patterns = {{0.5}, {0.5}};
  c.labels = {1, 2};
  c.max_list_presentations = 3;
  c.trim_option = 1;
  c.oflag = 1;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(1)), (std::vector<double>{1, 2, 2, 2}));
  EXPECT_EQ(standin::values_of(r.output(2)), std::vector<double>{3});
}

TEST(FitTraining, NonWholeLabelsNeverMatchAndRunToTheCap) {
  FitCall c;
  c.patterns = {{0.5}};
  c.labels = {1.5};
  c.max_list_presentations = 4;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(1)), (std::vector<double>{1, 1, 1, 1}));
  EXPECT_EQ(standin::values_of(r.output(2)), std::vector<double>{4});
}

TEST(FitTraining, ZeroDPassesNoVigilanceTest) {
  FitCall c;
  c.D = 0;
  c.max_list_presentations = 2;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(1)), (std::vector<double>{1, 2, 1, 2}));
}

TEST(FitTraining, NoPatternsConvergeAtOnceWithZeroPercentages) {
  FitCall c;
  c.patterns = {};
  c.labels = {};
  c.oflag = 4;
  Inputs in = c.inputs();
  in[0] = make_double(0, 3);
  in[1] = make_double(0, 1);
  auto r = standin::call(vorla::vorla_fit, 3, in.pointers());
  test::expect_sound(r);
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{0, 6}));
  EXPECT_EQ(standin::dims_of(r.output(1)), (std::vector<mwSize>{0, 1}));
  EXPECT_EQ(standin::values_of(r.output(2)), std::vector<double>{0});
  EXPECT_EQ(test::masked(r.text), "\nList presentation #1:\n"
                                  "   Summary: 0 new nodes created, 0 node updates\n"
                                  "\nFAM training converged after 0 list presentations\n"
                                  "0 inactive nodes detected (0.000000% redundacy)\n"
                                  "0 nodes created (0.000000% )\n"
                                  "3 FLOPs and 0 comparisons in N seconds\n\n");
}

TEST(FitTraining, VectorArgumentsUseTheirFirstElement) {
  FitCall c;
  Inputs in = c.inputs();
  in[2] = make_double(1, 2, {1, 5});         // D
  in[9] = make_double(1, 3, {4.99, 9, 9});   // oflag
  auto r = standin::call(vorla::vorla_fit, 3, in.pointers());
  test::expect_sound(r);
  EXPECT_EQ(test::masked(r.text), std::string(worked_trace) + worked_report);
}

TEST(FitTraining, TruncatedOptionsAreAccepted) {
  FitCall c;
  c.trim_option = 1.5;
  c.ct_option = -0.5;
  c.max_list_presentations = 1e12;  // beyond 32 bits: no practical cap
  auto r = c.run();
  test::expect_sound(r);
  FitCall inf = c;
  inf.max_list_presentations = std::numeric_limits<double>::infinity();
  test::expect_sound(inf.run());
}

TEST(FitTraining, ChoiceTestRefusesNodesBelowTheUncommittedChoice) {
  // Tu = 1 / 2.001; node 1 measured against 0.9 gives cfv 0.3 / 1.001 and fails.
  FitCall c;
  c.patterns = {{0.2}, {0.9}};
  c.labels = {1, 1};
  c.ct_option = 1;
  c.oflag = 4;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_NE(r.text.find("      Node #1 fails CT (CFV=0.299700 < Tu=0.499750)\n"), std::string::npos) << r.text;
  EXPECT_EQ(standin::values_of(r.output(1)), (std::vector<double>{1, 1}));
  // Pattern 2: one match (4 FLOPs, 2 comparisons), cfv (1 FLOP), CT (1 comparison).
  EXPECT_EQ(r.flops.at(1), 5 + 3);
}

TEST(FitTraining, VigilanceToleranceLetsANearMatchPass) {
  // mfv of node 1 for pattern 2 is 0.7 - 0.5e-7 rounded: it passes vigilance 0.7 thanks to the tolerance.
  FitCall c;
  c.patterns = {{0.0}, {0.3 + 0.5e-7}};
  c.labels = {1, 1};
  c.vigilance = 0.7;
  c.oflag = 4;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(1)), std::vector<double>{1});
  EXPECT_EQ(r.text.find("fails VT"), std::string::npos) << r.text;
}

// Slow learning at rate 0.5 halves the gap to the pattern, and each halving rounds to even.
// Node 1 is the point 0.5 and pattern 2 lies 11 ulps (u = 2^-53) above it: the upper corner
// goes 0 -> 5.5u (6u) -> 8.5u (8u) -> 9.5u (10u) -> 10.5u, which rounds back to 10u. The
// fourth presentation therefore changes no box and confirms convergence after three.
TEST(FitSlowLearning, ConvergesWhenTheBlendRoundsBackToTheCorner) {
  const double u = std::ldexp(1.0, -53);
  FitCall c;
  c.patterns = {{0.5}, {0.5 + 11 * u}};
  c.labels = {1, 1};
  c.learning_rate = 0.5;
  c.trim_option = 1;
  c.oflag = 2;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{0.5, 0.5 + 10 * u}));
  EXPECT_EQ(standin::values_of(r.output(2)), std::vector<double>{3});
  // Pattern 2 costs 4 + 1 for the match and the choice value and 2 + 4 comparisons; learning
  // adds 4 for the blend and 2M + 2 = 4 for the choice denominator when the corner moved,
  // only the 4 of the blend when it rounded back. Pattern 1 inside the box costs 5 + 6.
  EXPECT_EQ(r.flops, (std::vector<int>{0, 19, 11, 19, 11, 19, 11, 15}));
  EXPECT_EQ(test::masked(r.text),
            "List presentation #1: 1 new nodes created, 1 node updates\n"
            "List presentation #2: 0 new nodes created, 1 node updates\n"
            "List presentation #3: 0 new nodes created, 1 node updates\n"
            "List presentation #4: 0 new nodes created, 0 node updates\n"
            "\nFAM training converged after 3 list presentations\n"
            "0 inactive nodes trimmed (0.000000% redundacy)\n"
            "1 node created (0.000000% )\n"
            "66 FLOPs and 42 comparisons in N seconds\n\n");

  // At the trace level the stalled update reads as a selection.
  c.oflag = 3;
  const std::string text = c.run().text;
  const std::string fourth = text.substr(text.find("List presentation #4:"));
  EXPECT_NE(fourth.find("   Pattern #1 selected node #1 (label 1)\n   Pattern #2 selected node #1 (label 1)\n"),
            std::string::npos)
      << fourth;
}

// Many random slow-learning problems: each run that converges has a last presentation that
// left the boxes as they were, so stopping at the cap one presentation earlier hands back the
// same Templates; and the runs reach convergence rather than the cap.
TEST(FitSlowLearning, AConvergedRunsLastPresentationChangesNoBox) {
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 16777216.0;
  };
  int converged = 0, problems = 0;
  for (int problem = 0; problem < 150; ++problem) {
    FitCall c;
    const int n = 2 + problem % 9, m = 1 + problem % 3;
    c.patterns.assign(n, std::vector<double>(m));
    c.labels.assign(n, 0);
    for (int p = 0; p < n; ++p) {
      for (double& v : c.patterns[p]) v = next();
      c.labels[p] = 1 + (problem % 4 == 0 ? 0 : static_cast<int>(next() * 2));
    }
    c.D = m;
    c.vigilance = next() * 0.6;
    c.learning_rate = std::vector<double>{0.5, 0.25, 0.1, 0.7, 0.9}[problem % 5];
    c.ct_option = problem % 2;
    c.max_list_presentations = 5000;
    c.oflag = 1;
    ++problems;
    const auto r = c.run();
    test::expect_sound(r);
    if (r.text.find("FAM training converged") == std::string::npos) continue;
    ++converged;
    const double settled = standin::values_of(r.output(2))[0];
    FitCall earlier = c;
    earlier.max_list_presentations = settled;
    const auto e = earlier.run();
    SCOPED_TRACE("problem " + std::to_string(problem));
    EXPECT_EQ(standin::values_of(e.output(0)), standin::values_of(r.output(0)));
    EXPECT_EQ(standin::values_of(e.output(1)), standin::values_of(r.output(1)));
  }
  EXPECT_EQ(converged, problems);
}

// Each check of the entry point, first fault first.
struct Fault {
  const char* what;
  std::function<void(Inputs&)> change;
  const char* message;
};

const Fault faults[] = {
    {"Patterns 3-D", [](Inputs& in) { in[0] = make_array(mxDOUBLE_CLASS, {2, 1, 2}); },
     "VORLA_FIT: 1st input argument (Patterns) must be  a two dimensional array (matrix)."},
    {"Patterns NaN", [](Inputs& in) { in[0] = make_double(2, 1, {0.2, NAN}); },
     "VORLA_FIT: 1st input argument (Patterns) must not contain NaN or Inf values."},
    {"Patterns Inf", [](Inputs& in) { in[0] = make_array(mxSINGLE_CLASS, {2, 1}, {INFINITY, 0}); },
     "VORLA_FIT: 1st input argument (Patterns) must not contain NaN or Inf values."},
    {"Patterns char", [](Inputs& in) { in[0] = standin::make_char("ab"); },
     "VORLA_FIT: 1st input argument (Patterns) must be a full numeric or logical array, not char."},
    {"Patterns sparse", [](Inputs& in) { in[0] = standin::make_sparse(2, 1); },
     "VORLA_FIT: 1st input argument (Patterns) must be a full numeric or logical array, not sparse."},
    {"Patterns too wide", [](Inputs& in) { in[0] = make_double(0, 1073741824); in[1] = make_double(0, 1); },
     "VORLA_FIT: 1st input argument (Patterns) must have at most 2147483647 rows and 1073741823 columns."},
    {"PLabels 3-D", [](Inputs& in) { in[1] = make_array(mxDOUBLE_CLASS, {2, 1, 1, 2}); },
     "VORLA_FIT: 2nd input argument (PLabels) must a vector."},
    {"PLabels N x 2", [](Inputs& in) { in[1] = make_double(2, 2); },
     "VORLA_FIT: 2nd input argument (PLabels) must be of type  2x1 or 1x2."},
    {"PLabels too short", [](Inputs& in) { in[1] = make_double(1, 1, {1}); },
     "VORLA_FIT: 2nd input argument (PLabels) must be of type  2x1 or 1x2."},
    {"PLabels cell", [](Inputs& in) { in[1] = standin::make_cell(2, 1); },
     "VORLA_FIT: 2nd input argument (PLabels) must be a full numeric or logical array, not cell."},
    {"PLabels NaN", [](Inputs& in) { in[1] = make_double(2, 1, {1, NAN}); },
     "VORLA_FIT: 2nd input argument (PLabels) must hold finite labels in the 32-bit integer range."},
    {"PLabels beyond 32 bits", [](Inputs& in) { in[1] = make_double(2, 1, {1, 2147483648.0}); },
     "VORLA_FIT: 2nd input argument (PLabels) must hold finite labels in the 32-bit integer range."},
    {"PLabels int64 beyond 32 bits", [](Inputs& in) { in[1] = make_array(mxINT64_CLASS, {2, 1}, {1, -3e9}); },
     "VORLA_FIT: 2nd input argument (PLabels) must hold finite labels in the 32-bit integer range."},
    {"D matrix", [](Inputs& in) { in[2] = make_double(3, 2); }, "VORLA_FIT: 3rd input argument (D) must be a scalar."},
    {"D empty", [](Inputs& in) { in[2] = make_double(1, 0); }, "VORLA_FIT: 3rd input argument (D) must be a scalar."},
    {"D struct", [](Inputs& in) { in[2] = standin::make_struct(); },
     "VORLA_FIT: 3rd input argument (D) must be a full numeric or logical array, not struct."},
    {"D negative", [](Inputs& in) { in[2] = make_scalar(-1); }, "VORLA_FIT: 3rd input argument (D) must be non-negative."},
    {"D NaN", [](Inputs& in) { in[2] = make_scalar(NAN); }, "VORLA_FIT: 3rd input argument (D) must be non-negative."},
    {"vigilance 3-D", [](Inputs& in) { in[3] = make_array(mxDOUBLE_CLASS, {1, 1, 1}); },
     "VORLA_FIT: 4th input argument (vigilance) must be a scalar."},
    {"vigilance above 1", [](Inputs& in) { in[3] = make_scalar(1.01); },
     "VORLA_FIT: 4th input argument (vigilance) must be in [0.0, 1.0]."},
    {"vigilance NaN", [](Inputs& in) { in[3] = make_scalar(NAN); },
     "VORLA_FIT: 4th input argument (vigilance) must be in [0.0, 1.0]."},
    {"alpha matrix", [](Inputs& in) { in[4] = make_double(2, 2); },
     "VORLA_FIT: 5th input argument (alpha) must be a scalar."},
    {"alpha negative", [](Inputs& in) { in[4] = make_scalar(-0.1); },
     "VORLA_FIT: 5th input argument (alpha) must be non-negative."},
    {"learning_rate function", [](Inputs& in) { in[5] = standin::make_function_handle(); },
     "VORLA_FIT: 6th input argument (learning_rate) must be a full numeric or logical array, not function_handle."},
    {"learning_rate empty", [](Inputs& in) { in[5] = make_double(0, 1); },
     "VORLA_FIT: 6th input argument (learning_rate) must be a scalar."},
    {"learning_rate 0", [](Inputs& in) { in[5] = make_scalar(0); },
     "VORLA_FIT: 6th input argument (learning_rate) must be in (0.0, 1.0]."},
    {"learning_rate NaN", [](Inputs& in) { in[5] = make_scalar(NAN); },
     "VORLA_FIT: 6th input argument (learning_rate) must be in (0.0, 1.0]."},
    {"max_list_presentations matrix", [](Inputs& in) { in[6] = make_double(2, 2); },
     "VORLA_FIT: 7th input argument (max_list_presentations) must be a scalar."},
    {"max_list_presentations 0.9", [](Inputs& in) { in[6] = make_scalar(0.9); },
     "VORLA_FIT: 7th input argument (max_list_presentations) must  be greater than 0."},
    {"max_list_presentations NaN", [](Inputs& in) { in[6] = make_scalar(NAN); },
     "VORLA_FIT: 7th input argument (max_list_presentations) must  be greater than 0."},
    {"max_list_presentations -Inf", [](Inputs& in) { in[6] = make_scalar(-INFINITY); },
     "VORLA_FIT: 7th input argument (max_list_presentations) must  be greater than 0."},
    {"trim_option matrix", [](Inputs& in) { in[7] = make_double(2, 3); },
     "VORLA_FIT: 8th input argument (trim_option) must be a scalar."},
    {"trim_option 2", [](Inputs& in) { in[7] = make_scalar(2); },
     "VORLA_FIT: 8th input argument (trim_option) must be either 0 or 1."},
    {"trim_option 2^32 + 1", [](Inputs& in) { in[7] = make_scalar(4294967297.0); },
     "VORLA_FIT: 8th input argument (trim_option) must be either 0 or 1."},
    {"ct_option matrix", [](Inputs& in) { in[8] = make_double(2, 3); },
     "VORLA_FIT: 9th input argument (ct_option) must be a scalar."},
    {"ct_option NaN", [](Inputs& in) { in[8] = make_scalar(NAN); },
     "VORLA_FIT: 9th input argument (ct_option) must be either 0 or 1."},
    {"oflag 3-D", [](Inputs& in) { in[9] = make_array(mxDOUBLE_CLASS, {1, 1, 2}); },
     "VORLA_FIT: 10th input argument (oflag) must be scalar."},
    {"oflag empty", [](Inputs& in) { in[9] = make_double(1, 0); },
     "VORLA_FIT: 10th input argument (oflag) must be scalar."},
    {"oflag 2 x 3", [](Inputs& in) { in[9] = make_double(2, 3); }, "VORLA_FIT: 10th input argument must be scalar."},
    {"oflag 5", [](Inputs& in) { in[9] = make_scalar(5); }, "VORLA_FIT: 10th input argument (oflag) must be 0,1,2,3 or 4."},
    {"oflag -1", [](Inputs& in) { in[9] = make_scalar(-1); },
     "VORLA_FIT: 10th input argument (oflag) must be 0,1,2,3 or 4."},
    {"oflag Inf", [](Inputs& in) { in[9] = make_scalar(INFINITY); },
     "VORLA_FIT: 10th input argument (oflag) must be 0,1,2,3 or 4."},
};

TEST(FitChecks, EachFaultGetsItsOwnMessage) {
  for (const Fault& f : faults) {
    Inputs in = FitCall{}.inputs();
    f.change(in);
    auto r = standin::call(vorla::vorla_fit, 3, in.pointers());
    EXPECT_EQ(r.error.value_or("no error"), f.message) << f.what;
    EXPECT_EQ(r.error_count, 1) << f.what;
    EXPECT_TRUE(r.faults.empty()) << f.what << ": " << r.faults.front();
    EXPECT_TRUE(r.text.empty()) << f.what;
    // With a wrong output count as well, the input fault is still the one reported.
    auto r2 = standin::call(vorla::vorla_fit, 1, in.pointers());
    EXPECT_EQ(r2.error.value_or("no error"), f.message) << f.what;
  }
}

TEST(FitChecks, CountsOfInputsAndOutputs) {
  Inputs in = FitCall{}.inputs();
  auto all = in.pointers();
  for (std::size_t n : {0, 9, 11}) {
    auto some = all;
    some.resize(n, all[0]);
    EXPECT_EQ(standin::call(vorla::vorla_fit, 3, some).error.value_or(""),
              "VORLA_FIT: 10 input arguments required.");
  }
  for (int nlhs : {0, 1, 2, 4})
    EXPECT_EQ(standin::call(vorla::vorla_fit, nlhs, all).error.value_or(""),
              "VORLA_FIT: 3 output arguments required.");
}

TEST(FitChecks, EarlierArgumentsAreCheckedFirst) {
  Inputs in = FitCall{}.inputs();
  in[3] = make_scalar(2);   // vigilance
  in[9] = make_scalar(7);   // oflag
  EXPECT_EQ(standin::call(vorla::vorla_fit, 3, in.pointers()).error.value_or(""),
            "VORLA_FIT: 4th input argument (vigilance) must be in [0.0, 1.0].");
}

TEST(FitChecks, EdgeValuesOfTheRangesAreAccepted) {
  for (auto change : std::vector<std::function<void(FitCall&)>>{
           [](FitCall& c) { c.D = 0; }, [](FitCall& c) { c.alpha = 0; }, [](FitCall& c) { c.vigilance = 1; },
           [](FitCall& c) { c.vigilance = -0.0; }, [](FitCall& c) { c.learning_rate = 1e-300; },
           [](FitCall& c) { c.oflag = -0.5; }, [](FitCall& c) { c.max_list_presentations = 2147483647.5; }}) {
    FitCall c;
    change(c);
    test::expect_sound(c.run());
  }
}

TEST(FitMemory, EveryFailedHostAllocationRaisesTheOutOfMemoryMessage) {
  for (int oflag : {0, 4}) {
    FitCall c = three_presentations();
    c.oflag = oflag;
    c.trim_option = 1;
    const long total = c.run().allocations;
    ASSERT_GT(total, 10);
    for (long k = 1; k <= total; ++k) {
      auto r = c.run({k});
      EXPECT_EQ(r.error.value_or("none"), "VORLA_FIT: Not enough memory available; unable to run!") << k;
      EXPECT_TRUE(r.faults.empty()) << k << ": " << r.faults.front();
      EXPECT_TRUE(r.outputs[0] == nullptr && r.outputs[1] == nullptr && r.outputs[2] == nullptr) << k;
    }
  }
}

TEST(FitMemory, FreeStoreExhaustionReleasesEveryNode) {
  FitCall c = three_presentations();
  free_store::arm(0);
  test::expect_sound(c.run());
  const long total = free_store::allocations();
  EXPECT_EQ(free_store::disarm(), 0);
  ASSERT_GE(total, 3 * 3) << "each node and its two corners";
  for (long k = 1; k <= total; ++k) {
    free_store::arm(k);
    auto r = c.run();
    const long live = free_store::disarm();
    EXPECT_EQ(r.error.value_or("none"), "VORLA_FIT: Not enough memory available; unable to run!") << k;
    EXPECT_EQ(live, 0) << k;
    EXPECT_TRUE(r.faults.empty()) << k;
  }
}

TEST(FitCounters, TotalsPast32Bits) {
  // 1 pattern, M features, label never matching: every presentation creates a node, and
  // measuring n nodes costs n (2M + 2) FLOPs. The FLOP total passes 2^32 within the run and
  // the report prints it whole.
  // Many features keep the node count and the run short: M = 4096, 1100 presentations.
  const int M = 4096;
  const int P = 1100;
  FitCall c;
  c.patterns = {std::vector<double>(M, 0.5)};
  c.labels = {0.5};
  c.D = M;
  c.max_list_presentations = P;
  c.oflag = 1;
  auto r = c.run();
  test::expect_sound(r);
  // Presentation p measures p - 1 nodes; each fails no test (mfv = 1), passes VT (+1 FLOP),
  // and later candidates cost a comparison; match tracking then drops one node at a time.
  unsigned long long flops = 3, comparisons = 0;
  for (unsigned long long n = 0; n < static_cast<unsigned long long>(P); ++n) {
    flops += n * (2ull * M + 2) + n;
    comparisons += n * 2ull * M;                  // the matches
    if (n > 0) comparisons += n - 1;              // later candidates in the search
    // Every engagement drops all nodes at once (equal mfv), testing each eligible node once.
    if (n > 0) comparisons += n;
  }
  ASSERT_GT(flops, 1ull << 32);
  char expected[128];
  std::snprintf(expected, sizeof expected, "%llu FLOPs and %llu comparisons in N seconds\n\n", flops, comparisons);
  const std::string text = test::masked(r.text);
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 3) + 1), expected);
}

}  // namespace
