#include "marshal.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>

namespace vorla {
namespace {

bool fits_count(std::int64_t n) { return n >= 0 && n <= std::numeric_limits<std::int32_t>::max(); }

// Rows per step of a transposition between column order and row order.
constexpr std::int64_t transpose_tile = 64;

template <class T>
void copy_rows_of(const void* data, std::int64_t rows, std::int64_t cols, std::int64_t first, std::int64_t count,
                  double* to) {
  // An empty host matrix may have no data at all: no address is formed from it then.
  const T* const from = static_cast<const T*>(data);
  for (std::int64_t c = 0; c < cols; ++c)
    for (std::int64_t r = 0; r < count; ++r) to[r * cols + c] = static_cast<double>(from[c * rows + first + r]);
}

}  // namespace

bool ColumnMatrix::open(const mxArray* array) {
  const host::Shape shape = host::shape_of(array);
  if (shape.dimension_count != 2) return false;
  return visit_real_data(array, [&](const auto* data) {
    using T = std::remove_const_t<std::remove_pointer_t<decltype(data)>>;
    data_ = data;
    rows_ = shape.rows;
    cols_ = shape.cols;
    copy_ = copy_rows_of<T>;
  });
}

double* mxArray1D_to_cArray1D(std::int32_t& length, const mxArray* array) {
  host::Shape shape = host::shape_of(array);
  if (shape.dimension_count != 2) {
    length = 0;
    mexWarnMsgTxt("mxArray1D_to_cArray1D: Argument passed was not appropriate!");
    return nullptr;
  }
  std::int64_t n = shape.rows == 1 ? shape.cols : shape.cols == 1 ? shape.rows : -1;
  if (!fits_count(n)) {
    length = 0;
    mexWarnMsgTxt("mxArray1D_to_cArray1D: mxArray argument passed was not appropriate!");
    return nullptr;
  }
  length = static_cast<std::int32_t>(n);
  auto* block = static_cast<double*>(host::allocate(length, sizeof(double)));
  if (!block) return nullptr;
  bool readable = visit_real_data(array, [&](const auto* data) {
    for (std::int32_t k = 0; k < length; ++k) block[k] = static_cast<double>(data[k]);
  });
  return readable ? block : nullptr;
}

double** allocate_row_matrix(std::int32_t rows, std::int32_t cols) {
  auto** matrix = static_cast<double**>(host::allocate_for_writing(rows, sizeof(double*)));
  if (!matrix) return nullptr;
  const std::int64_t count = static_cast<std::int64_t>(rows) * cols;
  auto* data = static_cast<double*>(host::allocate_for_writing(count, sizeof(double)));
  if (!data) return nullptr;
  matrix[0] = data;
  for (std::int32_t r = 1; r < rows; ++r) matrix[r] = data + static_cast<std::int64_t>(r) * cols;
  return matrix;
}

void release_row_matrix(double** matrix) {
  mxFree(matrix[0]);
  mxFree(matrix);
}

double** mxArray2D_to_cArray2D(std::int32_t& rows, std::int32_t& cols, const mxArray* array) {
  host::Shape shape = host::shape_of(array);
  if (shape.dimension_count != 2 || !fits_count(shape.rows) || !fits_count(shape.cols)) {
    rows = 0;
    cols = 0;
    mexWarnMsgTxt("mxArray2D_to_cArray2D: mxArray argument passed was not appropriate!");
    return nullptr;
  }
  rows = static_cast<std::int32_t>(shape.rows);
  cols = static_cast<std::int32_t>(shape.cols);
  ColumnMatrix from;
  if (!from.open(array)) return nullptr;
  double** matrix = allocate_row_matrix(rows, cols);
  if (!matrix) return nullptr;
  // A tile of rows at a time, so that both the columns read and the rows written stay in
  // cache while the tile is transposed.
  for (std::int64_t first = 0; first < rows; first += transpose_tile)
    from.copy_rows(first, std::min<std::int64_t>(transpose_tile, rows - first), matrix[first]);
  return matrix;
}

mxArray* cArray1D_to_mxArray1D(std::int32_t count, double* block) {
  mxArray* array = host::create_double_matrix(count, 1);
  if (!array) return nullptr;
  if (count > 0) std::memcpy(mxGetPr(array), block, static_cast<std::size_t>(count) * sizeof(double));
  mxFree(block);
  return array;
}

mxArray* rows_to_mxArray2D(std::int32_t rows, std::int32_t cols, const double* values) {
  mxArray* array = host::create_double_matrix(rows, cols);
  if (!array) return nullptr;
  double* const to = mxGetPr(array);
  const std::int64_t n = rows, m = cols;
  for (std::int64_t first = 0; first < n; first += transpose_tile) {
    const std::int64_t last = std::min(n, first + transpose_tile);
    for (std::int64_t c = 0; c < m; ++c)
      for (std::int64_t r = first; r < last; ++r) to[c * n + r] = values[r * m + c];
  }
  return array;
}

mxArray* cArray2D_to_mxArray2D(std::int32_t rows, std::int32_t cols, double** matrix) {
  // The rows lie back to back from matrix[0].
  mxArray* array = rows_to_mxArray2D(rows, cols, matrix[0]);
  if (!array) return nullptr;
  release_row_matrix(matrix);
  return array;
}

}  // namespace vorla
