#include "node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using vorla::ModelValues;
using vorla::Node;

namespace {

TEST(Node, PointBoxMatchesItsOwnPatternFully) {
  const ModelValues model{3, 3.0, 0.01};
  const double x[] = {0.25, 0.5, 0.75};
  Node n(model, x, 7);
  EXPECT_EQ(n.label, 7);
  EXPECT_EQ(n.active, 1);
  EXPECT_EQ(n.choice_denominator, 3.01);
  n.compute_match(model, x);
  EXPECT_EQ(n.match_numerator, 3.0);
  EXPECT_EQ(n.mfv, 1.0);
  EXPECT_EQ(n.match_numerator / n.choice_denominator, 3.0 / 3.01);
}

TEST(Node, MatchMeasuresTheSmallestBoxHoldingBoxAndPattern) {
  const ModelValues model{2, 2.0, 0.0};
  const double row[] = {0.1, 0.2, 0.3, 0.4};
  Node n(model, row, 1, 1);
  const double inside[] = {0.2, 0.3};
  n.compute_match(model, inside);
  // Size of the box itself: 0.2 + 0.2.
  EXPECT_EQ(n.match_numerator, 2.0 - ((0.3 - 0.1) + (0.4 - 0.2)));
  const double outside[] = {0.9, 0.0};
  n.compute_match(model, outside);
  EXPECT_EQ(n.match_numerator, 2.0 - ((0.9 - 0.1) + (0.4 - 0.0)));
  EXPECT_EQ(n.mfv, (2.0 - ((0.9 - 0.1) + (0.4 - 0.0))) / 2.0);
}

TEST(Node, MatchFallsBelowZeroForBoxesLargerThanD) {
  const ModelValues model{1, 0.5, 0.0};
  const double row[] = {0.0, 0.25};
  Node n(model, row, 1, 1);
  const double x[] = {1.0};
  n.compute_match(model, x);
  EXPECT_EQ(n.mfv, -1.0);
}

TEST(Node, TemplateRowWithLowerAboveUpperGivesANegativeExtent) {
  const ModelValues model{2, 2.0, 0.5};
  const double row[] = {0.5, 0.0, 0.25, 1.0};
  Node n(model, row, 1, 1);
  // Extents -0.25 and 1.0.
  EXPECT_EQ(n.choice_denominator, (2.0 - (-0.25 + 1.0)) + 0.5);
}

TEST(Node, PatternOnAFaceChangesNothing) {
  const ModelValues model{2, 2.0, 0.01};
  const double row[] = {0.1, 0.2, 0.3, 0.4};
  Node n(model, row, 1, 1);
  const double before = n.choice_denominator;
  const double face[] = {0.1, 0.4};
  std::uint32_t flops = 99;
  EXPECT_EQ(n.learn(model, face, 1.0, flops), 0);
  EXPECT_EQ(n.learn(model, face, 0.5, flops), 0);
  EXPECT_EQ(flops, 0u);
  EXPECT_EQ(n.choice_denominator, before);
}

TEST(Node, FastLearningTakesThePatternValueExactly) {
  const ModelValues model{3, 3.0, 0.01};
  const double row[] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  Node n(model, row, 1, 1);
  const double x[] = {0.05, 0.3, 0.9};  // below, inside, above
  std::uint32_t flops = 0;
  EXPECT_EQ(n.learn(model, x, 1.0, flops), 1);
  EXPECT_EQ(flops, 2u * 3 + 2);
  double lower[] = {n.lower[0], n.lower[1], n.lower[2]}, upper[] = {n.upper[0], n.upper[1], n.upper[2]};
  EXPECT_EQ(std::vector<double>(lower, lower + 3), (std::vector<double>{0.05, 0.2, 0.3}));
  EXPECT_EQ(std::vector<double>(upper, upper + 3), (std::vector<double>{0.4, 0.5, 0.9}));
  EXPECT_EQ(n.choice_denominator, (3.0 - (((0.4 - 0.05) + (0.5 - 0.2)) + (0.9 - 0.3))) + 0.01);
}

TEST(Node, SlowLearningMovesHalfWay) {
  const ModelValues model{1, 1.0, 0.001};
  const double row[] = {0.25, 0.5};
  Node n(model, row, 1, 1);
  const double x[] = {1.0};
  std::uint32_t flops = 0;
  EXPECT_EQ(n.learn(model, x, 0.5, flops), 1);
  EXPECT_EQ(n.upper[0], 0.75);
  EXPECT_EQ(n.lower[0], 0.25);
  EXPECT_EQ(flops, 4u + 2 + 2);
  EXPECT_EQ(n.choice_denominator, (1.0 - 0.5) + 0.001);
}

TEST(Node, SlowLearningBlendsWithoutFusedMultiplyAdd) {
  const ModelValues model{1, 1.0, 0.0};
  const double row[] = {0.3, 0.3};
  Node n(model, row, 1, 1);
  const double x[] = {0.1};
  const double rate = 0.3;
  std::uint32_t flops = 0;
  n.learn(model, x, rate, flops);
  volatile double a = rate * 0.1, b = (1 - rate) * 0.3;
  EXPECT_EQ(n.lower[0], a + b);
  EXPECT_EQ(flops, 4u + 2 + 2);
}

// Rate 0.5 halves the gap, and a tie rounds to even: with u = 2^-53 near 0.5, an upper
// corner 2u above 0.5 meets a pattern at 3u (2.5u rounds to 2u), a lower corner at 4u meets
// one at 3u (3.5u rounds to 4u). The blends are computed and counted, but nothing changed.
TEST(Node, ABlendThatRoundsBackToTheCornerIsNoChange) {
  const ModelValues model{2, 2.0, 0.01};
  const double u = std::ldexp(1.0, -53);
  const double row[] = {0.5, 0.5 + 4 * u, 0.5 + 2 * u, 0.6};
  Node n(model, row, 1, 1);
  n.choice_denominator = -1.0;  // would be overwritten by a recomputation
  const double stalls[] = {0.5 + 3 * u, 0.5 + 3 * u};
  std::uint32_t flops = 0;
  EXPECT_EQ(n.learn(model, stalls, 0.5, flops), 0);
  EXPECT_EQ(flops, 4u + 4u);
  EXPECT_EQ(n.choice_denominator, -1.0);
  double out[4] = {};
  n.export_row(model, out);
  EXPECT_EQ(std::vector<double>(out, out + 4), std::vector<double>(row, row + 4));

  // One coordinate that still moves (lower 4u toward 1u gives 2.5u, rounded to 2u) makes the
  // update a change again, with the choice denominator recomputed.
  const double moves[] = {0.5 + 3 * u, 0.5 + u};
  EXPECT_EQ(n.learn(model, moves, 0.5, flops), 1);
  EXPECT_EQ(flops, 4u + 4u + 2 * 2 + 2);
  EXPECT_EQ(n.lower[1], 0.5 + 2 * u);
  EXPECT_EQ(n.upper[0], 0.5 + 2 * u);
  EXPECT_EQ(n.choice_denominator, (2.0 - ((0.5 + 2 * u - 0.5) + (0.6 - (0.5 + 2 * u)))) + 0.01);
}

TEST(Node, ExportGivesLowerThenUpper) {
  const ModelValues model{2, 2.0, 0.01};
  const double row[] = {0.1, 0.3, 0.5, 0.9};
  Node n(model, row, 1, 1);
  EXPECT_EQ(n.lower[0], 0.1);
  EXPECT_EQ(n.lower[1], 0.3);
  EXPECT_EQ(n.upper[0], 0.5);
  EXPECT_EQ(n.upper[1], 0.9);
  double out[4] = {};
  n.export_row(model, out);
  EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{0.1, 0.3, 0.5, 0.9}));
}

TEST(Node, NoFeaturesMatchEverything) {
  const ModelValues model{0, 1.0, 0.5};
  Node n(model, nullptr, 1);
  n.compute_match(model, nullptr);
  EXPECT_EQ(n.mfv, 1.0);
  std::uint32_t flops = 5;
  EXPECT_EQ(n.learn(model, nullptr, 1.0, flops), 0);
  EXPECT_EQ(flops, 0u);
}

TEST(Node, ZeroDMakesTheMatchNotANumberOrInfinite) {
  const ModelValues model{1, 0.0, 0.5};
  const double x[] = {0.5};
  Node n(model, x, 1);
  n.compute_match(model, x);
  EXPECT_TRUE(std::isnan(n.mfv));
  const double y[] = {0.75};
  n.compute_match(model, y);
  EXPECT_TRUE(std::isinf(n.mfv) && n.mfv < 0);
}

}  // namespace
