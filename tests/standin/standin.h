// C++ API of the stand-in host: build host arrays, call a mexFunction the way a MEX host
// does, and inspect what the call left behind (outputs, text, warnings, error, flop calls,
// host memory it did not release, and any misuse of the host interface).
#ifndef VORLA_STANDIN_H
#define VORLA_STANDIN_H

#include "mex.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace standin {

using MexFunction = void (*)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

struct ArrayDeleter {
  void operator()(mxArray* array) const { mxDestroyArray(array); }
};
using ArrayPtr = std::unique_ptr<mxArray, ArrayDeleter>;

// A real array of any numeric or logical class; values are given in column order and
// converted to the class's element type.
ArrayPtr make_array(mxClassID class_id, const std::vector<mwSize>& dims,
                    const std::vector<double>& values = {});
// A complex double array: real and imaginary parts in column order.
ArrayPtr make_complex(const std::vector<mwSize>& dims, const std::vector<double>& real,
                      const std::vector<double>& imag);
// A real double matrix given row by row, as one writes it: {{1, 2}, {3, 4}}.
ArrayPtr make_matrix(const std::vector<std::vector<double>>& rows);
// A rows x cols real double matrix from column-order values.
ArrayPtr make_double(mwSize rows, mwSize cols, const std::vector<double>& values = {});
ArrayPtr make_scalar(double value);
// Arrays of the classes that vorla refuses.
ArrayPtr make_char(const std::string& text);
// A cell of rows x cols elements: the given ones first (in column order), the rest never set.
ArrayPtr make_cell(mwSize rows, mwSize cols, std::vector<ArrayPtr> elements = {});
ArrayPtr make_struct();
ArrayPtr make_function_handle();
ArrayPtr make_sparse(mwSize rows, mwSize cols, const std::vector<double>& values = {});

// Dimensions and column-order real values of a double array.
std::vector<mwSize> dims_of(const mxArray* array);
std::vector<double> values_of(const mxArray* array);
// Element k (column order) of a cell; null where never set.
const mxArray* cell_of(const mxArray* array, std::size_t k);

struct CallOptions {
  // When positive, the n-th host allocation of the call (mxMalloc, mxCalloc, mxRealloc,
  // mxCreateNumericArray or mxCreateUninitNumericMatrix, counted from 1) gives nothing.
  long fail_allocation = 0;
  // When positive, the n-th free-store allocation (operator new) made by the called code
  // itself, outside host operations, throws std::bad_alloc.
  long fail_free_store_allocation = 0;
  // When positive, the user presses Ctrl-C just before the n-th interrupt poll of the call
  // (counted from 1): that poll and every later one see the interrupt pending.
  long interrupt_at_poll = 0;
  // Whether the host keeps an operation counter; without one mexAddFlops is never called,
  // and nothing but the printed summary shows a call's counts.
  bool flop_counter = true;
};

struct CallResult {
  std::vector<ArrayPtr> outputs;      // one per requested output (ans when none was); null where none was set
  std::string text;                   // everything printed with mexPrintf
  std::vector<std::string> warnings;  // each mexWarnMsgTxt text
  std::optional<std::string> error;   // the mexErrMsgTxt message that ended the call
  int error_count = 0;                // error raises seen (the first one ends the call)
  std::vector<int> flops;             // each mexAddFlops value, in order
  long polls = 0;                     // interrupt polls made by the call
  bool interrupted = false;           // the call ended by handing an interrupt back to the host
  std::string interrupt_message;      // the message it gave for hosts that raise one
  long allocations = 0;               // host allocations attempted by the call
  long blocks_reclaimed = 0;          // host blocks still held when the call ended
  long arrays_reclaimed = 0;          // created arrays not handed back as outputs
  long free_store_allocations = 0;    // operator new calls of the called code
  long free_store_live = 0;           // of those, the ones not released when the call ended
  std::vector<std::string> faults;    // misuse of the host interface; empty for a sound call

  const mxArray* output(std::size_t k) const { return outputs.at(k).get(); }
};

CallResult call(MexFunction function, int nlhs, const std::vector<const mxArray*>& inputs,
                CallOptions options = {});

// Calls made without their own fail_free_store_allocation use this one (0: none).
void set_default_free_store_failure(long fail_at);

// Free-store counts of the calls made since the last reset, added up.
struct FreeStoreTotals {
  long allocations = 0;
  long live = 0;
};
FreeStoreTotals free_store_totals();
void reset_free_store_totals();

}  // namespace standin

#endif
