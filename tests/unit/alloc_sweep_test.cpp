// Every allocation of a call failing in turn, and every interrupt poll of a call seeing Ctrl-C. First the host's: the stand-in makes its k-th
// mxCalloc, mxRealloc or mxCreateNumericArray give nothing, for every k the successful call
// reaches. Then the free store's: vorla's own k-th operator new (nodes, corners, the search's
// node bank) throws, for every k the successful call reaches. Each run must end with the
// out-of-memory message or succeed unchanged, use the host interface soundly and leave no
// free-store block behind. Host blocks still held at the end are the host's to reclaim.
// An interrupt at any poll must hand the interrupt back to the host, with no output, no
// free-store block left, and the trace and flop feed so far as the whole call gives them.
#include "bank.h"
#include "free_store.h"
#include "score.h"
#include "standin.h"
#include "vorla_eval.h"
#include "vorla_fit.h"
#include "vorla_score.h"
#include "vorla_learn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

namespace {

using standin::ArrayPtr;
using standin::CallResult;
using standin::make_double;
using standin::make_scalar;

const char fit_oom[] = "VORLA_FIT: Not enough memory available; unable to run!";
const char eval_oom[] = "VORLA_EVAL: Not enough memory available; unable to run!";
const char score_oom[] = "VORLA_SCORE: Not enough memory available; unable to run!";
const char learn_oom[] = "VORLA_LEARN: Not enough memory available; unable to run!";

struct Case {
  std::string name;
  standin::MexFunction entry = nullptr;
  int nlhs = 0;
  const char* out_of_memory = nullptr;
  std::vector<ArrayPtr> inputs;
  // Output 4 is a history whose last column holds seconds, and the text has progress lines
  // with seconds: neither is compared.
  bool timed = false;
  // The call starts threads: where one cannot be started (its free-store block refused), the
  // others take its share, so such a failure may leave the call to succeed, with the same results.
  bool starts_threads = false;

  std::vector<const mxArray*> arrays() const {
    std::vector<const mxArray*> a;
    for (const ArrayPtr& p : inputs) a.push_back(p.get());
    return a;
  }
  CallResult run(long fail_host = 0, long interrupt_at = 0) const {
    standin::CallOptions options;
    options.fail_allocation = fail_host;
    options.interrupt_at_poll = interrupt_at;
    return standin::call(entry, nlhs, arrays(), options);
  }
};

// An output's dimensions and values, a cell's elements in turn (an unset one as -1);
// timed: its last column holds seconds, which are not compared.
void flatten(const mxArray* array, bool timed, std::vector<double>& to) {
  if (!array) {
    to.push_back(-1);
    return;
  }
  const std::vector<mwSize> dims = standin::dims_of(array);
  for (mwSize d : dims) to.push_back(static_cast<double>(d));
  if (mxGetClassID(array) == mxCELL_CLASS) {
    for (std::size_t k = 0; k < dims[0] * dims[1]; ++k) flatten(standin::cell_of(array, k), timed, to);
    return;
  }
  std::vector<double> values = standin::values_of(array);
  if (timed) values.resize(values.size() - dims[0]);
  to.insert(to.end(), values.begin(), values.end());
}

std::vector<std::vector<double>> outputs_of(const CallResult& r, const Case& c) {
  std::vector<std::vector<double>> v;
  for (const ArrayPtr& out : r.outputs) {
    if (!out) continue;
    std::vector<double> values;
    flatten(out.get(), c.timed && v.size() == 3, values);
    v.push_back(values);
  }
  return v;
}

std::string untimed(const std::string& text) {
  // A progress line's seconds end it, or come before the note of convergence; a summary's
  // whole seconds may differ as well (a batch has one per network).
  const std::string t = std::regex_replace(text, std::regex(", [0-9]+\\.[0-9]{2} s([\n;])"), ", T s$1");
  return std::regex_replace(t, std::regex(" comparisons in [0-9]+ seconds"), " comparisons in N seconds");
}

void expect_sound(const CallResult& r, const CallResult& baseline, const Case& c, const std::string& where) {
  SCOPED_TRACE(c.name + ", " + where);
  EXPECT_TRUE(r.faults.empty()) << r.faults.front();
  EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
  EXPECT_EQ(r.free_store_live, 0) << "free-store blocks leaked";
  if (r.error) {
    EXPECT_EQ(*r.error, c.out_of_memory);
    EXPECT_EQ(r.error_count, 1);
  } else {
    EXPECT_EQ(outputs_of(r, c), outputs_of(baseline, c)) << "a call that survived the failure changed its results";
  }
}

void sweep(const Case& c) {
  const CallResult baseline = c.run();
  ASSERT_FALSE(baseline.error) << c.name << ": " << *baseline.error;
  ASSERT_TRUE(baseline.faults.empty()) << baseline.faults.front();
  ASSERT_EQ(baseline.free_store_live, 0);
  ASSERT_GT(baseline.free_store_allocations, 0) << c.name << " builds no node";

  long host_failures = 0;
  for (long k = 1; k <= baseline.allocations; ++k) {
    const CallResult r = c.run(k);
    host_failures += r.error ? 1 : 0;
    expect_sound(r, baseline, c, "host allocation " + std::to_string(k) + " of " +
                                     std::to_string(baseline.allocations) + " fails");
  }
  // The outputs are host allocations too, so a failure must show at least there.
  EXPECT_GT(host_failures, 0);

  long free_store_failures = 0;
  for (long k = 1; k <= baseline.free_store_allocations; ++k) {
    free_store::arm(k);
    const CallResult r = c.run();
    const long live = free_store::disarm();
    const std::string where = "operator new " + std::to_string(k) + " of " +
                              std::to_string(baseline.free_store_allocations) + " throws";
    expect_sound(r, baseline, c, where);
    EXPECT_EQ(live, 0) << c.name << ", " << where;
    if (!c.starts_threads) {
      EXPECT_TRUE(r.error) << c.name << ", " << where << ": the failure went unnoticed";
    }
    free_store_failures += r.error ? 1 : 0;
  }
  // Whatever is shared among threads is built before any starts, so most failures still show.
  EXPECT_GT(free_store_failures * 2, baseline.free_store_allocations) << c.name;
}

bool starts_with(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// Ctrl-C before each poll of the call in turn, with the bank polled between stretches of
// poll_visits coordinate visits (1: between every two pairs of blocks).
void sweep_interrupts(const Case& c, std::int64_t poll_visits) {
  const std::int64_t saved = vorla::interrupt_poll_visits();
  vorla::set_interrupt_poll_visits(poll_visits);
  const CallResult baseline = c.run();
  ASSERT_FALSE(baseline.error) << c.name << ": " << *baseline.error;
  ASSERT_FALSE(baseline.interrupted);
  ASSERT_GT(baseline.polls, 0) << c.name << " never polls";
  const std::string message = std::string(c.out_of_memory).substr(0, std::string(c.out_of_memory).find(':')) +
                              ": Interrupted by the user.";
  for (long k = 1; k <= baseline.polls + 1; ++k) {
    const CallResult r = c.run(0, k);
    SCOPED_TRACE(c.name + ", Ctrl-C at poll " + std::to_string(k) + " of " + std::to_string(baseline.polls));
    EXPECT_TRUE(r.faults.empty()) << r.faults.front();
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(r.free_store_live, 0) << "free-store blocks leaked";
    EXPECT_FALSE(r.error);
    if (k > baseline.polls) {
      EXPECT_FALSE(r.interrupted);
      EXPECT_EQ(outputs_of(r, c), outputs_of(baseline, c));
      continue;
    }
    EXPECT_TRUE(r.interrupted) << "the call did not stop";
    EXPECT_EQ(r.polls, k) << "the call polled on after the interrupt";
    EXPECT_EQ(r.interrupt_message, message);
    for (const ArrayPtr& out : r.outputs) EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(starts_with(untimed(baseline.text), untimed(r.text))) << "the trace so far differs" ;
    ASSERT_LE(r.flops.size(), baseline.flops.size());
    EXPECT_TRUE(std::equal(r.flops.begin(), r.flops.end(), baseline.flops.begin())) << "the flop feed so far differs";
  }
  vorla::set_interrupt_poll_visits(saved);
}

ArrayPtr column(const std::vector<double>& v) { return make_double(v.size(), 1, v); }

ArrayPtr from_rows(const std::vector<std::vector<double>>& rows, std::size_t cols) {
  std::vector<double> values(rows.size() * cols);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < cols; ++c) values[c * rows.size() + r] = rows[r][c];
  return make_double(rows.size(), cols, values);
}

// Scattered points (for classification).
std::vector<std::vector<double>> scattered(int n, int m) {
  std::vector<std::vector<double>> rows;
  for (int p = 0; p < n; ++p) {
    std::vector<double> x;
    for (int i = 0; i < m; ++i) x.push_back(std::fmod(0.37 * p + 0.23 * i * i + 0.11 * p * i, 1.0));
    rows.push_back(x);
  }
  return rows;
}

// Two training sets on a grid of eighths, each row the coordinates and then the label. Both
// converge with one node left unused in the last presentation (so trimming drops it); the
// larger one also widens nodes and engages match tracking.
struct TrainingSet {
  int features;
  double vigilance;
  std::vector<std::vector<int>> rows;
};

const TrainingSet small_set = {1, 0.0, {{8, 1}, {6, 1}, {8, 1}, {8, 1}, {3, 1}, {4, 1}, {7, 1}, {0, 1}, {5, 2}}};
const TrainingSet medium_set = {
    3, 0.3, {{6, 5, 6, 2}, {3, 6, 2, 3}, {1, 4, 8, 2}, {0, 2, 1, 2}, {6, 7, 0, 2}, {4, 6, 0, 1}, {8, 2, 8, 2},
             {3, 4, 8, 2}, {0, 0, 0, 2}, {6, 4, 0, 1}, {3, 0, 1, 1}, {4, 4, 3, 3}, {1, 2, 6, 1}, {1, 1, 1, 1},
             {0, 5, 0, 2}, {8, 3, 8, 2}, {1, 0, 8, 1}, {8, 5, 8, 1}, {4, 1, 6, 2}, {7, 0, 8, 3}, {7, 0, 7, 3},
             {8, 5, 7, 2}, {0, 5, 1, 3}, {4, 8, 3, 3}, {1, 3, 5, 3}, {0, 3, 2, 2}, {3, 6, 8, 3}, {4, 6, 3, 1},
             {7, 0, 5, 2}, {5, 4, 1, 3}, {4, 7, 8, 2}, {3, 0, 4, 1}, {7, 5, 3, 3}, {8, 7, 5, 1}, {6, 3, 0, 2},
             {7, 6, 2, 3}}};

struct FitSetting {
  bool medium;
  double learning_rate;
  int trim_option;
  int ct_option;
  int oflag;
  double cap = 12;
};

std::string name_of(const FitSetting& s) {
  return std::string(s.medium ? "medium" : "small") + (s.learning_rate == 1.0 ? "_fast" : "_slow") + "_trim" +
         std::to_string(s.trim_option) + "_ct" + std::to_string(s.ct_option) + "_oflag" + std::to_string(s.oflag) +
         (s.cap == 1 ? "_cap1" : "");
}

Case fit_case(const FitSetting& s) {
  const TrainingSet& set = s.medium ? medium_set : small_set;
  const std::size_t n = set.rows.size(), m = static_cast<std::size_t>(set.features);
  std::vector<double> patterns(n * m), labels(n);
  for (std::size_t p = 0; p < n; ++p) {
    for (std::size_t i = 0; i < m; ++i) patterns[i * n + p] = set.rows[p][i] / 8.0;
    labels[p] = set.rows[p][m];
  }
  Case c;
  c.name = "fit " + name_of(s);
  c.entry = vorla::vorla_fit;
  c.nlhs = 3;
  c.out_of_memory = fit_oom;
  c.inputs.push_back(make_double(n, m, patterns));
  c.inputs.push_back(column(labels));
  for (double v : {static_cast<double>(m), set.vigilance, 0.001, s.learning_rate, s.cap,
                   static_cast<double>(s.trim_option), static_cast<double>(s.ct_option), static_cast<double>(s.oflag)})
    c.inputs.push_back(make_scalar(v));
  return c;
}

class FitSweep : public ::testing::TestWithParam<FitSetting> {};

void PrintTo(const FitSetting& s, std::ostream* os) { *os << name_of(s); }

TEST_P(FitSweep, EveryAllocationFailureEndsCleanly) { sweep(fit_case(GetParam())); }

TEST_P(FitSweep, EveryInterruptPollEndsTheCall) {
  sweep_interrupts(fit_case(GetParam()), vorla::interrupt_poll_visits());
  sweep_interrupts(fit_case(GetParam()), 1);
}

std::vector<FitSetting> fit_settings() {
  std::vector<FitSetting> all;
  for (bool medium : {false, true})
    for (double lr : {1.0, 0.5})
      for (int trim = 0; trim <= 1; ++trim)
        for (int ct = 0; ct <= 1; ++ct)
          for (int oflag = 0; oflag <= 4; ++oflag) all.push_back({medium, lr, trim, ct, oflag});
  // A run stopped by its cap, where trimming is ignored.
  all.push_back({true, 1.0, 1, 1, 4, 1});
  return all;
}

INSTANTIATE_TEST_SUITE_P(Training, FitSweep, ::testing::ValuesIn(fit_settings()),
                         [](const ::testing::TestParamInfo<FitSetting>& p) { return name_of(p.param); });

// The calls above are worth sweeping only if they reach the interesting paths.
TEST(FitSweepCalls, ReachMatchTrackingTrimmingAndBothEndings) {
  const CallResult medium = fit_case({true, 1.0, 1, 0, 4}).run();
  ASSERT_FALSE(medium.error);
  EXPECT_NE(medium.text.find("Engage MT"), std::string::npos);
  EXPECT_NE(medium.text.find("updated  node"), std::string::npos);
  EXPECT_NE(medium.text.find("FAM training converged"), std::string::npos);
  EXPECT_NE(medium.text.find("\n1 inactive node trimmed"), std::string::npos);
  const CallResult small = fit_case({false, 1.0, 1, 0, 1}).run();
  EXPECT_NE(small.text.find("\n1 inactive node trimmed"), std::string::npos);
  const CallResult slow = fit_case({true, 0.5, 1, 0, 1}).run();
  EXPECT_NE(slow.text.find("FAM training stopped"), std::string::npos);
  const CallResult capped = fit_case({true, 1.0, 1, 1, 1, 1}).run();
  EXPECT_NE(capped.text.find("Trimming option ignored"), std::string::npos);
}

// The model layer's training call on the medium set, from three given boxes that take part
// in the searches, with the progress lines and the history.
struct LearnSetting {
  int match_tracking;
  int trim_option;
  int oflag;
};

std::string name_of(const LearnSetting& s) {
  return std::string(s.match_tracking ? "tolerant" : "strict") + "_trim" + std::to_string(s.trim_option) + "_oflag" +
         std::to_string(s.oflag);
}

Case learn_case(const LearnSetting& s) {
  Case c = fit_case({true, 1.0, s.trim_option, 0, s.oflag});
  c.name = "learn " + name_of(s);
  c.entry = vorla::vorla_learn;
  c.nlhs = 4;
  c.out_of_memory = learn_oom;
  c.timed = true;
  c.inputs.push_back(make_scalar(s.match_tracking));
  c.inputs.push_back(make_scalar(1));
  c.inputs.push_back(from_rows({{0, 0, 0, 0.5, 0.5, 0.5}, {0.5, 0.5, 0.5, 1, 1, 1}, {0.25, 0.25, 0.25, 0.75, 0.75, 0.75}}, 6));
  c.inputs.push_back(column({1, 2, 3}));
  return c;
}

class LearnSweep : public ::testing::TestWithParam<LearnSetting> {};

void PrintTo(const LearnSetting& s, std::ostream* os) { *os << name_of(s); }

TEST_P(LearnSweep, EveryAllocationFailureEndsCleanly) { sweep(learn_case(GetParam())); }

TEST_P(LearnSweep, EveryInterruptPollEndsTheCall) {
  sweep_interrupts(learn_case(GetParam()), vorla::interrupt_poll_visits());
  sweep_interrupts(learn_case(GetParam()), 1);
}

std::vector<LearnSetting> learn_settings() {
  std::vector<LearnSetting> all;
  for (int rule = 0; rule <= 1; ++rule)
    for (int trim = 0; trim <= 1; ++trim)
      for (int oflag : {0, 4}) all.push_back({rule, trim, oflag});
  return all;
}

INSTANTIATE_TEST_SUITE_P(ModelTraining, LearnSweep, ::testing::ValuesIn(learn_settings()),
                         [](const ::testing::TestParamInfo<LearnSetting>& p) { return name_of(p.param); });

TEST(LearnSweepCalls, ReachTolerantMatchTrackingAndTheGivenNodes) {
  const CallResult r = learn_case({1, 1, 4}).run();
  ASSERT_FALSE(r.error) << *r.error;
  EXPECT_NE(r.text.find("Engage MT-"), std::string::npos);
  EXPECT_NE(r.text.find("FAM training converged"), std::string::npos);
  EXPECT_NE(r.text.find("vorla_learn: presentation 2:"), std::string::npos);
  EXPECT_NE(r.text.find("updated  node #2 "), std::string::npos) << "a given box learns";
}

// The same training as a batch of three networks (the given order, reversed, the first half
// twice), each starting from its own given boxes, on one thread and on two.
struct BatchSetting {
  LearnSetting learn;
  int threads;
};

std::string name_of(const BatchSetting& s) { return name_of(s.learn) + "_threads" + std::to_string(s.threads); }

Case batch_case(const BatchSetting& s) {
  Case c = learn_case(s.learn);
  c.name = "batch " + name_of(s);
  c.starts_threads = s.threads > 1;
  const std::size_t n = medium_set.rows.size();
  std::vector<double> given(n), reversed(n), halves;
  for (std::size_t p = 0; p < n; ++p) given[p] = static_cast<double>(p + 1);
  reversed.assign(given.rbegin(), given.rend());
  halves.assign(given.begin(), given.begin() + static_cast<std::ptrdiff_t>(n / 2));
  halves.insert(halves.end(), halves.begin(), halves.end());
  std::vector<ArrayPtr> orders, boxes, labels;
  for (const auto* order : {&given, &reversed, &halves}) orders.push_back(column(*order));
  boxes.push_back(from_rows({{0, 0, 0, 0.5, 0.5, 0.5}}, 6));
  labels.push_back(column({2}));
  boxes.push_back(make_double(0, 0));
  labels.push_back(make_double(0, 0));
  // The third network's given nodes are left unset: none.
  c.inputs[12] = standin::make_cell(1, 3, std::move(boxes));
  c.inputs[13] = standin::make_cell(1, 3, std::move(labels));
  c.inputs[3] = make_double(1, 3, {0.3, 0.5, 0.0});
  c.inputs.push_back(standin::make_cell(1, 3, std::move(orders)));
  c.inputs.push_back(make_scalar(s.threads));
  return c;
}

class BatchSweep : public ::testing::TestWithParam<BatchSetting> {};

void PrintTo(const BatchSetting& s, std::ostream* os) { *os << name_of(s); }

TEST_P(BatchSweep, EveryAllocationFailureEndsCleanly) { sweep(batch_case(GetParam())); }

std::vector<BatchSetting> batch_settings(std::vector<int> threads) {
  std::vector<BatchSetting> all;
  for (int t : threads)
    for (const LearnSetting& s : {LearnSetting{0, 1, 0}, LearnSetting{1, 0, 4}}) all.push_back({s, t});
  return all;
}

std::string batch_name(const ::testing::TestParamInfo<BatchSetting>& p) { return name_of(p.param); }

INSTANTIATE_TEST_SUITE_P(BatchTraining, BatchSweep, ::testing::ValuesIn(batch_settings({1, 2})), batch_name);

// On one thread the polls are the serial run's; on more the calling thread polls on its own
// clock, which BatchInterrupt covers.
class BatchPollSweep : public ::testing::TestWithParam<BatchSetting> {};

TEST_P(BatchPollSweep, EveryInterruptPollEndsTheCall) {
  sweep_interrupts(batch_case(GetParam()), vorla::interrupt_poll_visits());
  sweep_interrupts(batch_case(GetParam()), 1);
}

INSTANTIATE_TEST_SUITE_P(BatchTraining, BatchPollSweep, ::testing::ValuesIn(batch_settings({1})), batch_name);

// Networks on workers that would never end (the same point with two labels under the strict
// rule, with no cap to speak of): Ctrl-C at a poll of the calling thread stops them all, soon.
TEST(BatchInterrupt, WorkersStopAtTheCallersPoll) {
  Case c;
  c.name = "batch never ending";
  c.entry = vorla::vorla_learn;
  c.nlhs = 3;
  c.out_of_memory = learn_oom;
  c.inputs.push_back(column({0.5, 0.5}));
  c.inputs.push_back(column({1, 2}));
  for (double v : {1.0, 0.0, 0.001, 1.0, 1e9, 0.0, 0.0, 0.0, 0.0, 0.0}) c.inputs.push_back(make_scalar(v));
  c.inputs.push_back(make_double(0, 0));
  c.inputs.push_back(make_double(0, 0));
  std::vector<ArrayPtr> orders;
  for (int k = 0; k < 4; ++k) orders.push_back(column({1, 2}));
  c.inputs.push_back(standin::make_cell(4, 1, std::move(orders)));
  c.inputs.push_back(make_scalar(2));
  for (long at : {1, 3, 20}) {
    const auto started = std::chrono::steady_clock::now();
    const CallResult r = c.run(0, at);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(r.interrupted) << at;
    EXPECT_EQ(r.polls, at);
    EXPECT_TRUE(r.faults.empty()) << r.faults.front();
    EXPECT_EQ(r.free_store_live, 0);
    for (const ArrayPtr& out : r.outputs) EXPECT_EQ(out, nullptr);
    // The calling thread polls every few milliseconds; the workers stop within a pattern.
    EXPECT_LT(seconds, 1.0 + 0.05 * static_cast<double>(at)) << at;
  }
}

struct EvalSetting {
  int templates;
  int patterns;
  int ct_option;
  int oflag;
};

std::string name_of(const EvalSetting& s) {
  return "K" + std::to_string(s.templates) + "_N" + std::to_string(s.patterns) + "_ct" +
         std::to_string(s.ct_option) + "_oflag" + std::to_string(s.oflag);
}

// The setting's boxes (of 3 features) and labels.
void network_of(const EvalSetting& s, std::vector<std::vector<double>>& boxes, std::vector<double>& labels) {
  const int m = 3;
  for (int r = 0; r < s.templates; ++r) {
    std::vector<double> row(2 * m);
    for (int i = 0; i < m; ++i) {
      row[i] = std::fmod(0.29 * r + 0.17 * i, 0.8);
      row[m + i] = row[i] + 0.05 * (1 + (r + i) % 4);
    }
    boxes.push_back(row);
    labels.push_back(1 + r % 3);
  }
}

Case eval_case(const EvalSetting& s) {
  const int m = 3;
  std::vector<std::vector<double>> boxes;
  std::vector<double> labels;
  network_of(s, boxes, labels);
  Case c;
  c.name = "eval " + name_of(s);
  c.entry = vorla::vorla_eval;
  c.nlhs = 1;
  c.out_of_memory = eval_oom;
  c.inputs.push_back(from_rows(boxes, 2 * m));
  c.inputs.push_back(column(labels));
  for (double v : {static_cast<double>(m), 0.75, 0.01, static_cast<double>(s.ct_option)})
    c.inputs.push_back(make_scalar(v));
  c.inputs.push_back(from_rows(scattered(s.patterns, m), m));
  c.inputs.push_back(make_scalar(-1));
  c.inputs.push_back(make_scalar(s.oflag));
  return c;
}

class EvalSweep : public ::testing::TestWithParam<EvalSetting> {};

void PrintTo(const EvalSetting& s, std::ostream* os) { *os << name_of(s); }

TEST_P(EvalSweep, EveryAllocationFailureEndsCleanly) { sweep(eval_case(GetParam())); }

TEST_P(EvalSweep, EveryInterruptPollEndsTheCall) {
  sweep_interrupts(eval_case(GetParam()), vorla::interrupt_poll_visits());
  sweep_interrupts(eval_case(GetParam()), 1);
}

std::vector<EvalSetting> eval_settings() {
  std::vector<EvalSetting> all;
  for (int medium = 0; medium <= 1; ++medium)
    for (int ct = 0; ct <= 1; ++ct)
      for (int oflag = 0; oflag <= 3; ++oflag) all.push_back({medium ? 40 : 2, medium ? 30 : 3, ct, oflag});
  return all;
}

INSTANTIATE_TEST_SUITE_P(Classification, EvalSweep, ::testing::ValuesIn(eval_settings()),
                         [](const ::testing::TestParamInfo<EvalSetting>& p) { return name_of(p.param); });

TEST(EvalSweepCalls, ClassifyAndRefuseSomePatterns) {
  const CallResult r = eval_case({40, 30, 1, 2}).run();
  ASSERT_FALSE(r.error);
  EXPECT_NE(r.text.find("classified as"), std::string::npos);
  EXPECT_NE(r.text.find("could not be classified"), std::string::npos);
}

// Scores and classes of the same boxes, one node bank per class; with threads > 1 asked for
// (the 9th input) and taken, however small the call.
// class_count 0 asks for the classes alone.
Case score_case(const EvalSetting& s, int threads = 0, int class_count = 3) {
  Case c = eval_case(s);
  c.name = "score " + name_of(s) + (class_count == 0 ? " classes alone" : "");
  c.entry = vorla::vorla_score;
  c.nlhs = 2;
  c.out_of_memory = score_oom;
  c.inputs.resize(7);
  c.inputs.push_back(make_scalar(class_count));
  if (threads > 0) {
    c.name += " threads " + std::to_string(threads);
    c.inputs.push_back(make_scalar(threads));
    c.starts_threads = threads > 1;
  }
  return c;
}

// A batch of two networks, the setting's and one of its first nodes, each with patterns of
// its own or both with the one matrix.
Case score_batch_case(const EvalSetting& s, int threads, bool one_patterns) {
  Case c = score_case(s, threads);
  c.name = "score batch " + name_of(s) + (one_patterns ? " one Patterns" : "") +
           (threads > 0 ? " threads " + std::to_string(threads) : "");
  std::vector<std::vector<double>> boxes;
  std::vector<double> labels;
  network_of(s, boxes, labels);
  const std::size_t half = boxes.size() / 2 + 1;
  std::vector<ArrayPtr> templates, node_labels, patterns;
  templates.push_back(std::move(c.inputs[0]));
  templates.push_back(from_rows({boxes.begin(), boxes.begin() + half}, 6));
  node_labels.push_back(std::move(c.inputs[1]));
  node_labels.push_back(column({labels.begin(), labels.begin() + half}));
  c.inputs[0] = standin::make_cell(1, 2, std::move(templates));
  c.inputs[1] = standin::make_cell(1, 2, std::move(node_labels));
  if (!one_patterns) {
    patterns.push_back(std::move(c.inputs[6]));
    patterns.push_back(from_rows(scattered(s.patterns / 2 + 1, 3), 3));
    c.inputs[6] = standin::make_cell(1, 2, std::move(patterns));
  }
  return c;
}

struct ThreadFloorScope {
  explicit ThreadFloorScope(std::int64_t visits) : saved(vorla::thread_work_floor()) {
    vorla::set_thread_work_floor(visits);
  }
  ~ThreadFloorScope() { vorla::set_thread_work_floor(saved); }
  std::int64_t saved;
};

class ScoreSweep : public ::testing::TestWithParam<EvalSetting> {};

TEST_P(ScoreSweep, EveryAllocationFailureEndsCleanly) {
  sweep(score_case(GetParam()));
  const ThreadFloorScope floor(1);
  sweep(score_case(GetParam(), 1));
  sweep(score_case(GetParam(), 3));
  sweep(score_case(GetParam(), 3, 0));
  sweep(score_batch_case(GetParam(), 0, false));
  sweep(score_batch_case(GetParam(), 2, true));
}

TEST_P(ScoreSweep, EveryInterruptPollEndsTheCall) {
  sweep_interrupts(score_case(GetParam()), vorla::interrupt_poll_visits());
  sweep_interrupts(score_case(GetParam()), 1);
  sweep_interrupts(score_case(GetParam(), 0, 0), 1);
  sweep_interrupts(score_batch_case(GetParam(), 0, false), 1);
}

std::vector<EvalSetting> score_settings() {
  std::vector<EvalSetting> all;
  for (int medium = 0; medium <= 1; ++medium)
    for (int ct = 0; ct <= 1; ++ct) all.push_back({medium ? 40 : 2, medium ? 30 : 3, ct, 0});
  return all;
}

INSTANTIATE_TEST_SUITE_P(Scores, ScoreSweep, ::testing::ValuesIn(score_settings()),
                         [](const ::testing::TestParamInfo<EvalSetting>& p) { return name_of(p.param); });

// Ctrl-C during a call whose patterns two threads share: only the calling thread polls the
// host, every few milliseconds while it waits; the workers stop at their next poll of the
// team. Each of the first polls saying yes must end the call as an interrupt, with no output,
// no free-store block left and no poll after it. The call is long enough (hundreds of
// milliseconds on one core) for the workers to be searching when the polls come.
TEST(ScoreThreadsInterrupt, EachOfTheCallersPollsStopsTheWorkers) {
  const int m = 4, templates = 3000, patterns = 60000;
  std::vector<std::vector<double>> boxes;
  std::vector<double> labels;
  for (int r = 0; r < templates; ++r) {
    std::vector<double> row(2 * m);
    for (int i = 0; i < m; ++i) {
      row[i] = std::fmod(0.29 * r + 0.17 * i + 0.0013 * r * i, 0.9);
      row[m + i] = row[i] + 0.01 * (1 + (r + i) % 5);
    }
    boxes.push_back(row);
    labels.push_back(1 + r % 4);
  }
  Case c;
  c.name = "score, 2 threads";
  c.entry = vorla::vorla_score;
  c.nlhs = 2;
  c.out_of_memory = score_oom;
  c.inputs.push_back(from_rows(boxes, 2 * m));
  c.inputs.push_back(column(labels));
  for (double v : {static_cast<double>(m), 0.0, 0.001, 0.0}) c.inputs.push_back(make_scalar(v));
  c.inputs.push_back(from_rows(scattered(patterns, m), m));
  c.inputs.push_back(make_scalar(4));
  c.inputs.push_back(make_scalar(2));
  const CallResult baseline = c.run();
  ASSERT_FALSE(baseline.error) << *baseline.error;
  ASSERT_GE(baseline.polls, 1) << "the call ended before the caller's first poll";
  for (long k = 1; k <= 3; ++k) {
    const CallResult r = c.run(0, k);
    SCOPED_TRACE("Ctrl-C at poll " + std::to_string(k));
    EXPECT_TRUE(r.faults.empty()) << r.faults.front();
    EXPECT_EQ(r.free_store_live, 0) << "free-store blocks leaked";
    EXPECT_FALSE(r.error);
    if (!r.interrupted) {
      // The call ended before its k-th poll.
      EXPECT_LT(r.polls, k);
      EXPECT_EQ(outputs_of(r, c), outputs_of(baseline, c));
      continue;
    }
    EXPECT_EQ(r.polls, k) << "the call polled on after the interrupt";
    EXPECT_EQ(r.interrupt_message, "VORLA_SCORE: Interrupted by the user.");
    for (const ArrayPtr& out : r.outputs) EXPECT_EQ(out, nullptr);
  }
  EXPECT_TRUE(c.run(0, 1).interrupted);
}

// Calls with nothing to train on or classify against still allocate: zero-length blocks are
// asked for as one element, and every one of those requests may fail too.
TEST(EmptyCallSweep, NoPatternsAndNoTemplates) {
  Case fit;
  fit.name = "fit with no patterns";
  fit.entry = vorla::vorla_fit;
  fit.nlhs = 3;
  fit.out_of_memory = fit_oom;
  fit.inputs.push_back(make_double(0, 2));
  fit.inputs.push_back(make_double(0, 1));
  for (double v : {2.0, 0.5, 0.001, 1.0, 5.0, 1.0, 0.0, 1.0}) fit.inputs.push_back(make_scalar(v));

  Case eval;
  eval.name = "eval with no templates";
  eval.entry = vorla::vorla_eval;
  eval.nlhs = 1;
  eval.out_of_memory = eval_oom;
  eval.inputs.push_back(make_double(0, 4));
  eval.inputs.push_back(make_double(0, 1));
  for (double v : {2.0, 0.5, 0.001, 1.0}) eval.inputs.push_back(make_scalar(v));
  eval.inputs.push_back(make_double(5, 2, std::vector<double>(10, 0.5)));
  eval.inputs.push_back(make_scalar(7));
  eval.inputs.push_back(make_scalar(1));

  for (const Case* c : {&fit, &eval}) {
    const CallResult baseline = c->run();
    ASSERT_FALSE(baseline.error) << c->name << ": " << *baseline.error;
    ASSERT_GT(baseline.allocations, 0);
    for (long k = 1; k <= baseline.allocations; ++k)
      expect_sound(c->run(k), baseline, *c, "host allocation " + std::to_string(k) + " fails");
  }
}

}  // namespace

namespace {

// A search that prints a line per node polls every 1024 nodes (before the 1024th line): an
// interrupt then stops it within the search. 1030 points 1/1030 apart, each far from the others at vigilance 0.9999.
TEST(InterruptInTracedSearch, TrainingStopsAfterTheThousandTwentyFourthLine) {
  const int n = 1030;
  std::vector<double> points(n), labels(n, 1);
  for (int p = 0; p < n; ++p) points[p] = static_cast<double>(p) / n;
  Case c;
  c.name = "fit traced";
  c.entry = vorla::vorla_fit;
  c.nlhs = 3;
  c.out_of_memory = fit_oom;
  c.inputs.push_back(column(points));
  c.inputs.push_back(column(labels));
  for (double v : {1.0, 0.9999, 0.001, 1.0, 5.0, 0.0, 0.0, 4.0}) c.inputs.push_back(make_scalar(v));
  // Polls 1 to 1025 come before patterns 1 to 1025; pattern 1025 meets 1024 nodes, and the
  // poll before the line of node 1024 is the 1026th.
  const CallResult r = c.run(0, 1026);
  EXPECT_TRUE(r.interrupted);
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.free_store_live, 0);
  const std::string tail = r.text.substr(r.text.rfind("   Pattern #"));
  EXPECT_EQ(tail.substr(0, tail.find('\n')), "   Pattern #1025 is being presented (label 1)");
  EXPECT_NE(tail.find("      Node #1023 fails VT"), std::string::npos);
  EXPECT_EQ(tail.find("      Node #1024 fails VT"), std::string::npos);
}

TEST(InterruptInTracedSearch, ClassificationStopsAfterTheThousandTwentyFourthLine) {
  const int k = 1030;
  std::vector<std::vector<double>> boxes;
  for (int r = 0; r < k; ++r) boxes.push_back({0.5, 0.5});
  Case c;
  c.name = "eval traced";
  c.entry = vorla::vorla_eval;
  c.nlhs = 1;
  c.out_of_memory = eval_oom;
  c.inputs.push_back(from_rows(boxes, 2));
  c.inputs.push_back(column(std::vector<double>(k, 1)));
  for (double v : {1.0, 0.5, 0.01, 0.0}) c.inputs.push_back(make_scalar(v));
  c.inputs.push_back(column({0.5}));
  c.inputs.push_back(make_scalar(0));
  c.inputs.push_back(make_scalar(3));
  // Poll 1 precedes the group, poll 2 the line of node 1024.
  const CallResult r = c.run(0, 2);
  EXPECT_TRUE(r.interrupted);
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.free_store_live, 0);
  EXPECT_NE(r.text.find("      Node #1023 is candidate"), std::string::npos);
  EXPECT_EQ(r.text.find("      Node #1024 is candidate"), std::string::npos);
}

}  // namespace
