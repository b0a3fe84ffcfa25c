#include "marshal.h"

#include <cstring>
#include <limits>

namespace vorla {
namespace {

bool fits_count(std::int64_t n) { return n >= 0 && n <= std::numeric_limits<std::int32_t>::max(); }

}  // namespace

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
  auto** matrix = static_cast<double**>(host::allocate(rows, sizeof(double*)));
  if (!matrix) return nullptr;
  for (std::int32_t r = 0; r < rows; ++r) {
    matrix[r] = static_cast<double*>(host::allocate(cols, sizeof(double)));
    if (!matrix[r]) return nullptr;
  }
  const std::int64_t stride = rows;
  bool readable = visit_real_data(array, [&](const auto* data) {
    for (std::int32_t c = 0; c < cols; ++c)
      for (std::int32_t r = 0; r < rows; ++r) matrix[r][c] = static_cast<double>(data[c * stride + r]);
  });
  return readable ? matrix : nullptr;
}

mxArray* cArray1D_to_mxArray1D(std::int32_t count, double* block) {
  mxArray* array = host::create_double_matrix(count, 1);
  if (!array) return nullptr;
  if (count > 0) std::memcpy(mxGetPr(array), block, static_cast<std::size_t>(count) * sizeof(double));
  mxFree(block);
  return array;
}

mxArray* cArray2D_to_mxArray2D(std::int32_t rows, std::int32_t cols, double** matrix) {
  mxArray* array = host::create_double_matrix(rows, cols);
  if (!array) return nullptr;
  double* data = mxGetPr(array);
  const std::int64_t stride = rows;
  for (std::int32_t c = 0; c < cols; ++c)
    for (std::int32_t r = 0; r < rows; ++r) data[c * stride + r] = matrix[r][c];
  for (std::int32_t r = 0; r < rows; ++r) mxFree(matrix[r]);
  mxFree(matrix);
  return array;
}

}  // namespace vorla
