// vorla_learn's batch (Orders and threads): every network gives what a call of its own on its
// rows, in its order, gives, and the batch prints and counts what those calls would, in
// network order, whatever the number of threads.
#include "bank.h"
#include "test_support.h"
#include "threads.h"

#include <cmath>
#include <numeric>
#include <regex>

using standin::make_cell;
using standin::make_double;
using standin::make_scalar;
using standin::values_of;
using test::Inputs;
using test::LearnCall;

namespace {

using Rows = std::vector<std::vector<double>>;

// A rows x cols cell whose first elements are the given arrays.
template <class... Arrays>
standin::ArrayPtr cell(mwSize rows, mwSize cols, Arrays... arrays) {
  std::vector<standin::ArrayPtr> elements;
  (elements.push_back(std::move(arrays)), ...);
  return make_cell(rows, cols, std::move(elements));
}

// A batch: the shared patterns and settings of base, and per network its order (row numbers
// from 1), its vigilance (none given: base's, as a scalar) and, with given_per_network, the
// nodes it starts from (else base's, which every network starts from).
struct Batch {
  LearnCall base;
  std::vector<std::vector<double>> orders;
  std::vector<double> vigilances;
  bool given_per_network = false;
  std::vector<Rows> templates0;
  std::vector<std::vector<double>> labels0;
  double threads = 1;
  // Orders as int32 arrays (read where they lie) instead of doubles.
  bool int32_orders = false;

  Inputs inputs() const {
    Inputs in = base.inputs();
    if (!vigilances.empty()) in[3] = make_double(1, vigilances.size(), vigilances);
    if (given_per_network) {
      std::vector<standin::ArrayPtr> boxes, labels;
      for (std::size_t k = 0; k < orders.size(); ++k) {
        boxes.push_back(templates0[k].empty() ? make_double(0, 0) : standin::make_matrix(templates0[k]));
        labels.push_back(labels0[k].empty() ? make_double(0, 0) : test::column(labels0[k]));
      }
      in[12] = make_cell(1, orders.size(), std::move(boxes));
      in[13] = make_cell(1, orders.size(), std::move(labels));
    }
    std::vector<standin::ArrayPtr> order_arrays;
    for (const auto& order : orders)
      order_arrays.push_back(int32_orders ? standin::make_array(mxINT32_CLASS, {order.size(), 1}, order)
                                          : make_double(order.size(), 1, order));
    in.add(make_cell(1, orders.size(), std::move(order_arrays))).add(make_scalar(threads));
    return in;
  }
  standin::CallResult run(standin::CallOptions options = {}, int nlhs = 4) const {
    Inputs in = inputs();
    return standin::call(vorla::vorla_learn, nlhs, in.pointers(), options);
  }
  // Network k as a call of its own.
  LearnCall single(std::size_t k) const {
    LearnCall c = base;
    c.fit.features_when_empty = base.fit.patterns.at(0).size();
    c.fit.patterns.clear();
    c.fit.labels.clear();
    for (double row : orders[k]) {
      c.fit.patterns.push_back(base.fit.patterns.at(static_cast<std::size_t>(row) - 1));
      c.fit.labels.push_back(base.fit.labels.at(static_cast<std::size_t>(row) - 1));
    }
    if (!vigilances.empty()) c.fit.vigilance = vigilances[k];
    if (given_per_network) {
      c.templates0 = templates0[k];
      c.labels0 = labels0[k];
    }
    return c;
  }
};

// Seconds masked: the summary's and the progress lines'.
std::string untimed(const std::string& text) {
  const std::string t =
      std::regex_replace(text, std::regex(" comparisons in [0-9]+ seconds"), " comparisons in N seconds");
  return std::regex_replace(t, std::regex(", [0-9]+\\.[0-9]{2} s"), ", T s");
}

// The first three columns of a P x 4 history.
std::vector<double> counts_of(const mxArray* history) {
  std::vector<double> v = values_of(history);
  v.resize(v.size() / 4 * 3);
  return v;
}

std::int64_t sum(const std::vector<int>& v) { return std::accumulate(v.begin(), v.end(), std::int64_t{0}); }

// Compares the batch call with each network's own call: outputs, text, counts.
void expect_as_single_calls(const Batch& b, const standin::CallOptions& options = {}) {
  const standin::CallResult r = b.run(options);
  test::expect_sound(r);
  if (r.error) return;
  const std::size_t V = b.orders.size();
  ASSERT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{1, V}));
  ASSERT_EQ(standin::dims_of(r.output(2)), (std::vector<mwSize>{1, V}));
  std::string text;
  std::vector<int> feed;
  for (std::size_t k = 0; k < V; ++k) {
    SCOPED_TRACE("network " + std::to_string(k + 1));
    const standin::CallResult alone = b.single(k).run(options);
    test::expect_sound(alone);
    for (int out = 0; out < 2; ++out) {
      const mxArray* got = standin::cell_of(r.output(out), k);
      ASSERT_NE(got, nullptr);
      EXPECT_EQ(standin::dims_of(got), standin::dims_of(alone.output(out)));
      EXPECT_EQ(values_of(got), values_of(alone.output(out)));
    }
    EXPECT_EQ(values_of(r.output(2))[k], values_of(alone.output(2))[0]);
    EXPECT_EQ(counts_of(standin::cell_of(r.output(3), k)), counts_of(alone.output(3)));
    text += alone.text;
    if (vorla::threads::choose(static_cast<std::int64_t>(b.threads), static_cast<std::int64_t>(V), 1) == 1) {
      feed.insert(feed.end(), alone.flops.begin(), alone.flops.end());
    } else if (options.flop_counter && sum(alone.flops) > 0) {
      feed.push_back(static_cast<int>(sum(alone.flops)));  // one feed per network that counted
    }
  }
  EXPECT_EQ(untimed(r.text), untimed(text));
  EXPECT_EQ(r.flops, feed);
}

// A deterministic generator of test problems.
struct Draw {
  std::uint32_t state;
  double next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 16777216.0;
  }
  int below(int n) { return static_cast<int>(next() * n); }
};

// Problem p: patterns on a grid of quarters (ties are common), and five networks: the given
// order, reversed, a shuffle, a sample with repeats, and none.
Batch problem(int p) {
  Draw d{static_cast<std::uint32_t>(7 + 31 * p)};
  Batch b;
  const int n = 3 + p % 17, m = 1 + p % 3;
  auto& fit = b.base.fit;
  fit.patterns.assign(n, std::vector<double>(m));
  fit.labels.assign(n, 0);
  for (int r = 0; r < n; ++r) {
    for (double& v : fit.patterns[r]) v = std::floor(d.next() * 5) / 4;
    // A missing feature now and then, which vorla_learn takes.
    if (p % 5 == 4 && d.below(6) == 0) fit.patterns[r][d.below(m)] = NAN;
    fit.labels[r] = 1 + d.below(3);
  }
  fit.D = m;
  fit.vigilance = d.next() * 0.6;
  fit.learning_rate = p % 4 == 3 ? 0.5 : 1;
  fit.max_list_presentations = p % 4 == 3 ? 4 : 50;
  fit.trim_option = p % 2;
  fit.ct_option = (p / 2) % 2;
  fit.oflag = p % 5;
  b.base.match_tracking = (p / 3) % 2;
  b.base.display = (p / 4) % 2;
  std::vector<double> given(n), reversed(n), shuffled(n), sample(n / 2 + 1);
  std::iota(given.begin(), given.end(), 1.0);
  std::copy(given.rbegin(), given.rend(), reversed.begin());
  shuffled = given;
  for (int k = n - 1; k > 0; --k) std::swap(shuffled[k], shuffled[d.below(k + 1)]);
  for (double& row : sample) row = 1 + d.below(n);
  b.orders = {given, reversed, shuffled, sample, {}};
  b.int32_orders = p % 2 == 1;
  if (p % 3 == 1)
    for (std::size_t k = 0; k < b.orders.size(); ++k) b.vigilances.push_back(d.next() * 0.8);
  const auto box = [&] {
    std::vector<double> row(2 * m);
    for (int i = 0; i < m; ++i) {
      row[i] = std::floor(d.next() * 3) / 4;
      row[m + i] = row[i] + std::floor(d.next() * 2) / 4;
    }
    return row;
  };
  if (p % 6 == 2) {
    b.base.templates0 = {box(), box()};
    b.base.labels0 = {1, 2};
  }
  if (p % 6 == 5) {
    b.given_per_network = true;
    for (std::size_t k = 0; k < b.orders.size(); ++k) {
      b.templates0.emplace_back();
      b.labels0.emplace_back();
      for (std::size_t j = 0; j < k % 3; ++j) {
        b.templates0.back().push_back(box());
        b.labels0.back().push_back(1 + d.below(3));
      }
    }
  }
  return b;
}

void expect_problems(const std::vector<int>& problems, const std::vector<double>& thread_counts) {
  for (int p : problems)
    for (double threads : thread_counts)
      for (bool counter : {true, false}) {
        SCOPED_TRACE("problem " + std::to_string(p) + ", threads " + std::to_string(threads) +
                     (counter ? "" : ", no counter"));
        Batch b = problem(p);
        b.threads = threads;
        standin::CallOptions options;
        options.flop_counter = counter;
        expect_as_single_calls(b, options);
      }
}

TEST(LearnBatch, EachNetworkIsItsOwnCallOnAnyTeam) {
  std::vector<int> all(36);
  std::iota(all.begin(), all.end(), 0);
  expect_problems(all, {1, 2, 0, 7});
}

// A few problems on two threads, small enough for the ThreadSanitizer run (*Thread*): traces,
// progress lines, given nodes of each network, a vigilance each, missing features.
TEST(LearnBatch, ThreadsShareOnlyWhatTheyRead) { expect_problems({3, 4, 10, 11, 23, 29}, {2}); }

TEST(LearnBatch, NodesOfEveryPathAndTheBoundsOnTheChoiceValue) {
  // Enough nodes for the search index and the bounds, on every path, and a long trace.
  Batch b;
  Draw d{5};
  auto& fit = b.base.fit;
  fit.patterns.clear();
  fit.labels.clear();
  for (int r = 0; r < 1500; ++r) {
    fit.patterns.push_back({d.next(), d.next(), d.next()});
    fit.labels.push_back(1 + d.below(4));
  }
  fit.D = 3;
  fit.vigilance = 0.93;
  fit.max_list_presentations = 3;
  std::vector<double> rows(1500);
  std::iota(rows.begin(), rows.end(), 1.0);
  b.orders = {rows, std::vector<double>(rows.rbegin(), rows.rend()),
              std::vector<double>(rows.begin(), rows.begin() + 700)};
  b.threads = 3;
  for (vorla::IndexUse use : {vorla::IndexUse::always, vorla::IndexUse::never}) {
    vorla::set_index_use(use);
    standin::CallOptions quiet;
    quiet.flop_counter = false;
    expect_as_single_calls(b, quiet);
    vorla::set_index_use(vorla::IndexUse::automatic);
  }
  b.base.match_tracking = 1;
  fit.oflag = 4;
  b.orders.resize(2);
  b.orders[0].resize(300);
  b.orders[1].resize(200);
  expect_as_single_calls(b);
}

TEST(LearnBatch, OutputsTakeTheShapeOfOrdersAndNoNetworksGiveEmptyCells) {
  Batch b;
  b.orders = {{1, 2}, {2}, {}, {1}, {2, 1}, {1, 1}};
  for (double threads : {1.0, 3.0}) {
    b.threads = threads;
    Inputs in = b.inputs();
    std::vector<standin::ArrayPtr> elements;
    for (const auto& order : b.orders) elements.push_back(make_double(1, order.size(), order));
    in[14] = make_cell(2, 3, std::move(elements));
    const auto r = standin::call(vorla::vorla_learn, 3, in.pointers());
    test::expect_sound(r);
    EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{2, 3}));
    EXPECT_EQ(standin::dims_of(r.output(1)), (std::vector<mwSize>{2, 3}));
    EXPECT_EQ(values_of(r.output(2)), (std::vector<double>{1, 1, 0, 1, 1, 1}));
    EXPECT_EQ(values_of(standin::cell_of(r.output(1), 2)), std::vector<double>{});
    EXPECT_EQ(values_of(standin::cell_of(r.output(1), 4)), (std::vector<double>{2, 1}));  // rows 2, 1
    in[14] = make_cell(0, 1);
    const auto none = standin::call(vorla::vorla_learn, 4, in.pointers());
    test::expect_sound(none);
    for (int out = 0; out < 4; ++out) EXPECT_EQ(standin::dims_of(none.output(out)), (std::vector<mwSize>{0, 1}));
  }
  // An element never set is an empty order; unset given nodes are none.
  Inputs in = b.inputs();
  in[14] = make_cell(1, 2, {});
  in[12] = make_cell(1, 2, {});
  in[13] = make_cell(1, 2, {});
  const auto unset = standin::call(vorla::vorla_learn, 3, in.pointers());
  test::expect_sound(unset);
  EXPECT_EQ(values_of(unset.output(2)), (std::vector<double>{0, 0}));
}

struct Fault {
  const char* what;
  std::function<void(Inputs&)> change;
  const char* message;
};

const Fault faults[] = {
    {"15 inputs", [](Inputs& in) { in.arrays.pop_back(); }, "VORLA_LEARN: 10, 14 or 16 input arguments required."},
    {"Orders not a cell", [](Inputs& in) { in[14] = make_double(1, 2, {1, 2}); },
     "VORLA_LEARN: 15th input argument (Orders) must be a two-dimensional cell array with one vector of row numbers "
     "per network."},
    {"Orders 3-D", [](Inputs& in) { in[14] = standin::make_array(mxCELL_CLASS, {1, 1, 2}); },
     "VORLA_LEARN: 15th input argument (Orders) must be a two-dimensional cell array with one vector of row numbers "
     "per network."},
    {"row 0", [](Inputs& in) { in[14] = cell(1, 2, make_scalar(1), make_double(1, 2, {2, 0})); },
     "VORLA_LEARN: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 2 "
     "(Orders{2} does not)."},
    {"int32 row 0", [](Inputs& in) { in[14] = cell(1, 1, standin::make_array(mxINT32_CLASS, {1, 2}, {2, 0})); },
     "VORLA_LEARN: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 2 "
     "(Orders{1} does not)."},
    {"int32 row beyond N", [](Inputs& in) { in[14] = cell(1, 1, standin::make_array(mxINT32_CLASS, {2, 1}, {1, 3})); },
     "VORLA_LEARN: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 2 "
     "(Orders{1} does not)."},
    {"row beyond N", [](Inputs& in) { in[14] = cell(1, 1, make_scalar(3)); },
     "VORLA_LEARN: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 2 "
     "(Orders{1} does not)."},
    {"row a fraction", [](Inputs& in) { in[14] = cell(1, 1, make_scalar(1.5)); },
     "VORLA_LEARN: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 2 "
     "(Orders{1} does not)."},
    {"order a matrix", [](Inputs& in) { in[14] = cell(1, 1, make_double(2, 2, {1, 1, 2, 2})); },
     "VORLA_LEARN: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 2 "
     "(Orders{1} does not)."},
    {"order of text", [](Inputs& in) { in[14] = cell(1, 1, standin::make_char("a")); },
     "VORLA_LEARN: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 2 "
     "(Orders{1} does not)."},
    {"threads negative", [](Inputs& in) { in[15] = make_scalar(-1); },
     "VORLA_LEARN: 16th input argument (threads) must be a whole number from 0 to 1024 (0: every usable core)."},
    {"threads fraction", [](Inputs& in) { in[15] = make_scalar(1.5); },
     "VORLA_LEARN: 16th input argument (threads) must be a whole number from 0 to 1024 (0: every usable core)."},
    {"threads NaN", [](Inputs& in) { in[15] = make_scalar(NAN); },
     "VORLA_LEARN: 16th input argument (threads) must be a whole number from 0 to 1024 (0: every usable core)."},
    {"threads empty", [](Inputs& in) { in[15] = make_double(0, 1); },
     "VORLA_LEARN: 16th input argument (threads) must be a scalar."},
    {"vigilances too few", [](Inputs& in) { in[3] = make_double(1, 2, {0.5, 0.6}); },
     "VORLA_LEARN: 4th input argument (vigilance) must be a scalar or hold one value per network (3); it holds 2."},
    {"a vigilance above 1", [](Inputs& in) { in[3] = make_double(3, 1, {0.5, 1.5, 0.2}); },
     "VORLA_LEARN: 4th input argument (vigilance) must be in [0.0, 1.0]."},
    {"vigilance matrix", [](Inputs& in) { in[3] = make_double(2, 2, {0.5, 0.5, 0.2, 0.1}); },
     "VORLA_LEARN: 4th input argument (vigilance) must be a scalar."},
    {"Templates0 cells too few", [](Inputs& in) { in[12] = make_cell(1, 2); in[13] = make_cell(1, 2); },
     "VORLA_LEARN: 13th input argument (Templates0) must be a cell with one entry per network (3), or a matrix."},
    {"NLabels0 not a cell", [](Inputs& in) { in[12] = make_cell(1, 3); },
     "VORLA_LEARN: 14th input argument (NLabels0) must be a cell with one entry per network (3), as Templates0."},
    {"Templates0{2} columns",
     [](Inputs& in) {
       in[12] = cell(3, 1, make_double(0, 0), make_double(1, 3, {0, 1, 1}));
       in[13] = make_cell(1, 3);
     },
     "VORLA_LEARN: 13th input argument (Templates0{2}) must have 2 columns, each row [lower upper] of a node, or be "
     "empty (0x0)."},
    {"NLabels0{3} missing",
     [](Inputs& in) {
       in[12] = cell(3, 1, make_double(0, 0), make_double(0, 0), make_double(1, 2, {0, 1}));
       in[13] = make_cell(1, 3);
     },
     "VORLA_LEARN: 14th input argument (NLabels0{3}) must be of type  1x1 or 1x1."},
    {"NLabels0{1} fraction",
     [](Inputs& in) {
       in[12] = cell(1, 3, make_double(1, 2, {0, 1}));
       in[13] = cell(1, 3, make_scalar(0.5));
     },
     "VORLA_LEARN: 14th input argument (NLabels0{1}) must hold whole-number labels."},
    // A matrix of given nodes is checked in its place, before Orders.
    {"Templates0 matrix before Orders",
     [](Inputs& in) {
       in[12] = make_double(1, 3, {0, 1, 1});
       in[14] = make_scalar(1);
     },
     "VORLA_LEARN: 13th input argument (Templates0) must have 2 columns, each row [lower upper] of a node, or be "
     "empty (0x0)."},
};

TEST(LearnBatchChecks, EachFaultGetsItsOwnMessage) {
  Batch b;
  b.orders = {{1, 2}, {2, 1}, {}};
  for (const Fault& f : faults) {
    Inputs in = b.inputs();
    f.change(in);
    const auto r = standin::call(vorla::vorla_learn, 4, in.pointers());
    EXPECT_EQ(r.error.value_or("no error"), f.message) << f.what;
    EXPECT_TRUE(r.faults.empty()) << f.what << ": " << r.faults.front();
    EXPECT_TRUE(r.text.empty()) << f.what;
    EXPECT_EQ(r.free_store_live, 0) << f.what;
  }
  EXPECT_EQ(standin::call(vorla::vorla_learn, 2, b.inputs().pointers()).error.value_or(""),
            "VORLA_LEARN: 3 or 4 output arguments required.");
}

}  // namespace
