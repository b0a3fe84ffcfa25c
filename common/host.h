// The one door to the MEX host. Everything that differs between hosts (GNU Octave,
// MATLAB, Python, the unit tests' stand-in host) is bridged here once: size types, the operation
// counter that only some hosts have, and the run clock.
#ifndef VORLA_HOST_H
#define VORLA_HOST_H

#include <mex.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

#if defined(VORLA_HOST_OCTAVE)
#include <octave/quit.h>
#elif defined(VORLA_HOST_MATLAB)
// Undocumented but stable in libut: whether Ctrl-C is pending for the running statement.
extern "C" bool utIsInterruptPending(void);
#endif

// The entry point is the one symbol a MEX library exports.
#if defined(_WIN32)
#define VORLA_MEX_EXPORT __declspec(dllexport)
#else
#define VORLA_MEX_EXPORT __attribute__((visibility("default")))
#endif

namespace vorla::host {

// How a training or classification run ended.
enum class Outcome { done, out_of_memory, interrupted };

// An input's dimensions as signed 64-bit counts, whatever the host's mwSize is.
struct Shape {
  std::int64_t dimension_count = 0;
  std::int64_t rows = 0;  // valid when dimension_count is 2
  std::int64_t cols = 0;
};

inline Shape shape_of(const mxArray* array) {
  Shape s;
  s.dimension_count = static_cast<std::int64_t>(mxGetNumberOfDimensions(array));
  if (s.dimension_count == 2) {
    const mwSize* dims = mxGetDimensions(array);
    s.rows = static_cast<std::int64_t>(dims[0]);
    s.cols = static_cast<std::int64_t>(dims[1]);
  }
  return s;
}

// Asks the system to back a large block with huge pages where it can, before anything is
// written into it: on virtual machines the first touch of each small page is costly.
void advise_large_block(void* block, std::size_t bytes);

// advise_large_block for a block that the caller fills completely, which is faulted in here
// a huge page at a time, its contents kept. Where the virtual machine has handed free memory
// back to its host, a huge page can come back cold, at twenty times the cost of a warm one
// and four times that of small pages: past the first few such pages, the rest of the block
// takes small pages, which the system finds warm.
void advise_block_for_writing(void* block, std::size_t bytes);

// Whether count elements of element_size bytes can be stated in bytes at all. A request
// that cannot is never made: GNU Octave multiplies it out in size_t and would hand back a
// block of the wrapped-around size, which the caller would then overrun.
inline bool byte_count_fits(std::uint64_t count, std::size_t element_size) {
  return count <= std::numeric_limits<std::size_t>::max() / element_size;
}

// Makes one host allocation; null when the host has no memory for it. MATLAB then gives
// null; GNU Octave instead raises its own error (or lets std::bad_alloc out of its array
// code), which would end the call with Octave's words and skip the caller's own path for
// no memory. Only those two are taken back here: an interrupt or an exit passes on.
template <class Request>
auto from_host(Request request) -> decltype(request()) {
#if defined(VORLA_HOST_OCTAVE)
  try {
    return request();
  } catch (const octave::execution_exception&) {
    return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
#else
  return request();
#endif
}

// A new real double matrix with undefined contents, or null when the host has no memory
// for it or its size in bytes cannot be represented.
inline mxArray* create_double_matrix(std::int32_t rows, std::int32_t cols) {
  // Both counts are at most 2^31 - 1, so their product fits; its size in bytes may not.
  const std::uint64_t elements = static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(cols);
  if (!byte_count_fits(elements, sizeof(double))) return nullptr;
  // Every element is written by the caller, so the host need not clear them first.
  mxArray* array = from_host([&] {
    return mxCreateUninitNumericMatrix(static_cast<std::size_t>(rows), static_cast<std::size_t>(cols), mxDOUBLE_CLASS,
                                       mxREAL);
  });
  if (array) advise_block_for_writing(mxGetPr(array), static_cast<std::size_t>(elements) * sizeof(double));
  return array;
}

// Cells: the element k (in column order) of a cell array, null for an element never set (a
// host may hand a cell made by a MEX function so); a new rows x cols cell of unset elements,
// or null when the host has no memory for it; and an element set, which the cell then owns.
inline bool is_cell(const mxArray* array) { return mxGetClassID(array) == mxCELL_CLASS; }
inline const mxArray* cell_element(const mxArray* cell, std::int64_t k) {
  return mxGetCell(cell, static_cast<mwIndex>(k));
}
inline mxArray* create_cell(std::int64_t rows, std::int64_t cols) {
  return from_host([&] { return mxCreateCellMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(cols)); });
}
inline void set_cell(mxArray* cell, std::int64_t k, mxArray* element) {
  mxSetCell(cell, static_cast<mwIndex>(k), element);
}

// Host blocks are requested with at least one element, so that an empty result is never
// mistaken for an allocation that failed (hosts differ in their answer to zero bytes). A
// request whose size in bytes cannot be represented is not made: it gives nothing, as a
// host without that much memory would.
inline void* allocate(std::int64_t count, std::size_t element_size) {
  const std::uint64_t elements = count > 0 ? static_cast<std::uint64_t>(count) : 1;
  if (!byte_count_fits(elements, element_size)) return nullptr;
  void* block = from_host([&] { return mxCalloc(static_cast<std::size_t>(elements), element_size); });
  if (block) advise_large_block(block, static_cast<std::size_t>(elements) * element_size);
  return block;
}

// A block like allocate's, whose contents are left undefined: for blocks that the caller
// fills completely, so that the host does not write each page once before the caller does.
inline void* allocate_for_writing(std::int64_t count, std::size_t element_size) {
  const std::uint64_t elements = count > 0 ? static_cast<std::uint64_t>(count) : 1;
  if (!byte_count_fits(elements, element_size)) return nullptr;
  void* block = from_host([&] { return mxMalloc(static_cast<std::size_t>(elements) * element_size); });
  if (block) advise_block_for_writing(block, static_cast<std::size_t>(elements) * element_size);
  return block;
}

// block (from allocate) grown or shrunk to count elements, or null, leaving block as it
// was, when the host has no memory for that.
inline void* reallocate(void* block, std::int64_t count, std::size_t element_size) {
  const std::uint64_t elements = count > 0 ? static_cast<std::uint64_t>(count) : 1;
  if (!byte_count_fits(elements, element_size)) return nullptr;
  return from_host([&] { return mxRealloc(block, static_cast<std::size_t>(elements) * element_size); });
}

// Whether the host keeps a floating-point operation counter: where it does not, a call's
// counts show only in its printed summary.
inline bool has_flop_counter() {
#if defined(VORLA_HOST_STANDIN)
  return standinFlopCounterPresent();
#elif defined(VORLA_HOST_HAS_ADD_FLOPS)
  return true;
#else
  return false;
#endif
}

// Feeds the host's floating-point operation counter where the host keeps one.
inline void add_flops(std::uint32_t count) {
#if defined(VORLA_HOST_HAS_ADD_FLOPS)
  if (has_flop_counter()) mexAddFlops(static_cast<int>(count));
#else
  (void)count;
#endif
}

#if defined(VORLA_HOST_OCTAVE)
// Serves a signal that Octave caught, other than Ctrl-C, as Octave's own functions do, but
// holds back what ends Octave: true when the signal ends Octave (SIGTERM, SIGHUP) or Ctrl-C
// came meanwhile, and then for every later poll until end_interrupted_call carries it out;
// false for a signal that Octave only serves, such as SIGCHLD from a worker that ended.
bool octave_signal_ends_call();
// Carries out what octave_signal_ends_call held back; returns when nothing was held.
void end_call_for_held_signal();
#endif

// Whether the running call must stop: Ctrl-C, or a signal that ends the host. A load or
// two while no signal came, cheap enough to ask between patterns.
inline bool interrupt_requested() {
#if defined(VORLA_HOST_OCTAVE)
  // Octave's handler sets the flag for every signal it catches; a count above 0 is a
  // pending interrupt. Both are read afresh at every poll.
  if (octave_signal_caught == 0) return false;
  if (*static_cast<volatile std::sig_atomic_t*>(&octave_interrupt_state) > 0) return true;
  return octave_signal_ends_call();
#elif defined(VORLA_HOST_MATLAB)
  return utIsInterruptPending();
#elif defined(VORLA_HOST_STANDIN)
  return standinInterruptPending();
#elif defined(VORLA_HOST_PYTHON)
  return vorlaPythonInterruptPending();
#else
  return false;
#endif
}

// Ends a call that an interrupt stopped, once every node and block is released and no
// output is set: the host takes the interrupt as it does for its own functions, so that
// it stops the whole statement or script rather than an error that a try/catch in a loop
// would swallow, and a signal that ends the host ends it. message is the error raised
// where the host cannot take it back.
inline void end_interrupted_call(const char* message) {
#if defined(VORLA_HOST_OCTAVE)
  end_call_for_held_signal();
  // octave_quit throws Octave's interrupt exception, which unwinds to the prompt.
  octave_signal_caught = 1;
  octave_quit();
  mexErrMsgTxt(message);  // only when the interrupt was withdrawn meanwhile
#elif defined(VORLA_HOST_MATLAB)
  // MATLAB documents no way for a MEX function to hand an interrupt back, and a return
  // with outputs unassigned would raise MATLAB's own error instead; an error with an
  // identifier of its own lets a caller's catch tell it apart and rethrow it.
  mexErrMsgIdAndTxt("vorla:interrupted", "%s", message);
#elif defined(VORLA_HOST_STANDIN)
  standinEndInterruptedCall(message);
#elif defined(VORLA_HOST_PYTHON)
  // Python raises the KeyboardInterrupt that the poll took from its signal handler.
  vorlaPythonEndInterruptedCall(message);
#else
  mexErrMsgTxt(message);
#endif
}

// Milliseconds of real time since this library was loaded.
std::int64_t run_clock_ms();

// The run clock in whole seconds, truncated.
inline std::int32_t run_clock_seconds() { return static_cast<std::int32_t>(run_clock_ms() / 1000); }

}  // namespace vorla::host

#endif
