#include "free_store.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

using standin::make_array;
using standin::make_double;
using standin::make_scalar;
using test::EvalCall;
using test::Inputs;

namespace {

const char* const worked_summary =
    "\nFAM performance phase summary\n"
    "1 inactive node detected (50.000000%)\n"
    "22 FLOPs and 10 comparisons in N seconds\n\n";

// Gives c count random boxes of M coordinates with corners on the grid 0, step, ...,
// cells x step, labelled 0 .. label_count - 1 in turn.
void use_grid_boxes(EvalCall& c, std::mt19937& random, int count, int M, int cells, double step, int label_count) {
  std::uniform_int_distribution<int> grid(0, cells);
  c.templates.clear();
  c.labels.clear();
  for (int k = 0; k < count; ++k) {
    std::vector<double> lower, upper;
    for (int i = 0; i < M; ++i) {
      const double a = grid(random) * step, b = grid(random) * step;
      lower.push_back(std::min(a, b));
      upper.push_back(std::max(a, b));
    }
    lower.insert(lower.end(), upper.begin(), upper.end());
    c.templates.push_back(lower);
    c.labels.push_back(k % label_count);
  }
}

TEST(EvalWorkedExample, ClassifiesThePatternByTheBoxHoldingIt) {
  EvalCall c;
  c.oflag = 1;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{1, 1}));
  EXPECT_EQ(standin::values_of(r.output(0)), std::vector<double>{1});
  EXPECT_EQ(r.flops, std::vector<int>{23});
  EXPECT_EQ(test::masked(r.text), worked_summary);
}

TEST(EvalWorkedExample, TraceLevels) {
  EvalCall c;
  c.oflag = 3;
  EXPECT_EQ(test::masked(c.run().text), std::string("\nList presentation of 1 patterns:\n"
                                                    "   Pattern #1 is being presented\n"
                                                    "      Node #1 is candidate (CFV=0.993789)\n"
                                                    "      Node #2 fails VT (MFV=0.350000 < rho=0.500000)\n"
                                                    "   Pattern #1 selected by node #1 and classified as '1'\n") +
                                            worked_summary);
  c.oflag = 2;
  EXPECT_EQ(test::masked(c.run().text), std::string("\nList presentation of 1 patterns:\n"
                                                    "   Pattern #1 selected by node #1 and classified as '1'\n") +
                                            worked_summary);
  c.oflag = 0;
  EXPECT_EQ(c.run().text, "");
}

TEST(EvalClassification, UnacceptedPatternsGetTheTruncatedUnknownLabel) {
  EvalCall c;
  c.patterns = {{0.2, 0.3}, {5, 5}, {NAN, 0.3}};
  c.unknown_label = 2.7;
  c.oflag = 2;
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{1, 2, 2}));
  EXPECT_NE(r.text.find("   Pattern #2 could not be classified\n   Pattern #3 could not be classified\n"),
            std::string::npos);
  EXPECT_NE(r.text.find("unable to classify 2 patterns (66.666667%)\n"), std::string::npos) << r.text;
  c.unknown_label = -1;
  EXPECT_EQ(standin::values_of(c.run().output(0)), (std::vector<double>{1, -1, -1}));
}

TEST(EvalClassification, NodeLabelsAreTruncatedAndEqualChoicesGoToTheLowerNode) {
  EvalCall c;
  c.templates = {{0, 1}, {0, 1}, {0.25, 0.5}};
  c.labels = {3.9, -1.5, 7};
  c.D = 2;
  c.vigilance = 0;
  c.ct_option = 0;
  c.patterns = {{0.75}, {0.3}};
  c.oflag = 3;
  auto r = c.run();
  test::expect_sound(r);
  // Pattern 1: nodes 1 and 2 tie at 1 / 1.01 over node 3's 1.5 / 1.76. Pattern 2: node 3
  // holds it, 1.75 / 1.76.
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{3, 7}));
  EXPECT_NE(r.text.find("selected by node #1 and classified as '3'"), std::string::npos);
  EXPECT_NE(r.text.find("1 inactive node detected (33.333333%)"), std::string::npos);
  // Without the choice test: 3 matches (4 FLOPs, 2 comparisons), 3 VT passes (1 + 1), 2 later candidates.
  EXPECT_EQ(r.flops, (std::vector<int>{3 * 6 + 3 * 2 + 2, 26}));
}

TEST(EvalClassification, MatchEqualToVigilanceAndChoiceEqualToTuPass) {
  // Box [0, 0.5], pattern 0.75: mfv = 1 - 0.75 = 0.25; cfv = 0.25 / 0.5 = 0.5 = Tu with D 1, alpha 0.
  EvalCall c;
  c.templates = {{0, 0.5}};
  c.labels = {4};
  c.D = 1;
  c.vigilance = 0.25;
  c.alpha = 0;
  c.patterns = {{0.75}};
  c.oflag = 3;
  auto r = c.run();
  EXPECT_EQ(standin::values_of(r.output(0)), std::vector<double>{4}) << r.text;
  c.vigilance = 0.2500001;
  EXPECT_EQ(standin::values_of(c.run().output(0)), std::vector<double>{0});
}

TEST(EvalClassification, ZeroDRefusesEveryPattern) {
  EvalCall c;
  c.D = 0;
  c.unknown_label = 9;
  c.patterns = {{0.2, 0.3}, {0.5, 0.5}};
  EXPECT_EQ(standin::values_of(c.run().output(0)), (std::vector<double>{9, 9}));
}

TEST(EvalClassification, OddColumnCountsIgnoreTheLastColumn) {
  EvalCall c;
  c.templates = {{0.1, 0.2, 0.3, 0.4, NAN}, {0.5, 0.5, 0.9, 0.9, 7}};
  auto r = c.run();
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(0)), std::vector<double>{1});
}

TEST(EvalClassification, NoPatternsAndNoTemplates) {
  EvalCall c;
  c.oflag = 1;
  Inputs in = c.inputs();
  in[6] = make_double(0, 2);
  auto r = standin::call(vorla::vorla_eval, 1, in.pointers());
  test::expect_sound(r);
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{0, 1}));
  EXPECT_EQ(test::masked(r.text), "\nFAM performance phase summary\n"
                                  "2 inactive nodes detected (100.000000%)\n"
                                  "9 FLOPs and 0 comparisons in N seconds\n\n");
  in = c.inputs();
  in[0] = make_double(0, 4);
  in[1] = make_double(0, 1);
  r = standin::call(vorla::vorla_eval, 1, in.pointers());
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(0)), std::vector<double>{0});
  EXPECT_EQ(test::masked(r.text), "\nFAM performance phase summary\n"
                                  "0 inactive nodes detected (0.000000%)\n"
                                  "unable to classify 1 patterns (100.000000%)\n"
                                  "9 FLOPs and 0 comparisons in N seconds\n\n");
}

TEST(EvalClassification, ChunksGiveTheSameLabelsAsOneCall) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> grid(0, 8);
  EvalCall c;
  use_grid_boxes(c, random, 12, 2, 8, 1.0 / 8, 3);
  c.vigilance = 0.6;
  c.patterns.clear();
  for (int p = 0; p < 40; ++p) c.patterns.push_back({grid(random) / 8.0, grid(random) / 8.0});
  auto whole = standin::values_of(c.run().output(0));
  std::vector<double> joined;
  EvalCall part = c;
  for (std::size_t start = 0; start < c.patterns.size(); start += 15) {
    part.patterns.assign(c.patterns.begin() + start, c.patterns.begin() + std::min(start + 15, c.patterns.size()));
    auto labels = standin::values_of(part.run().output(0));
    joined.insert(joined.end(), labels.begin(), labels.end());
  }
  EXPECT_EQ(joined, whole);
}

// Patterns are read from the host's own columns a group at a time: every class gives the
// labels of its values as doubles, also for a group cut short at the end.
TEST(EvalClassification, PatternsOfEveryClassAreReadAsTheirValues) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> grid(0, 6);
  EvalCall c;
  use_grid_boxes(c, random, 20, 3, 6, 1.0, 4);
  c.D = 18;
  c.vigilance = 0.7;
  c.patterns.clear();
  std::vector<double> by_column(19 * 3);
  for (int p = 0; p < 19; ++p) {
    c.patterns.push_back({});
    for (int i = 0; i < 3; ++i) c.patterns.back().push_back(by_column[i * 19 + p] = grid(random));
  }
  const auto expected = standin::values_of(c.run().output(0));
  ASSERT_EQ(expected.size(), 19u);
  ASSERT_NE(std::count(expected.begin(), expected.end(), 0.0), 19) << "some patterns must be accepted";
  for (mxClassID id : {mxSINGLE_CLASS, mxINT8_CLASS, mxUINT8_CLASS, mxINT16_CLASS, mxUINT16_CLASS, mxINT32_CLASS,
                       mxUINT32_CLASS, mxINT64_CLASS, mxUINT64_CLASS}) {
    Inputs in = c.inputs();
    in[6] = make_array(id, {19, 3}, by_column);
    auto r = standin::call(vorla::vorla_eval, 1, in.pointers());
    test::expect_sound(r);
    EXPECT_EQ(standin::values_of(r.output(0)), expected) << id;
  }
}

TEST(EvalClassification, ClassifiesWhatTrainingLearned) {
  test::FitCall f;
  f.patterns = {{0.1, 0.1}, {0.2, 0.2}, {0.8, 0.9}, {0.9, 0.8}};
  f.labels = {1, 1, 2, 2};
  f.D = 2;
  Inputs in = f.inputs();
  auto trained = standin::call(vorla::vorla_fit, 3, in.pointers());
  test::expect_sound(trained);
  Inputs e;
  e.add(std::move(trained.outputs[0])).add(std::move(trained.outputs[1]));
  for (double v : {2.0, 0.0, 0.001, 0.0}) e.add(make_scalar(v));
  e.add(standin::make_matrix({{0.15, 0.15}, {0.85, 0.85}})).add(make_scalar(0)).add(make_scalar(0));
  auto r = standin::call(vorla::vorla_eval, 1, e.pointers());
  test::expect_sound(r);
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{1, 2}));
}

struct Fault {
  const char* what;
  std::function<void(Inputs&)> change;
  const char* message;
};

const Fault faults[] = {
    {"Templates 3-D", [](Inputs& in) { in[0] = make_array(mxDOUBLE_CLASS, {2, 4, 2}); },
     "VORLA_EVAL: 1st input argument (Templates) must be  a two dimensional array (matrix)."},
    {"Templates char", [](Inputs& in) { in[0] = standin::make_char("abcd"); },
     "VORLA_EVAL: 1st input argument (Templates) must be a full numeric or logical array, not char."},
    {"Templates Inf", [](Inputs& in) { in[0] = make_double(2, 4, {0, 0, 0, 0, 1, 1, 1, INFINITY}); },
     "VORLA_EVAL: 1st input argument (Templates) must not contain NaN or Inf values."},
    {"Templates too wide", [](Inputs& in) { in[0] = make_double(0, 2147483648u); in[1] = make_double(0, 1); },
     "VORLA_EVAL: 1st input argument (Templates) must have at most 2147483647 rows and 2147483647 columns."},
    {"NLabels 3-D", [](Inputs& in) { in[1] = make_array(mxDOUBLE_CLASS, {2, 1, 2}); },
     "VORLA_EVAL: 2nd input argument (NLabels) must a vector."},
    {"NLabels too long", [](Inputs& in) { in[1] = make_double(3, 1); },
     "VORLA_EVAL: 2nd input argument (NLabels) must be of type  2x1 or 1x2."},
    {"NLabels NaN", [](Inputs& in) { in[1] = make_double(2, 1, {1, NAN}); },
     "VORLA_EVAL: 2nd input argument (NLabels) must hold finite labels in the 32-bit integer range."},
    {"D matrix", [](Inputs& in) { in[2] = make_double(3, 2); }, "VORLA_EVAL: 3rd input argument (D) must be a scalar."},
    {"D negative", [](Inputs& in) { in[2] = make_scalar(-2); }, "VORLA_EVAL: 3rd input argument (D) must be non-negative."},
    {"vigilance empty", [](Inputs& in) { in[3] = make_double(0, 1); },
     "VORLA_EVAL: 4th input argument (vigilance) must be a scalar."},
    {"vigilance 1.01", [](Inputs& in) { in[3] = make_scalar(1.01); },
     "VORLA_EVAL: 4th input argument (vigilance) must be in [0.0, 1.0]."},
    {"alpha matrix", [](Inputs& in) { in[4] = make_double(2, 2); },
     "VORLA_EVAL: 5th input argument (alpha) must be a scalar."},
    {"alpha cell", [](Inputs& in) { in[4] = standin::make_cell(1, 1); },
     "VORLA_EVAL: 5th input argument (alpha) must be a full numeric or logical array, not cell."},
    {"alpha -0.1", [](Inputs& in) { in[4] = make_scalar(-0.1); },
     "VORLA_EVAL: 5th input argument (alpha) must be non-negative."},
    {"ct_option matrix", [](Inputs& in) { in[5] = make_double(2, 2); },
     "VORLA_EVAL: 6th input argument (ct_option) must be a scalar."},
    {"ct_option 2", [](Inputs& in) { in[5] = make_scalar(2); },
     "VORLA_EVAL: 6th input argument (ct_option) must be either 0 or 1."},
    {"ct_option NaN", [](Inputs& in) { in[5] = make_scalar(NAN); },
     "VORLA_EVAL: 6th input argument (ct_option) must be either 0 or 1."},
    {"Patterns 3-D", [](Inputs& in) { in[6] = make_array(mxDOUBLE_CLASS, {1, 2, 2}); },
     "VORLA_EVAL: 7th input argument (Patterns) must be  a two dimensional array (matrix)."},
    {"Patterns 10 x 3", [](Inputs& in) { in[6] = make_double(10, 3); },
     "VORLA_EVAL: 7th input argument (Patterns) must be of type  10x2."},
    {"Patterns sparse", [](Inputs& in) { in[6] = standin::make_sparse(1, 2); },
     "VORLA_EVAL: 7th input argument (Patterns) must be a full numeric or logical array, not sparse."},
    {"Patterns too tall", [](Inputs& in) { in[6] = make_double(2147483648u, 0); },
     "VORLA_EVAL: 7th input argument (Patterns) must have at most 2147483647 rows and 1073741823 columns."},
    {"unknown_label matrix", [](Inputs& in) { in[7] = make_double(2, 2); },
     "VORLA_EVAL: 8th input argument (unknown_label) must be a scalar."},
    {"unknown_label NaN", [](Inputs& in) { in[7] = make_scalar(NAN); },
     "VORLA_EVAL: 8th input argument (unknown_label) must be a finite value in the 32-bit integer range."},
    {"unknown_label 3e9", [](Inputs& in) { in[7] = make_scalar(3e9); },
     "VORLA_EVAL: 8th input argument (unknown_label) must be a finite value in the 32-bit integer range."},
    {"oflag 3-D", [](Inputs& in) { in[8] = make_array(mxDOUBLE_CLASS, {1, 1, 3}); },
     "VORLA_EVAL: 9th input argument (oflag) must be scalar."},
    {"oflag empty", [](Inputs& in) { in[8] = make_double(1, 0); },
     "VORLA_EVAL: 9th input argument (oflag) must be scalar."},
    {"oflag 2 x 3", [](Inputs& in) { in[8] = make_double(2, 3); }, "VORLA_EVAL: 9th input argument must be scalar."},
    {"oflag 4", [](Inputs& in) { in[8] = make_scalar(4); }, "VORLA_EVAL: 9th input argument (oflag) must be 0,1,2 or 3."},
    {"oflag NaN", [](Inputs& in) { in[8] = make_scalar(NAN); },
     "VORLA_EVAL: 9th input argument (oflag) must be 0,1,2 or 3."},
};

TEST(EvalChecks, EachFaultGetsItsOwnMessage) {
  for (const Fault& f : faults) {
    Inputs in = EvalCall{}.inputs();
    f.change(in);
    auto r = standin::call(vorla::vorla_eval, 1, in.pointers());
    EXPECT_EQ(r.error.value_or("no error"), f.message) << f.what;
    EXPECT_EQ(r.error_count, 1) << f.what;
    EXPECT_TRUE(r.faults.empty()) << f.what << ": " << r.faults.front();
    EXPECT_EQ(standin::call(vorla::vorla_eval, 2, in.pointers()).error.value_or("no error"), f.message) << f.what;
  }
}

TEST(EvalChecks, CountsOfInputsAndOutputs) {
  Inputs in = EvalCall{}.inputs();
  auto all = in.pointers();
  for (std::size_t n : {0, 8, 10}) {
    auto some = all;
    some.resize(n, all[0]);
    EXPECT_EQ(standin::call(vorla::vorla_eval, 1, some).error.value_or(""), "VORLA_EVAL: 9 input arguments required.");
  }
  for (int nlhs : {0, 2})
    EXPECT_EQ(standin::call(vorla::vorla_eval, nlhs, all).error.value_or(""),
              "VORLA_EVAL: 1 output argument required.");
}

TEST(EvalChecks, AcceptedEdgesAndConversions) {
  for (auto change : std::vector<std::function<void(Inputs&)>>{
           [](Inputs& in) { in[2] = make_double(1, 2, {2, 5}); },
           [](Inputs& in) { in[2] = make_scalar(0); },
           [](Inputs& in) { in[4] = make_scalar(0); },
           [](Inputs& in) { in[3] = make_scalar(1); },
           [](Inputs& in) { in[5] = make_scalar(1.5); },
           [](Inputs& in) { in[8] = make_scalar(3.99); },
           [](Inputs& in) { in[8] = make_scalar(-0.5); },
           [](Inputs& in) { in[8] = make_double(1, 3, {0, 7, 7}); },
           [](Inputs& in) { in[1] = make_array(mxINT8_CLASS, {1, 2}, {1, 2}); },
           [](Inputs& in) { in[6] = make_array(mxSINGLE_CLASS, {1, 2}, {0.2, 0.3}); },
       }) {
    Inputs in = EvalCall{}.inputs();
    change(in);
    auto r = standin::call(vorla::vorla_eval, 1, in.pointers());
    test::expect_sound(r);
  }
}

TEST(EvalMemory, EveryFailedAllocationRaisesTheOutOfMemoryMessage) {
  EvalCall c;
  c.patterns = {{0.2, 0.3}, {0.6, 0.6}, {0, 0}};
  c.oflag = 3;
  const auto whole = c.run();
  const long total = whole.allocations;
  // Two blocks per matrix, whatever its row count: Templates 2, NLabels 1; the patterns are
  // read where they lie; the predictions are written into the output array itself.
  ASSERT_EQ(total, 2 + 1 + 1);
  EXPECT_EQ(whole.blocks_reclaimed, 2 + 1) << "only the converted templates and labels are left to the host";
  for (long k = 1; k <= total; ++k) {
    auto r = c.run({k});
    EXPECT_EQ(r.error.value_or("none"), "VORLA_EVAL: Not enough memory available; unable to run!") << k;
    EXPECT_TRUE(r.faults.empty()) << k;
  }
  free_store::arm(0);
  c.run();
  const long news = free_store::allocations();
  free_store::disarm();
  ASSERT_GE(news, 1 + 2 * 3);
  for (long k = 1; k <= news; ++k) {
    free_store::arm(k);
    auto r = c.run();
    EXPECT_EQ(free_store::disarm(), 0) << k;
    EXPECT_EQ(r.error.value_or("none"), "VORLA_EVAL: Not enough memory available; unable to run!") << k;
    // The output array, made before the nodes, goes with the failed call.
    EXPECT_EQ(r.arrays_reclaimed, 0) << k;
  }
}

}  // namespace
