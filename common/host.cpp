#include "host.h"

#include <chrono>

namespace vorla::host {
namespace {

using Clock = std::chrono::steady_clock;

// Initialised when the library is loaded.
const Clock::time_point load_time = Clock::now();

}  // namespace

std::int64_t run_clock_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - load_time).count();
}

}  // namespace vorla::host

#if !defined(_WIN32)
// Version stamp: the strings that the Windows build carries as entries 100 and 101 of its
// string table (version.rc), kept in read-only data where `strings` finds them. The leading
// NUL keeps them apart from whatever data precedes them.
extern "C" __attribute__((used)) const char vorla_version_stamp[] = "\0MATLAB 5.1 native\0not inlined";
#endif
