// The MEX host operations for the Python module. Host blocks and arrays are those of the
// running call: what the engine does not release or hand back, the module reclaims when
// the call ends, as Octave and MATLAB do after a MEX function.
#include "call.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace vorla::python {

thread_local Call* current = nullptr;

std::size_t element_size(mxClassID id) {
  switch (id) {
    case mxLOGICAL_CLASS: case mxINT8_CLASS: case mxUINT8_CLASS: return 1;
    case mxINT16_CLASS: case mxUINT16_CLASS: return 2;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
    default: return 0;
  }
}

mxArray* view_array(mxClassID class_id, const std::vector<mwSize>& dims, void* data) {
  auto* array = new mxArray;
  array->class_id = class_id;
  array->dims = dims;
  while (array->dims.size() < 2) array->dims.push_back(1);
  array->data = data;
  return array;
}

void release_array(mxArray* array) {
  for (mxArray* element : array->cells) {
    if (element) release_array(element);
  }
  if (array->owned) std::free(array->data);
  delete array;
}

namespace {

template <class T>
double first(const void* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return static_cast<double>(value);
}

void* track(void* block) {
  if (block && current) {
    try {
      current->blocks.insert(block);
    } catch (const std::bad_alloc&) {
      std::free(block);
      return nullptr;
    }
  }
  return block;
}

}  // namespace
}  // namespace vorla::python

using vorla::python::current;

extern "C" {

mwSize mxGetNumberOfDimensions(const mxArray* array) { return array->dims.size(); }

const mwSize* mxGetDimensions(const mxArray* array) { return array->dims.data(); }

double mxGetScalar(const mxArray* array) {
  using vorla::python::first;
  const void* p = array->data;
  std::size_t n = 1;
  for (mwSize d : array->dims) n *= d;
  if (n == 0 || !p) return 0.0;
  switch (array->class_id) {
    case mxDOUBLE_CLASS: return first<double>(p);
    case mxSINGLE_CLASS: return first<float>(p);
    case mxLOGICAL_CLASS: case mxUINT8_CLASS: return first<std::uint8_t>(p);
    case mxINT8_CLASS: return first<std::int8_t>(p);
    case mxINT16_CLASS: return first<std::int16_t>(p);
    case mxUINT16_CLASS: return first<std::uint16_t>(p);
    case mxINT32_CLASS: return first<std::int32_t>(p);
    case mxUINT32_CLASS: return first<std::uint32_t>(p);
    case mxINT64_CLASS: return first<std::int64_t>(p);
    case mxUINT64_CLASS: return first<std::uint64_t>(p);
    default: return 0.0;
  }
}

double* mxGetPr(const mxArray* array) { return static_cast<double*>(array->data); }

void* mxGetData(const mxArray* array) { return array->data; }

mxClassID mxGetClassID(const mxArray* array) { return array->class_id; }

bool mxIsSparse(const mxArray*) { return false; }

mxArray* mxCreateUninitNumericMatrix(std::size_t m, std::size_t n, mxClassID class_id, mxComplexity) {
  const std::size_t size = vorla::python::element_size(class_id);
  if (size == 0 || (n != 0 && m > std::numeric_limits<std::size_t>::max() / n / size)) return nullptr;
  const std::size_t bytes = m * n * size;
  void* data = std::malloc(bytes ? bytes : 1);
  if (!data) return nullptr;
  mxArray* array = nullptr;
  try {
    array = vorla::python::view_array(class_id, {m, n}, data);
    array->owned = true;
    if (current) current->created.insert(array);
  } catch (const std::bad_alloc&) {
    if (array) vorla::python::release_array(array);
    else std::free(data);
    return nullptr;
  }
  return array;
}

void mxDestroyArray(mxArray* array) {
  if (!array) return;
  if (current) current->created.erase(array);
  vorla::python::release_array(array);
}

mxArray* mxCreateCellMatrix(mwSize m, mwSize n) {
  if (n != 0 && m > std::numeric_limits<std::size_t>::max() / n / sizeof(mxArray*)) return nullptr;
  mxArray* array = nullptr;
  try {
    array = vorla::python::view_array(mxCELL_CLASS, {m, n}, nullptr);
    array->cells.assign(m * n, nullptr);
    if (current) current->created.insert(array);
  } catch (const std::bad_alloc&) {
    if (array) vorla::python::release_array(array);
    return nullptr;
  }
  return array;
}

mxArray* mxGetCell(const mxArray* array, mwIndex index) {
  return index < array->cells.size() ? array->cells[index] : nullptr;
}

// The cell takes the element over: it goes with the cell, not as an array of the call.
void mxSetCell(mxArray* array, mwIndex index, mxArray* value) {
  if (index >= array->cells.size()) return mxDestroyArray(value);
  if (value && current) current->created.erase(value);
  if (array->cells[index]) mxDestroyArray(array->cells[index]);
  array->cells[index] = value;
}

void* mxMalloc(std::size_t size) { return vorla::python::track(std::malloc(size ? size : 1)); }

void* mxCalloc(std::size_t count, std::size_t element_size) {
  if (element_size != 0 && count > std::numeric_limits<std::size_t>::max() / element_size) return nullptr;
  const std::size_t bytes = count * element_size;
  return vorla::python::track(std::calloc(bytes ? bytes : 1, 1));
}

void* mxRealloc(void* block, std::size_t size) {
  void* grown = std::realloc(block, size ? size : 1);
  if (!grown) return nullptr;
  if (current && grown != block) {
    current->blocks.erase(block);
    if (!vorla::python::track(grown)) return nullptr;
  }
  return grown;
}

void mxFree(void* block) {
  if (!block) return;
  if (current) current->blocks.erase(block);
  std::free(block);
}

void mexErrMsgTxt(const char* message) { throw vorla::python::EngineError{message}; }

void mexWarnMsgTxt(const char* message) {
  if (current) current->warnings.emplace_back(message);
}

int mexPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n > 0 && current) {
    std::string& text = current->text;
    const std::size_t at = text.size();
    text.resize(at + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(&text[at], static_cast<std::size_t>(n) + 1, format, args);
    text.resize(at + static_cast<std::size_t>(n));
  }
  va_end(args);
  return n;
}

bool vorlaPythonInterruptPending(void) {
  vorla::python::Call* call = current;
  if (!call) return false;
  if (call->interrupted) return true;
  // A clock read per poll; Python is asked only every poll_interval.
  const auto now = std::chrono::steady_clock::now();
  if (now < call->next_check) return false;
  call->next_check = now + vorla::python::poll_interval;
  if (call->serve_python && !call->serve_python(*call)) call->interrupted = true;
  return call->interrupted;
}

void vorlaPythonEndInterruptedCall(const char*) { throw vorla::python::Interrupted{}; }

}  // extern "C"
