// The Python host's side of one engine call: the host arrays it made, the host blocks it
// holds, what it printed and warned, and how it ended. The module opens a call, runs an
// entry point with the GIL released, and turns what is left into Python objects.
#ifndef VORLA_PYTHON_CALL_H
#define VORLA_PYTHON_CALL_H

#include "mex.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

struct mxArray_tag {
  mxClassID class_id = mxDOUBLE_CLASS;
  std::vector<mwSize> dims;
  void* data = nullptr;
  bool owned = false;  // data came from the host (an output); else it is a NumPy buffer's
  std::vector<mxArray*> cells;  // a cell's elements (null: never set), which it owns
};

namespace vorla::python {

// How mexErrMsgTxt ends a call: unwinds the engine, which releases its nodes on the way.
struct EngineError {
  std::string message;
};
// How an interrupted call ends, once the engine has released everything.
struct Interrupted {};

struct Call {
  std::unordered_set<void*> blocks;
  std::unordered_set<mxArray*> created;
  std::string text;  // printed and not yet written to sys.stdout
  std::vector<std::string> warnings;
  bool interrupted = false;
  // Python's exception from the poll that saw the signal (GIL held when set and used).
  void* exception_type = nullptr;
  void* exception_value = nullptr;
  void* exception_traceback = nullptr;
  std::chrono::steady_clock::time_point next_check{};
  // The function that writes text to sys.stdout and serves Python's signal handlers, with
  // the GIL held: false when a handler raised.
  bool (*serve_python)(Call&) = nullptr;
};

// The call that the engine is running on this thread, or null. Per thread, so that calls
// on several threads each reach their own; only a call's own thread touches its host.
extern thread_local Call* current;

// Time between two looks at Python's signals while the engine runs.
constexpr std::chrono::milliseconds poll_interval{50};

// An input array viewing data (not owned) of the given class and dimensions.
mxArray* view_array(mxClassID class_id, const std::vector<mwSize>& dims, void* data);
void release_array(mxArray* array);
// Bytes per element of a numeric or logical class.
std::size_t element_size(mxClassID id);

}  // namespace vorla::python

#endif
