// The stand-in host itself: what the unit tests rely on it to notice.
#include "standin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

void leaves_blocks(int, mxArray* plhs[], int, const mxArray*[]) {
  mxCalloc(3, 8);
  void* p = mxCalloc(1, 8);
  p = mxRealloc(p, 64);
  mxFree(mxCalloc(2, 8));
  plhs[0] = mxCreateNumericArray(2, std::vector<mwSize>{1, 1}.data(), mxDOUBLE_CLASS, mxREAL);
  mxCreateNumericArray(2, std::vector<mwSize>{2, 2}.data(), mxDOUBLE_CLASS, mxREAL);
  mexPrintf("%d-%s", 4, "x");
  mexPrintf("%lu\n", 4294967295ul);
  mexAddFlops(7);
  mexWarnMsgTxt("careful");
}

void raises_then_goes_on(int, mxArray*[], int, const mxArray*[]) {
  mexErrMsgTxt("first");
  mexErrMsgTxt("second");
}

void misuses(int, mxArray*[], int, const mxArray* prhs[]) {
  int local = 0;
  mxFree(&local);
  mxGetScalar(prhs[0]);
  mxGetPr(prhs[1]);
  mxGetPr(prhs[2])[0] = 1;  // writes an input
}

// Blocks and arrays whose contents the host leaves undefined.
void takes_unwritten_memory(int, mxArray* plhs[], int, const mxArray*[]) {
  auto* block = static_cast<double*>(mxMalloc(2 * sizeof(double)));
  plhs[0] = mxCreateUninitNumericMatrix(2, 1, mxDOUBLE_CLASS, mxREAL);
  if (block && plhs[0]) mxGetPr(plhs[0])[1] = block[1];
}

void escapes(int, mxArray*[], int, const mxArray*[]) { throw std::bad_alloc(); }

// Polls until told to stop, then hands the interrupt back; ends so with none pending too.
void polls(int, mxArray* plhs[], int, const mxArray*[]) {
  for (int k = 0; k < 5; ++k)
    if (standinInterruptPending()) {
      plhs[0] = mxCreateNumericArray(2, std::vector<mwSize>{1, 1}.data(), mxDOUBLE_CLASS, mxREAL);
      standinEndInterruptedCall("stopped");
      mexPrintf("not reached");
    }
  standinEndInterruptedCall("unasked");
}

TEST(StandIn, RecordsTextFlopsWarningsAndReclaimsWhatACallLeaves) {
  auto r = standin::call(leaves_blocks, 1, {});
  EXPECT_EQ(r.text, "4-x4294967295\n");
  EXPECT_EQ(r.flops, std::vector<int>{7});
  EXPECT_EQ(r.warnings, std::vector<std::string>{"careful"});
  EXPECT_EQ(r.blocks_reclaimed, 2);
  EXPECT_EQ(r.arrays_reclaimed, 1);
  EXPECT_EQ(r.allocations, 6);
  EXPECT_TRUE(r.faults.empty());
  ASSERT_NE(r.output(0), nullptr);
}

TEST(StandIn, AnErrorEndsTheCall) {
  auto r = standin::call(raises_then_goes_on, 0, {});
  EXPECT_EQ(r.error.value_or(""), "first");
  EXPECT_EQ(r.error_count, 1);
}

TEST(StandIn, FailsTheChosenAllocation) {
  auto r = standin::call(leaves_blocks, 1, {}, {5});
  EXPECT_EQ(r.output(0), nullptr);
  EXPECT_EQ(r.arrays_reclaimed, 1);
}

// Garbage (NaN) where nothing was written, so that an output element left unwritten shows.
TEST(StandIn, UndefinedContentsAreGarbageAndCountAsAllocations) {
  auto r = standin::call(takes_unwritten_memory, 1, {});
  ASSERT_NE(r.output(0), nullptr);
  const std::vector<double> values = standin::values_of(r.output(0));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_TRUE(std::isnan(values[0]) && std::isnan(values[1]));
  EXPECT_EQ(r.allocations, 2);
  EXPECT_EQ(r.blocks_reclaimed, 1);
  EXPECT_EQ(standin::call(takes_unwritten_memory, 1, {}, {2}).output(0), nullptr);
}

TEST(StandIn, NoticesMisuseOfTheHost) {
  auto empty = standin::make_double(1, 0);
  auto text = standin::make_char("a");
  auto one = standin::make_scalar(0);
  auto r = standin::call(misuses, 0, {empty.get(), text.get(), one.get()});
  EXPECT_EQ(r.faults.size(), 4u) << ::testing::PrintToString(r.faults);
  auto escaped = standin::call(escapes, 0, {});
  EXPECT_EQ(escaped.faults.size(), 1u);
}

void asks_for_wrapping_sizes(int, mxArray*[], int, const mxArray*[]) {
  const std::size_t half = (std::numeric_limits<std::size_t>::max() >> 1) + 1;
  mxCreateNumericArray(2, std::vector<mwSize>{half, 2}.data(), mxINT8_CLASS, mxREAL);
  mxCreateUninitNumericMatrix(std::size_t{1} << 31, std::size_t{1} << 30, mxDOUBLE_CLASS, mxREAL);
  mxCalloc(half, 4);
  mxCreateNumericArray(3, std::vector<mwSize>{half, half, 0}.data(), mxDOUBLE_CLASS, mxREAL);  // empty: fine
}

// A host multiplies out the bytes of an array in size_t: the stand-in says where that wraps.
TEST(StandIn, NoticesSizesWhoseBytesWrapAround) {
  auto r = standin::call(asks_for_wrapping_sizes, 0, {});
  EXPECT_EQ(r.faults.size(), 3u) << ::testing::PrintToString(r.faults);
  EXPECT_EQ(r.arrays_reclaimed, 1);
}

TEST(StandIn, InterruptsAtTheChosenPoll) {
  standin::CallOptions at_third;
  at_third.interrupt_at_poll = 3;
  auto r = standin::call(polls, 1, {}, at_third);
  EXPECT_EQ(r.polls, 3);
  EXPECT_TRUE(r.interrupted);
  EXPECT_EQ(r.interrupt_message, "stopped");
  EXPECT_EQ(r.text, "");
  EXPECT_FALSE(r.error);
  EXPECT_EQ(r.faults, std::vector<std::string>{"an output was set by a call that was interrupted"});
  auto unasked = standin::call(polls, 1, {});
  EXPECT_EQ(unasked.polls, 5);
  EXPECT_EQ(unasked.faults, std::vector<std::string>{"a call ended as interrupted with no interrupt pending"});
}

}  // namespace
