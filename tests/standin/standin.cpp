#include "standin.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

struct mxArray_tag {
  mxClassID class_id = mxDOUBLE_CLASS;
  bool sparse = false;
  bool complex = false;
  std::vector<mwSize> dims;
  std::vector<unsigned char> real;  // element bytes in column order
  std::vector<unsigned char> imag;
  std::vector<mxArray*> cells;  // a cell's elements, owned; null where never set
};

namespace standin {
namespace {

// How mexErrMsgTxt ends a call: an exception that our sources must never catch.
struct ErrorRaised {};
// How an interrupted call is handed back, as Octave's interrupt exception does it.
struct InterruptTaken {};

struct CallState {
  CallOptions options;
  CallResult* result = nullptr;
  std::map<void*, std::size_t> blocks;
  std::set<mxArray*> created;
  std::thread::id caller;                  // only this thread may use the host
  std::atomic<bool> touched_elsewhere{false};  // a host function ran on another thread
};

CallState* current = nullptr;

// Free-store accounting of the called code, on every thread it starts. Host operations raise
// their thread's host_depth, so that what the host allocates for itself is neither counted nor
// made to fail; free_store_lock keeps the counts of threads that allocate at once.
thread_local int host_depth = 0;
std::mutex free_store_lock;
bool counting_free_store = false;
long free_store_fail_at = 0;
long default_free_store_fail_at = 0;
long free_store_count = 0;
FreeStoreTotals totals;
std::set<void*>* free_store_live = nullptr;

struct InHost {
  InHost() { ++host_depth; }
  ~InHost() { --host_depth; }
};

// Entered by every host function: a real host is not safe to call from a worker thread.
struct HostCall : InHost {
  HostCall();
};

void fault(const std::string& what) {
  if (current) current->result->faults.push_back(what);
}

HostCall::HostCall() {
  if (current && std::this_thread::get_id() != current->caller) current->touched_elsewhere = true;
}

// Counts one host allocation and says whether it is the one chosen to fail.
bool allocation_fails() {
  if (!current) return false;
  long n = ++current->result->allocations;
  return current->options.fail_allocation > 0 && n == current->options.fail_allocation;
}

std::size_t element_size(mxClassID id) {
  switch (id) {
    case mxLOGICAL_CLASS: case mxINT8_CLASS: case mxUINT8_CLASS: return 1;
    case mxCHAR_CLASS: case mxINT16_CLASS: case mxUINT16_CLASS: return 2;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
    default: return 0;
  }
}

bool is_numeric_or_logical(mxClassID id) {
  return id == mxLOGICAL_CLASS || (id >= mxDOUBLE_CLASS && id <= mxUINT64_CLASS);
}

std::size_t element_count(const std::vector<mwSize>& dims) {
  std::size_t n = 1;
  for (mwSize d : dims) n *= d;
  return n;
}

// Whether the elements of an array of these dimensions can be stated in bytes in size_t.
bool bytes_fit(const std::vector<mwSize>& dims, std::size_t size) {
  for (mwSize d : dims)
    if (d == 0) return true;
  std::size_t n = size;
  for (mwSize d : dims) {
    if (n > std::numeric_limits<std::size_t>::max() / d) return false;
    n *= d;
  }
  return true;
}

template <class T>
void store(unsigned char* bytes, std::size_t k, double value) {
  T v = static_cast<T>(value);
  std::memcpy(bytes + k * sizeof(T), &v, sizeof(T));
}

void store_value(mxClassID id, std::vector<unsigned char>& bytes, std::size_t k, double value) {
  unsigned char* p = bytes.data();
  switch (id) {
    case mxDOUBLE_CLASS: store<double>(p, k, value); break;
    case mxSINGLE_CLASS: store<float>(p, k, value); break;
    case mxLOGICAL_CLASS: store<std::uint8_t>(p, k, value != 0); break;
    case mxINT8_CLASS: store<std::int8_t>(p, k, value); break;
    case mxUINT8_CLASS: store<std::uint8_t>(p, k, value); break;
    case mxINT16_CLASS: store<std::int16_t>(p, k, value); break;
    case mxUINT16_CLASS: store<std::uint16_t>(p, k, value); break;
    case mxINT32_CLASS: store<std::int32_t>(p, k, value); break;
    case mxUINT32_CLASS: store<std::uint32_t>(p, k, value); break;
    case mxINT64_CLASS: store<std::int64_t>(p, k, value); break;
    case mxUINT64_CLASS: store<std::uint64_t>(p, k, value); break;
    default: break;
  }
}

template <class T>
double load(const unsigned char* bytes) {
  T v;
  std::memcpy(&v, bytes, sizeof(T));
  return static_cast<double>(v);
}

double first_value(const mxArray* a) {
  const unsigned char* p = a->real.data();
  switch (a->class_id) {
    case mxDOUBLE_CLASS: return load<double>(p);
    case mxSINGLE_CLASS: return load<float>(p);
    case mxLOGICAL_CLASS: case mxUINT8_CLASS: return load<std::uint8_t>(p);
    case mxINT8_CLASS: return load<std::int8_t>(p);
    case mxINT16_CLASS: return load<std::int16_t>(p);
    case mxUINT16_CLASS: return load<std::uint16_t>(p);
    case mxINT32_CLASS: return load<std::int32_t>(p);
    case mxUINT32_CLASS: return load<std::uint32_t>(p);
    case mxINT64_CLASS: return load<std::int64_t>(p);
    case mxUINT64_CLASS: return load<std::uint64_t>(p);
    default: return 0.0;
  }
}

ArrayPtr new_array(mxClassID id, const std::vector<mwSize>& dims) {
  ArrayPtr a(new mxArray);
  a->class_id = id;
  a->dims = dims;
  while (a->dims.size() < 2) a->dims.push_back(1);
  a->real.assign(element_count(a->dims) * element_size(id), 0);
  return a;
}

}  // namespace

ArrayPtr make_array(mxClassID class_id, const std::vector<mwSize>& dims,
                    const std::vector<double>& values) {
  ArrayPtr a = new_array(class_id, dims);
  std::size_t n = element_count(a->dims);
  if (!values.empty() && values.size() != n) throw std::invalid_argument("make_array: value count");
  for (std::size_t k = 0; k < values.size(); ++k) store_value(class_id, a->real, k, values[k]);
  return a;
}

ArrayPtr make_complex(const std::vector<mwSize>& dims, const std::vector<double>& real,
                      const std::vector<double>& imag) {
  ArrayPtr a = make_array(mxDOUBLE_CLASS, dims, real);
  a->complex = true;
  a->imag.assign(a->real.size(), 0);
  for (std::size_t k = 0; k < imag.size(); ++k) store_value(mxDOUBLE_CLASS, a->imag, k, imag[k]);
  return a;
}

ArrayPtr make_matrix(const std::vector<std::vector<double>>& rows) {
  mwSize r = rows.size(), c = rows.empty() ? 0 : rows[0].size();
  std::vector<double> values(r * c);
  for (mwSize i = 0; i < r; ++i) {
    if (rows[i].size() != c) throw std::invalid_argument("make_matrix: ragged rows");
    for (mwSize j = 0; j < c; ++j) values[j * r + i] = rows[i][j];
  }
  return make_array(mxDOUBLE_CLASS, {r, c}, values);
}

ArrayPtr make_double(mwSize rows, mwSize cols, const std::vector<double>& values) {
  return make_array(mxDOUBLE_CLASS, {rows, cols}, values);
}

ArrayPtr make_scalar(double value) { return make_double(1, 1, {value}); }

ArrayPtr make_char(const std::string& text) {
  ArrayPtr a = new_array(mxCHAR_CLASS, {1, text.size()});
  for (std::size_t k = 0; k < text.size(); ++k) a->real[2 * k] = static_cast<unsigned char>(text[k]);
  return a;
}

ArrayPtr make_cell(mwSize rows, mwSize cols, std::vector<ArrayPtr> elements) {
  ArrayPtr a = new_array(mxCELL_CLASS, {rows, cols});
  a->cells.assign(rows * cols, nullptr);
  if (elements.size() > a->cells.size()) throw std::invalid_argument("make_cell: element count");
  for (std::size_t k = 0; k < elements.size(); ++k) a->cells[k] = elements[k].release();
  return a;
}
ArrayPtr make_struct() { return new_array(mxSTRUCT_CLASS, {1, 1}); }
ArrayPtr make_function_handle() { return new_array(mxFUNCTION_CLASS, {1, 1}); }

ArrayPtr make_sparse(mwSize rows, mwSize cols, const std::vector<double>& values) {
  ArrayPtr a = make_array(mxDOUBLE_CLASS, {rows, cols}, values);
  a->sparse = true;
  return a;
}

std::vector<mwSize> dims_of(const mxArray* array) { return array->dims; }

const mxArray* cell_of(const mxArray* array, std::size_t k) {
  if (array->class_id != mxCELL_CLASS) throw std::invalid_argument("cell_of: not a cell");
  return array->cells.at(k);
}

std::vector<double> values_of(const mxArray* array) {
  if (array->class_id != mxDOUBLE_CLASS) throw std::invalid_argument("values_of: not double");
  std::vector<double> v(element_count(array->dims));
  if (!v.empty()) std::memcpy(v.data(), array->real.data(), v.size() * sizeof(double));
  return v;
}

CallResult call(MexFunction function, int nlhs, const std::vector<const mxArray*>& inputs,
                CallOptions options) {
  CallResult result;
  CallState state;
  state.options = options;
  state.result = &result;
  if (current) throw std::logic_error("standin::call is not re-entrant");

  std::vector<mxArray_tag> before;
  for (const mxArray* a : inputs) before.push_back(*a);
  int output_slots = nlhs > 0 ? nlhs : 1;  // a host always offers the first slot
  std::vector<mxArray*> plhs(output_slots, nullptr);

  state.caller = std::this_thread::get_id();
  current = &state;
  std::set<void*> live;
  free_store_live = &live;
  free_store_count = 0;
  free_store_fail_at = options.fail_free_store_allocation ? options.fail_free_store_allocation
                                                          : default_free_store_fail_at;
  counting_free_store = true;
  try {
    function(nlhs, plhs.data(), static_cast<int>(inputs.size()),
             const_cast<const mxArray**>(inputs.data()));
  } catch (const ErrorRaised&) {
  } catch (const InterruptTaken&) {
  } catch (...) {
    fault("an exception escaped mexFunction (a real host aborts)");
  }
  counting_free_store = false;
  free_store_live = nullptr;
  if (state.touched_elsewhere) fault("a host function was called from a thread other than the caller's");
  result.free_store_allocations = free_store_count;
  result.free_store_live = static_cast<long>(live.size());
  totals.allocations += result.free_store_allocations;
  totals.live += result.free_store_live;

  for (int k = 0; k < output_slots; ++k) {
    mxArray* out = plhs[k];
    if (!out) {
      if (k < nlhs) result.outputs.emplace_back();
      continue;
    }
    if (!state.created.erase(out)) fault("output " + std::to_string(k + 1) + " was not created by the call");
    if (result.error || result.interrupted) {
      fault(result.error ? "an output was set by a call that raised an error"
                         : "an output was set by a call that was interrupted");
      mxDestroyArray(out);
    } else if (k < nlhs || nlhs == 0) {
      // With no output requested the first slot is the host's ans.
      result.outputs.emplace_back(out);
    } else {
      fault("output slot " + std::to_string(k + 1) + " was set but not requested");
      mxDestroyArray(out);
    }
  }
  if (options.interrupt_at_poll > 0 && result.polls >= options.interrupt_at_poll && !result.interrupted)
    fault("the call went on after an interrupt poll said yes");
  result.arrays_reclaimed = static_cast<long>(state.created.size());
  for (mxArray* a : std::set<mxArray*>(state.created)) mxDestroyArray(a);
  for (auto& block : state.blocks) std::free(block.first);
  result.blocks_reclaimed = static_cast<long>(state.blocks.size());

  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const mxArray* a = inputs[k];
    if (a->real != before[k].real || a->imag != before[k].imag || a->dims != before[k].dims)
      fault("input " + std::to_string(k + 1) + " was modified");
  }
  current = nullptr;
  return result;
}

void set_default_free_store_failure(long fail_at) { default_free_store_fail_at = fail_at; }
FreeStoreTotals free_store_totals() { return totals; }
void reset_free_store_totals() { totals = {}; }

}  // namespace standin

void* operator new(std::size_t size) {
  using namespace standin;
  bool counted = counting_free_store && host_depth == 0;
  if (!counted) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
  }
  InHost bookkeeping;
  std::lock_guard<std::mutex> hold(free_store_lock);
  if (++free_store_count == free_store_fail_at) throw std::bad_alloc();
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  free_store_live->insert(p);
  return p;
}

void* operator new[](std::size_t size) { return operator new(size); }

void operator delete(void* p) noexcept {
  using namespace standin;
  if (!p) return;
  if (free_store_live && host_depth == 0) {
    InHost bookkeeping;
    std::lock_guard<std::mutex> hold(free_store_lock);
    if (free_store_live) free_store_live->erase(p);
  }
  std::free(p);
}

void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }

using standin::current;
using standin::HostCall;
using standin::InHost;
using standin::fault;

extern "C" {

mwSize mxGetNumberOfDimensions(const mxArray* array) { return array->dims.size(); }

const mwSize* mxGetDimensions(const mxArray* array) { return array->dims.data(); }

double mxGetScalar(const mxArray* array) {
  HostCall in_host;
  if (!standin::is_numeric_or_logical(array->class_id) || array->sparse)
    fault("mxGetScalar of a non-numeric array");
  else if (array->real.empty())
    fault("mxGetScalar of an empty array");
  else
    return standin::first_value(array);
  return 0.0;
}

double* mxGetPr(const mxArray* array) {
  HostCall in_host;
  if (array->class_id != mxDOUBLE_CLASS || array->sparse) fault("mxGetPr of an array that does not hold doubles");
  return reinterpret_cast<double*>(const_cast<unsigned char*>(array->real.data()));
}

void* mxGetData(const mxArray* array) {
  HostCall in_host;
  if (!standin::is_numeric_or_logical(array->class_id) || array->sparse) fault("mxGetData of a non-numeric array");
  return const_cast<unsigned char*>(array->real.data());
}

mxClassID mxGetClassID(const mxArray* array) { return array->class_id; }

bool mxIsSparse(const mxArray* array) { return array->sparse; }

mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID class_id,
                              mxComplexity complexity) {
  HostCall in_host;
  if (standin::allocation_fails()) return nullptr;
  std::vector<mwSize> d(dims, dims + ndim);
  if (!standin::bytes_fit(d, standin::element_size(class_id))) {
    standin::fault("an array was requested whose size in bytes wraps around size_t (GNU Octave would make it "
                   "of the wrapped size)");
    return nullptr;
  }
  standin::ArrayPtr made;
  try {
    made = standin::make_array(class_id, d);
    if (complexity == mxCOMPLEX) {
      made->complex = true;
      made->imag.assign(made->real.size(), 0);
    }
  } catch (const std::bad_alloc&) {
    return nullptr;  // as a host without that much memory answers
  } catch (const std::length_error&) {
    return nullptr;  // more than a block can hold: likewise
  }
  mxArray* a = made.release();
  if (current) current->created.insert(a);
  return a;
}

// Its contents are left as garbage (all bits set: NaN), so that a value read before it is
// written shows in the results.
mxArray* mxCreateUninitNumericMatrix(std::size_t m, std::size_t n, mxClassID class_id, mxComplexity complexity) {
  HostCall in_host;
  mwSize dims[2] = {static_cast<mwSize>(m), static_cast<mwSize>(n)};
  mxArray* a = mxCreateNumericArray(2, dims, class_id, complexity);
  if (a) std::fill(a->real.begin(), a->real.end(), static_cast<unsigned char>(0xff));
  return a;
}

void mxDestroyArray(mxArray* array) {
  HostCall in_host;
  if (!array) return;
  if (current) current->created.erase(array);
  for (mxArray* element : array->cells) mxDestroyArray(element);
  delete array;
}

mxArray* mxCreateCellMatrix(mwSize m, mwSize n) {
  HostCall in_host;
  if (standin::allocation_fails()) return nullptr;
  mxArray* a = standin::make_cell(m, n).release();
  if (current) current->created.insert(a);
  return a;
}

mxArray* mxGetCell(const mxArray* array, mwIndex index) {
  HostCall in_host;
  if (array->class_id != mxCELL_CLASS || index >= array->cells.size()) {
    fault("mxGetCell of an element that the array does not have");
    return nullptr;
  }
  return array->cells[index];
}

// The cell takes the element over: it is no longer the call's own array.
void mxSetCell(mxArray* array, mwIndex index, mxArray* value) {
  HostCall in_host;
  if (array->class_id != mxCELL_CLASS || index >= array->cells.size()) {
    fault("mxSetCell of an element that the array does not have");
    return;
  }
  if (!current || !current->created.count(array)) fault("mxSetCell of a cell the call did not create");
  if (array->cells[index]) fault("mxSetCell over an element already set (its array is lost)");
  if (value && (!current || !current->created.erase(value))) fault("mxSetCell of an array the call did not create");
  array->cells[index] = value;
}

// Garbage contents (all bits set), as a real host may hand back.
void* mxMalloc(std::size_t size) {
  HostCall in_host;
  if (!current) fault("mxMalloc outside a call");
  if (standin::allocation_fails()) return nullptr;
  void* block = std::malloc(size ? size : 1);
  if (block) std::memset(block, 0xff, size ? size : 1);
  if (current) current->blocks[block] = size;
  return block;
}

void* mxCalloc(std::size_t count, std::size_t element_size) {
  HostCall in_host;
  if (!current) fault("mxCalloc outside a call");
  if (standin::allocation_fails()) return nullptr;
  if (!standin::bytes_fit({count}, element_size)) {
    standin::fault("mxCalloc of a size in bytes that wraps around size_t");
    return nullptr;
  }
  std::size_t bytes = count * element_size;
  void* block = std::calloc(bytes ? bytes : 1, 1);
  if (current) current->blocks[block] = bytes;
  return block;
}

void* mxRealloc(void* block, std::size_t size) {
  HostCall in_host;
  if (block && (!current || !current->blocks.count(block))) {
    fault("mxRealloc of a block the host did not give");
    return nullptr;
  }
  if (standin::allocation_fails()) return nullptr;
  void* grown = std::realloc(block, size ? size : 1);
  if (current && grown) {
    current->blocks.erase(block);
    current->blocks[grown] = size;
  }
  return grown;
}

void mxFree(void* block) {
  HostCall in_host;
  if (!block) return;
  if (!current || !current->blocks.erase(block)) {
    fault("mxFree of a block the host did not give");
    return;
  }
  std::free(block);
}

void mexErrMsgTxt(const char* message) {
  HostCall in_host;
  if (!current) return;
  ++current->result->error_count;
  current->result->error = message;
  throw standin::ErrorRaised{};
}

void mexWarnMsgTxt(const char* message) {
  HostCall in_host;
  if (current) current->result->warnings.emplace_back(message);
}

int mexPrintf(const char* format, ...) {
  HostCall in_host;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(&text[0], text.size() + 1, format, args);
  va_end(args);
  if (current) current->result->text += text;
  return n;
}

void mexAddFlops(int count) {
  HostCall in_host;
  if (current && !current->options.flop_counter) fault("mexAddFlops called on a host without an operation counter");
  if (current) current->result->flops.push_back(count);
}

bool standinFlopCounterPresent(void) { return !current || current->options.flop_counter; }

bool standinInterruptPending(void) {
  HostCall in_host;
  if (!current) return false;
  const long poll = ++current->result->polls;
  return current->options.interrupt_at_poll > 0 && poll >= current->options.interrupt_at_poll;
}

void standinEndInterruptedCall(const char* message) {
  HostCall in_host;
  if (!current) return;
  standin::CallResult& r = *current->result;
  if (!(current->options.interrupt_at_poll > 0 && r.polls >= current->options.interrupt_at_poll))
    fault("a call ended as interrupted with no interrupt pending");
  if (r.interrupted) fault("an interrupted call was ended twice");
  r.interrupted = true;
  r.interrupt_message = message;
  throw standin::InterruptTaken{};
}

}  // extern "C"
