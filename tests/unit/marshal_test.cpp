#include "marshal.h"
#include "standin.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace vorla;
using standin::make_array;
using standin::make_double;

namespace {

// Runs body inside a host call, where host memory can be had.
std::function<void(mxArray**)> body;
void body_entry(int, mxArray* plhs[], int, const mxArray*[]) { body(plhs); }
standin::CallResult in_call(std::function<void(mxArray**)> f, int nlhs = 0, standin::CallOptions options = {}) {
  body = std::move(f);
  return standin::call(body_entry, nlhs, {}, options);
}

TEST(Marshal, VectorsOfEitherOrientationGiveTheSameBlock) {
  auto row = make_double(1, 3, {4, 5, 6});
  auto col = make_double(3, 1, {4, 5, 6});
  auto one = make_double(1, 1, {9});
  auto r = in_call([&](mxArray**) {
    for (const mxArray* a : {row.get(), col.get()}) {
      std::int32_t n = -1;
      double* v = mxArray1D_to_cArray1D(n, a);
      ASSERT_EQ(n, 3);
      EXPECT_EQ(std::vector<double>(v, v + 3), (std::vector<double>{4, 5, 6}));
    }
    std::int32_t n = -1;
    double* v = mxArray1D_to_cArray1D(n, one.get());
    ASSERT_EQ(n, 1);
    EXPECT_EQ(v[0], 9);
  });
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_TRUE(r.faults.empty());
}

TEST(Marshal, VectorConverterRefusesMatricesAndHigherDimensions) {
  auto matrix = make_double(2, 3);
  auto cube = make_array(mxDOUBLE_CLASS, {1, 1, 2});
  std::int32_t n1 = -1, n2 = -1;
  double *v1 = nullptr, *v2 = nullptr;
  auto r = in_call([&](mxArray**) {
    v1 = mxArray1D_to_cArray1D(n1, matrix.get());
    v2 = mxArray1D_to_cArray1D(n2, cube.get());
  });
  EXPECT_EQ(v1, nullptr);
  EXPECT_EQ(v2, nullptr);
  EXPECT_EQ(n1, 0);
  EXPECT_EQ(n2, 0);
  EXPECT_EQ(r.warnings, (std::vector<std::string>{"mxArray1D_to_cArray1D: mxArray argument passed was not appropriate!",
                                                  "mxArray1D_to_cArray1D: Argument passed was not appropriate!"}));
}

TEST(Marshal, MatricesTurnIntoRowsAndBack) {
  auto host = make_double(2, 3, {1, 2, 3, 4, 5, 6});
  auto r = in_call(
      [&](mxArray** plhs) {
        std::int32_t rows = 0, cols = 0;
        double** m = mxArray2D_to_cArray2D(rows, cols, host.get());
        ASSERT_EQ(rows, 2);
        ASSERT_EQ(cols, 3);
        EXPECT_EQ(std::vector<double>(m[0], m[0] + 3), (std::vector<double>{1, 3, 5}));
        EXPECT_EQ(std::vector<double>(m[1], m[1] + 3), (std::vector<double>{2, 4, 6}));
        plhs[0] = cArray2D_to_mxArray2D(rows, cols, m);
      },
      1);
  ASSERT_TRUE(r.faults.empty()) << r.faults.front();
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{2, 3}));
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(r.blocks_reclaimed, 0) << "the builder releases the rows and the pointer array";
}

TEST(Marshal, MatrixConverterRefusesThreeDimensions) {
  auto cube = make_array(mxDOUBLE_CLASS, {2, 2, 2});
  std::int32_t rows = -1, cols = -1;
  double** m = reinterpret_cast<double**>(1);
  auto r = in_call([&](mxArray**) { m = mxArray2D_to_cArray2D(rows, cols, cube.get()); });
  EXPECT_EQ(m, nullptr);
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(cols, 0);
  EXPECT_EQ(r.warnings, std::vector<std::string>{"mxArray2D_to_cArray2D: mxArray argument passed was not appropriate!"});
}

TEST(Marshal, VectorBuilderAlwaysMakesAColumn) {
  auto row = make_double(1, 4, {1, 2, 3, 4});
  auto r = in_call(
      [&](mxArray** plhs) {
        std::int32_t n = 0;
        double* block = mxArray1D_to_cArray1D(n, row.get());
        plhs[0] = cArray1D_to_mxArray1D(n, block);
      },
      1);
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{4, 1}));
  EXPECT_EQ(standin::values_of(r.output(0)), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(r.blocks_reclaimed, 0);
}

TEST(Marshal, OtherNumericClassesAndComplexArraysReadAsTheirRealValues) {
  auto ints = make_array(mxINT32_CLASS, {2, 1}, {-3, 2147483647});
  auto singles = make_array(mxSINGLE_CLASS, {1, 2}, {0.1, 2.5});
  auto bools = make_array(mxLOGICAL_CLASS, {1, 3}, {1, 0, 1});
  auto big = make_array(mxUINT64_CLASS, {1, 1}, {9223372036854775808.0});
  auto complex = standin::make_complex({2, 1}, {0.5, -1}, {7, 8});
  in_call([&](mxArray**) {
    std::int32_t n = 0;
    double* v = mxArray1D_to_cArray1D(n, ints.get());
    EXPECT_EQ(std::vector<double>(v, v + n), (std::vector<double>{-3, 2147483647}));
    v = mxArray1D_to_cArray1D(n, singles.get());
    EXPECT_EQ(std::vector<double>(v, v + n), (std::vector<double>{static_cast<double>(0.1f), 2.5}));
    v = mxArray1D_to_cArray1D(n, bools.get());
    EXPECT_EQ(std::vector<double>(v, v + n), (std::vector<double>{1, 0, 1}));
    v = mxArray1D_to_cArray1D(n, big.get());
    EXPECT_EQ(v[0], 9223372036854775808.0);
    v = mxArray1D_to_cArray1D(n, complex.get());
    EXPECT_EQ(std::vector<double>(v, v + n), (std::vector<double>{0.5, -1}));
  });
}

TEST(Marshal, FailedHostAllocationsGiveNoResultAndNoWarning) {
  auto host = make_double(3, 2, {1, 2, 3, 4, 5, 6});
  // Allocation 1 is the pointer array, 2 the block of values.
  for (long k = 1; k <= 2; ++k) {
    std::int32_t rows = 0, cols = 0;
    double** m = nullptr;
    auto r = in_call([&](mxArray**) { m = mxArray2D_to_cArray2D(rows, cols, host.get()); }, 0, {k});
    EXPECT_EQ(m, nullptr) << k;
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(cols, 2);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(r.allocations, k) << "no request after the first one that fails";
  }
  std::int32_t n = 0;
  double* v = reinterpret_cast<double*>(1);
  in_call([&](mxArray**) { v = mxArray1D_to_cArray1D(n, host.get()); }, 0, {1});
  EXPECT_EQ(v, nullptr);
}

TEST(Marshal, BuildersThatCannotCreateTheArrayKeepTheBlocks) {
  // Allocation 1 is the block, 2 the array that cannot be had.
  auto r = in_call([&](mxArray**) {
    double* block = static_cast<double*>(mxCalloc(2, sizeof(double)));
    EXPECT_EQ(cArray1D_to_mxArray1D(2, block), nullptr);
    block[1] = 1;  // still the caller's
  }, 0, {2});
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.blocks_reclaimed, 1);
  // Allocations 1 and 2 are the row matrix, 3 the array.
  r = in_call([&](mxArray**) {
    double** rows = allocate_row_matrix(1, 2);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(cArray2D_to_mxArray2D(1, 2, rows), nullptr);
    rows[0][0] = 1;
  }, 0, {3});
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.blocks_reclaimed, 2);
}

TEST(Marshal, AMatrixIsTwoHostBlocksWhateverItsSize) {
  const std::int32_t n = 1000, m = 3;
  std::vector<double> values(n * m);
  for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<double>(k);
  auto host = make_double(n, m, values);
  auto r = in_call(
      [&](mxArray** plhs) {
        std::int32_t rows = 0, cols = 0;
        double** matrix = mxArray2D_to_cArray2D(rows, cols, host.get());
        ASSERT_NE(matrix, nullptr);
        // Rows lie back to back, each holding its values of every column.
        for (std::int32_t row = 0; row < n; ++row) {
          ASSERT_EQ(matrix[row], matrix[0] + row * m);
          for (std::int32_t col = 0; col < m; ++col) ASSERT_EQ(matrix[row][col], col * n + row);
        }
        plhs[0] = cArray2D_to_mxArray2D(rows, cols, matrix);
      },
      1);
  EXPECT_TRUE(r.faults.empty()) << r.faults.front();
  EXPECT_EQ(r.allocations, 2 + 1) << "pointers, values and the new array";
  EXPECT_EQ(r.blocks_reclaimed, 0);
  EXPECT_EQ(standin::values_of(r.output(0)), values);
}

TEST(Marshal, RequestsTooLargeToStateInBytesAreNotMade) {
  void* block = reinterpret_cast<void*>(1);
  auto r = in_call([&](mxArray**) { block = host::allocate(std::numeric_limits<std::int64_t>::max() / 2, 8); });
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(r.allocations, 0);
  EXPECT_TRUE(r.faults.empty());
}

// Every output and block goes through these: one whose size in bytes wraps around is
// never asked of the host, one that fits (or is empty) is.
TEST(Marshal, OutputsTooLargeToStateInBytesAreNotMade) {
  constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
  struct Matrix {
    std::int32_t rows, cols;
    bool made;
  };
  const Matrix matrices[] = {{most, most, false}, {most, (1 << 30) + 1, false}, {most, 0, true}, {0, most, true},
                             {1000, 1000, true}};
  for (const Matrix& m : matrices) {
    mxArray* array = nullptr;
    auto r = in_call([&](mxArray**) { array = host::create_double_matrix(m.rows, m.cols); });
    SCOPED_TRACE(std::to_string(m.rows) + " x " + std::to_string(m.cols));
    EXPECT_TRUE(r.faults.empty()) << r.faults.front();
    EXPECT_EQ(r.allocations, m.made ? 1 : 0);
    if (!m.made) {
      EXPECT_EQ(array, nullptr);
    }
  }
  void* grown = reinterpret_cast<void*>(1);
  auto r = in_call([&](mxArray**) {
    void* block = host::allocate(1, 8);
    grown = host::reallocate(block, std::numeric_limits<std::int64_t>::max() / 2, 8);
  });
  EXPECT_EQ(grown, nullptr);
  EXPECT_EQ(r.allocations, 1);
  EXPECT_TRUE(r.faults.empty());
}

TEST(Marshal, EmptyArraysConvertToEmptyResults) {
  auto none = make_double(0, 3);
  auto r = in_call(
      [&](mxArray** plhs) {
        std::int32_t rows = -1, cols = -1;
        double** m = mxArray2D_to_cArray2D(rows, cols, none.get());
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(rows, 0);
        EXPECT_EQ(cols, 3);
        plhs[0] = cArray2D_to_mxArray2D(rows, cols, m);
      },
      1);
  EXPECT_EQ(standin::dims_of(r.output(0)), (std::vector<mwSize>{0, 3}));
  EXPECT_EQ(r.blocks_reclaimed, 0) << "a matrix with no rows still has both blocks to release";
}

#if defined(__linux__)
// A block readied for writing is faulted in only within itself, wherever it lies against the
// huge pages, and keeps what it holds; one under two huge pages is left alone.
TEST(Host, BlocksReadiedForWritingAreTouchedOnlyWithinThemselves) {
  constexpr std::size_t huge = std::size_t{2} << 20;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  struct Block {
    std::size_t start;  // past a huge page's start
    std::size_t bytes;
    bool touched;
  };
  const Block blocks[] = {{0, 2 * huge, true},     {8, 3 * huge, true},     {huge - 8, 2 * huge + 16, true},
                          {page, 3 * huge - page, true}, {0, 2 * huge - 8, false}, {8, huge, false}};
  const std::size_t mapped = 8 * huge;
  for (const Block& b : blocks) {
    SCOPED_TRACE(std::to_string(b.start) + " + " + std::to_string(b.bytes));
    void* mapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(mapping, MAP_FAILED);
    const auto base = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t begin = ((base + huge - 1) & ~(huge - 1)) + huge + b.start;
    const std::uintptr_t end = begin + b.bytes;
    host::advise_block_for_writing(reinterpret_cast<void*>(begin), b.bytes);
    std::vector<unsigned char> resident(mapped / page);
    ASSERT_EQ(mincore(mapping, mapped, resident.data()), 0);
    bool inside = false;
    for (std::size_t k = 0; k < resident.size(); ++k) {
      const std::uintptr_t at = base + k * page;
      const bool within = at + page > begin && at < end;
      if (within) {
        inside = inside || (resident[k] & 1);
      } else {
        ASSERT_FALSE(resident[k] & 1) << "page " << k << " outside the block was touched";
      }
    }
    EXPECT_EQ(inside, b.touched);
    munmap(mapping, mapped);
  }
  std::vector<unsigned char> held(5 * huge);
  for (std::size_t k = 0; k < held.size(); ++k) held[k] = static_cast<unsigned char>(k * 7 + 1);
  const std::vector<unsigned char> before = held;
  host::advise_block_for_writing(held.data(), held.size());
  EXPECT_TRUE(held == before);
}
#endif

}  // namespace
