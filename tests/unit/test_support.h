// Shared pieces of the unit tests: calling the entry points on the stand-in host.
#ifndef VORLA_TEST_SUPPORT_H
#define VORLA_TEST_SUPPORT_H

#include "standin.h"
#include "vorla_eval.h"
#include "vorla_fit.h"
#include "vorla_learn.h"

#include <gtest/gtest.h>

#include <vector>

namespace test {

using standin::ArrayPtr;

// Owns the inputs of one call.
struct Inputs {
  std::vector<ArrayPtr> arrays;

  Inputs& add(ArrayPtr a) {
    arrays.push_back(std::move(a));
    return *this;
  }
  std::vector<const mxArray*> pointers() const {
    std::vector<const mxArray*> p;
    for (const auto& a : arrays) p.push_back(a.get());
    return p;
  }
  ArrayPtr& operator[](std::size_t k) { return arrays.at(k); }
};

// A column vector of doubles.
inline ArrayPtr column(const std::vector<double>& values) { return standin::make_double(values.size(), 1, values); }

// The arguments of a training call, valid by default: the two-pattern run of the tests.
struct FitCall {
  std::vector<std::vector<double>> patterns = {{0.2}, {0.6}};
  std::vector<double> labels = {1, 2};
  double D = 1, vigilance = 0, alpha = 0.001, learning_rate = 1, max_list_presentations = 100, trim_option = 0,
         ct_option = 0, oflag = 0;
  // The features of a call without patterns (0 x features); 0 x 0 by default.
  std::size_t features_when_empty = 0;

  Inputs inputs() const {
    Inputs in;
    in.add(patterns.empty() ? standin::make_double(0, features_when_empty) : standin::make_matrix(patterns))
        .add(column(labels));
    for (double v : {D, vigilance, alpha, learning_rate, max_list_presentations, trim_option, ct_option, oflag})
      in.add(standin::make_scalar(v));
    return in;
  }
  standin::CallResult run(standin::CallOptions options = {}) const {
    Inputs in = inputs();
    return standin::call(vorla::vorla_fit, 3, in.pointers(), options);
  }
};

// The arguments of a model-layer training call: a training call's ten and the four added
// ones (left out with ten_inputs).
struct LearnCall {
  FitCall fit;
  double match_tracking = 0, display = 0;
  std::vector<std::vector<double>> templates0;  // rows [lower upper]; none: 0 x 0
  std::vector<double> labels0;
  bool ten_inputs = false;

  Inputs inputs() const {
    Inputs in = fit.inputs();
    if (ten_inputs) return in;
    in.add(standin::make_scalar(match_tracking)).add(standin::make_scalar(display));
    in.add(templates0.empty() ? standin::make_double(0, 0) : standin::make_matrix(templates0));
    in.add(labels0.empty() ? standin::make_double(0, 0) : column(labels0));
    return in;
  }
  standin::CallResult run(standin::CallOptions options = {}, int nlhs = 4) const {
    Inputs in = inputs();
    return standin::call(vorla::vorla_learn, nlhs, in.pointers(), options);
  }
};

// The arguments of a classification call, valid by default: the two-template example.
struct EvalCall {
  std::vector<std::vector<double>> templates = {{0.1, 0.2, 0.3, 0.4}, {0.5, 0.5, 0.9, 0.9}};
  std::vector<double> labels = {1, 2};
  double D = 2, vigilance = 0.5, alpha = 0.01, ct_option = 1;
  std::vector<std::vector<double>> patterns = {{0.2, 0.3}};
  double unknown_label = 0, oflag = 0;

  Inputs inputs() const {
    Inputs in;
    in.add(standin::make_matrix(templates)).add(column(labels));
    for (double v : {D, vigilance, alpha, ct_option}) in.add(standin::make_scalar(v));
    in.add(standin::make_matrix(patterns));
    for (double v : {unknown_label, oflag}) in.add(standin::make_scalar(v));
    return in;
  }
  standin::CallResult run(standin::CallOptions options = {}) const {
    Inputs in = inputs();
    return standin::call(vorla::vorla_eval, 1, in.pointers(), options);
  }
};

// A call that went well: no error, no warning, no misuse of the host.
inline void expect_sound(const standin::CallResult& r) {
  EXPECT_FALSE(r.error) << *r.error;
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_TRUE(r.faults.empty()) << r.faults.front();
}

// The text printed up to the seconds of the closing summary line, and that line's seconds masked.
inline std::string masked(std::string text) {
  auto at = text.rfind(" comparisons in ");
  if (at == std::string::npos) return text;
  auto start = at + 16, end = text.find(" seconds", start);
  return text.replace(start, end - start, "N");
}

// The text without its closing totals line.
inline std::string without_totals(const std::string& text) {
  auto at = text.rfind(" FLOPs and ");
  return at == std::string::npos ? text : text.substr(0, text.rfind('\n', at) + 1);
}

}  // namespace test

#endif
