#include "threads.h"

#include "standin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

using vorla::host::Outcome;

namespace {

TEST(Threads, ChooseKeepsSmallCallsSerialAndCapsAtTheItems) {
  const int cores = vorla::threads::usable_cores();
  ASSERT_GE(cores, 1);
  struct Case {
    std::int64_t requested, items, per_thread;
    int expected;
  } cases[] = {
      {1, 1000000, 1, 1},  // one thread asked: today's serial run
      {4, 7, 4, 1},        // fewer than two threads' worth of items
      {4, 8, 4, 2},        // exactly two threads' worth
      {8, 30, 10, 3},      // capped by the items
      {3, 1000, 10, 3},    // as asked
      {5, 1000, 0, 5},     // no minimum given counts as one item each
      {0, 1, 1, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(vorla::threads::choose(c.requested, c.items, c.per_thread), c.expected)
        << c.requested << " threads asked for " << c.items << " items";
  EXPECT_EQ(vorla::threads::choose(0, 1 << 30, 1), cores);
}

#if defined(__linux__)
TEST(Threads, UsableCoresFollowTheAffinityMask) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  const int before = vorla::threads::usable_cores();
  EXPECT_LE(before, CPU_COUNT(&all));
  int first = 0;
  while (!CPU_ISSET(first, &all)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const int pinned = vorla::threads::usable_cores();
  const int chosen = vorla::threads::choose(0, 1 << 20, 1);
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
  EXPECT_EQ(pinned, 1);
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(vorla::threads::usable_cores(), before);
}
#endif

TEST(Threads, EveryItemRunsOnceForAnyThreadCount) {
  for (int threads : {1, 2, 3, 8})
    for (std::int64_t count : {0, 1, 2, 7, 1000}) {
      std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
      const Outcome outcome = vorla::threads::run(count, threads, [&](std::int64_t k) {
        runs[static_cast<std::size_t>(k)]++;
        return Outcome::done;
      });
      EXPECT_EQ(outcome, Outcome::done);
      for (std::int64_t k = 0; k < count; ++k)
        ASSERT_EQ(runs[static_cast<std::size_t>(k)].load(), 1) << "item " << k << " of " << count << ", " << threads
                                                                 << " threads";
    }
}

TEST(Threads, AFailedItemStopsTheRestAndIsReported) {
  struct Case {
    int threads;
    bool throws_bad_alloc;
    Outcome failure;
  } cases[] = {{1, false, Outcome::out_of_memory}, {2, false, Outcome::out_of_memory}, {1, true, Outcome::out_of_memory},
               {4, true, Outcome::out_of_memory},  {1, false, Outcome::interrupted},   {3, false, Outcome::interrupted}};
  for (const Case& c : cases) {
    std::atomic<std::int64_t> started{0};
    const Outcome outcome = vorla::threads::run(100000, c.threads, [&](std::int64_t k) {
      started++;
      // The items after the failing one wait until the workers are told to stop.
      while (k > 5 && !vorla::threads::interrupted()) std::this_thread::yield();
      if (k != 5) return Outcome::done;
      if (c.throws_bad_alloc) throw std::bad_alloc();
      return c.failure;
    });
    EXPECT_EQ(outcome, c.failure) << c.threads << " threads";
    EXPECT_LE(started.load(), 6 + c.threads) << "the hand-out went on after a failure";
  }
  // Memory running out is what is reported when another item was interrupted too.
  std::atomic<int> failed{0};
  const Outcome both = vorla::threads::run(2, 2, [&](std::int64_t k) {
    failed++;
    while (failed.load() < 2) std::this_thread::yield();
    return k == 0 ? Outcome::interrupted : Outcome::out_of_memory;
  });
  EXPECT_EQ(both, Outcome::out_of_memory);
}

TEST(Threads, OtherExceptionsReachTheCallerAfterEveryWorkerJoined) {
  for (int threads : {1, 2, 4}) {
    std::atomic<int> running{0};
    EXPECT_THROW(vorla::threads::run(64, threads,
                                     [&](std::int64_t k) {
                                       running++;
                                       if (k == 3) throw std::runtime_error("from an item");
                                       running--;
                                       return Outcome::done;
                                     }),
                 std::runtime_error);
    EXPECT_EQ(running.load(), 1) << "only the throwing item may be left counted";
  }
}

// What the entry points do: workers that spin until they are told to stop, on a host that
// sees Ctrl-C at a chosen poll, and optionally a worker that misuses the host.
struct SpinOptions {
  int threads = 2;
  bool print_from_worker = false;
  bool allocate_in_items = false;
};
SpinOptions spin;

void spinning_call(int, mxArray*[], int, const mxArray*[]) {
  const Outcome outcome = vorla::threads::run(spin.threads, spin.threads, [](std::int64_t k) {
    if (spin.print_from_worker && k == 0) mexPrintf("from a worker\n");
    std::unique_ptr<std::vector<double>> held;
    if (spin.allocate_in_items) held = std::make_unique<std::vector<double>>(1000);
    while (!vorla::threads::interrupted()) std::this_thread::yield();
    return Outcome::interrupted;
  });
  if (outcome == Outcome::interrupted) vorla::host::end_interrupted_call("interrupted");
  if (outcome == Outcome::out_of_memory) mexErrMsgTxt("out of memory");
}

TEST(Threads, CtrlCOnTheCallingThreadStopsEveryWorker) {
  for (int threads : {1, 2, 4}) {
    spin = {threads, false, true};
    standin::CallOptions options;
    options.interrupt_at_poll = 3;
    const standin::CallResult r = standin::call(spinning_call, 0, {}, options);
    EXPECT_TRUE(r.interrupted) << threads << " threads";
    EXPECT_TRUE(r.faults.empty()) << r.faults.front();
    EXPECT_EQ(r.free_store_live, 0);
  }
  // Every free-store allocation of the call made to fail in turn, thread starts among them:
  // each ends the call cleanly, as out of memory or as the interrupt, with nothing left.
  spin = {2, false, true};
  standin::CallOptions counting;
  counting.interrupt_at_poll = 50;  // half a second: a failure comes first, even under load
  const long allocations = standin::call(spinning_call, 0, {}, counting).free_store_allocations;
  ASSERT_GE(allocations, 4);
  bool memory_failure_seen = false;
  for (long n = 1; n <= allocations; ++n) {
    standin::CallOptions failing = counting;
    failing.fail_free_store_allocation = n;
    const standin::CallResult r = standin::call(spinning_call, 0, {}, failing);
    memory_failure_seen = memory_failure_seen || r.error.value_or("") == "out of memory";
    EXPECT_TRUE(r.interrupted || r.error.value_or("") == "out of memory") << "allocation " << n;
    EXPECT_TRUE(r.faults.empty()) << "allocation " << n << ": " << r.faults.front();
    EXPECT_EQ(r.free_store_live, 0) << "allocation " << n;
  }
  EXPECT_TRUE(memory_failure_seen);
}

TEST(Threads, TheStandInHostFlagsAHostCallFromAWorker) {
  spin = {2, true, false};
  standin::CallOptions options;
  options.interrupt_at_poll = 2;
  const standin::CallResult r = standin::call(spinning_call, 0, {}, options);
  ASSERT_FALSE(r.faults.empty());
  EXPECT_EQ(r.faults.front(), "a host function was called from a thread other than the caller's");
}

}  // namespace
