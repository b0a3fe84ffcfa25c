// Moving numbers between host arrays and vorla's own arrays. Vectors travel as one host
// block of doubles; matrices as a row matrix: a host block of row pointers into one host
// block that holds all rows back to back (row r at offset r x cols). Two blocks per matrix,
// whatever its size, keep the host's per-block bookkeeping out of the cost of a call. All
// blocks come from the host allocator, so the host reclaims whatever a failed call leaves
// behind.
#ifndef VORLA_MARSHAL_H
#define VORLA_MARSHAL_H

#include "host.h"

#include <cstdint>

namespace vorla {

// Calls visit(data) with the array's real elements in their own element type, for the
// classes that vorla reads (double, single, the integer classes and logical). Returns false,
// calling nothing, for any other class.
template <class Visitor>
bool visit_real_data(const mxArray* array, Visitor&& visit) {
  switch (mxGetClassID(array)) {
    case mxDOUBLE_CLASS: visit(static_cast<const double*>(mxGetPr(array))); return true;
    case mxSINGLE_CLASS: visit(static_cast<const float*>(mxGetData(array))); return true;
    case mxLOGICAL_CLASS: visit(static_cast<const std::uint8_t*>(mxGetData(array))); return true;
    case mxINT8_CLASS: visit(static_cast<const std::int8_t*>(mxGetData(array))); return true;
    case mxUINT8_CLASS: visit(static_cast<const std::uint8_t*>(mxGetData(array))); return true;
    case mxINT16_CLASS: visit(static_cast<const std::int16_t*>(mxGetData(array))); return true;
    case mxUINT16_CLASS: visit(static_cast<const std::uint16_t*>(mxGetData(array))); return true;
    case mxINT32_CLASS: visit(static_cast<const std::int32_t*>(mxGetData(array))); return true;
    case mxUINT32_CLASS: visit(static_cast<const std::uint32_t*>(mxGetData(array))); return true;
    case mxINT64_CLASS: visit(static_cast<const std::int64_t*>(mxGetData(array))); return true;
    case mxUINT64_CLASS: visit(static_cast<const std::uint64_t*>(mxGetData(array))); return true;
    default: return false;
  }
}

// A host matrix read where it lies, column by column, a few rows at a time: for an input
// that is read once in row order, which then needs no copy of its own.
class ColumnMatrix {
 public:
  // Views the host matrix; false, viewing nothing, for a class that vorla does not read or
  // a shape other than rows x cols.
  bool open(const mxArray* array);
  // Writes rows first .. first + count - 1 to `to` as count rows of cols values, back to back.
  void copy_rows(std::int64_t first, std::int64_t count, double* to) const {
    copy_(data_, rows_, cols_, first, count, to);
  }

 private:
  using Copy = void (*)(const void* data, std::int64_t rows, std::int64_t cols, std::int64_t first,
                        std::int64_t count, double* to);
  const void* data_ = nullptr;
  std::int64_t rows_ = 0;
  std::int64_t cols_ = 0;
  Copy copy_ = nullptr;
};

// A row matrix of rows x cols with every value 0: the pointer block (at least one entry)
// and then the data block, whose address entry 0 holds even when there are no rows. Null
// when either block cannot be had; what was obtained is left to the host.
double** allocate_row_matrix(std::int32_t rows, std::int32_t cols);

// Releases both blocks of a row matrix.
void release_row_matrix(double** matrix);

// A host vector (1 x n or n x 1) as a block of length doubles, or null.
double* mxArray1D_to_cArray1D(std::int32_t& length, const mxArray* array);

// A host matrix as a row matrix of rows x cols, or null.
double** mxArray2D_to_cArray2D(std::int32_t& rows, std::int32_t& cols, const mxArray* array);

// A new count x 1 host array from the block, which it then releases; or null, leaving the
// block with the caller.
mxArray* cArray1D_to_mxArray1D(std::int32_t count, double* block);

// A new rows x cols host array from rows x cols values laid out row after row; or null.
mxArray* rows_to_mxArray2D(std::int32_t rows, std::int32_t cols, const double* values);

// A new rows x cols host array from the row matrix, which it then releases; or null,
// leaving the rows with the caller.
mxArray* cArray2D_to_mxArray2D(std::int32_t rows, std::int32_t cols, double** matrix);

}  // namespace vorla

#endif
