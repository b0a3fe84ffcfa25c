// Size limits that bound a node's choice and match values, shared by the searches that find
// only a winner (classification and training whose counts nothing shows).
#ifndef VORLA_REACH_H
#define VORLA_REACH_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vorla {

// Bisection over the bit patterns of the non-negative doubles (which order them as their
// values) for the largest size that fails a test, given that the test is monotone in the
// size (failing up to some size, passing from the next one on), fails at `fails` and passes
// at `passes` (bit patterns, fails < passes).
template <class Test>
double last_failing_size(std::uint64_t fails, std::uint64_t passes, Test&& test) {
  while (passes - fails > 1) {
    const std::uint64_t middle = fails + (passes - fails) / 2;
    double size;
    std::memcpy(&size, &middle, sizeof size);
    (test(size) ? passes : fails) = middle;
  }
  double size;
  std::memcpy(&size, &fails, sizeof size);
  return size;
}

inline std::uint64_t bits_of(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The largest size that passes a test monotone in the size (passing up to an edge, failing
// from the next size on): -1 where no size passes, +Inf where every size does. The edge
// lies within a few steps of rounding of D's magnitude from guess, so a bisection of that
// window is tried first, kept only where both its ends bear it out; otherwise the bisection
// runs over every non-negative double.
template <class Fails>
double passing_size_limit(double D, double guess, Fails&& fails) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  if (fails(0.0)) return -1.0;
  if (!fails(inf)) return inf;
  if (guess >= 0 && guess < inf) {
    const double reach = 16 * (std::fabs(D) + guess) * std::numeric_limits<double>::epsilon();
    const double low = std::max(0.0, guess - reach);
    const double high = guess + reach;
    if (!fails(low) && fails(high)) return last_failing_size(bits_of(low), bits_of(high), fails);
  }
  return last_failing_size(bits_of(0.0), bits_of(inf), fails);
}

// For a node of choice denominator d, under a finite D above 0, the largest size L whose
// cfv = fl(fl(D - L) / d) is above cut: every size S^ > L then gives cfv <= cut, since for
// 0 < d < Inf each rounded step is monotone in S^ (D - S^ non-increasing, the division by a
// positive d non-decreasing in it). Sizes are never negative (sums of non-negative terms
// from +0), so L = -1 where even size 0 gives at most the cut. D - cut x d is tried first;
// where rounding moves the edge, bisection finds it (the step of fl(D - S) can span many
// doubles of a small S). +Inf (the node is measured always) where d is not a positive
// finite number or cut is NaN.
inline double choice_size_limit(double D, double cut, double d) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  if (!(d > 0 && d <= std::numeric_limits<double>::max()) || std::isnan(cut)) return inf;
  const auto at_most_cut = [&](double size) { return (D - size) / d <= cut; };
  const double guess = D - cut * d;
  // Where rounding leaves the edge at the guess itself, two tests settle it.
  if (guess >= 0 && guess < inf && !at_most_cut(guess) && at_most_cut(std::nextafter(guess, inf))) return guess;
  return passing_size_limit(D, guess, at_most_cut);
}

// The test of match tracking on a node's mfv against the raised rho: mfv > rho under the
// strict rule, mfv >= rho under the tolerant one; a NaN mfv passes neither.
inline bool passes_match(double mfv, double rho, bool strict) { return strict ? mfv > rho : mfv >= rho; }

// Under a finite D above 0, the largest size whose mfv = fl(fl(D - S) / D) passes the test
// of match tracking against rho (mfv being non-increasing in the size), near D - rho x D.
inline double match_size_limit(double D, double rho, bool strict) {
  return passing_size_limit(D, D - rho * D, [&](double size) { return !passes_match((D - size) / D, rho, strict); });
}

// Whether every size above least fails the test of match tracking against rho,
// mfv = fl(fl(D - S) / D) > rho (strict) or mfv >= rho. Sizes are never negative, and for a
// finite D above 0 mfv is non-increasing in the size, so it is enough that the least size
// above least fails.
inline bool sizes_above_fail_match(double D, double least, double rho, bool strict) {
  const double next = least < 0 ? 0.0 : std::nextafter(least, std::numeric_limits<double>::infinity());
  return !passes_match((D - next) / D, rho, strict);
}

}  // namespace vorla

#endif
