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

#if defined(__linux__) || defined(__unix__) || defined(__APPLE__)
// Version stamp: the same strings that the Windows build carries in its string table
// (entries 100 and 101 of version.rc), kept in read-only data where `strings` finds them.
extern "C" {
__attribute__((used)) const char vorla_version_stamp_100[] = "MATLAB 5.1 native";
__attribute__((used)) const char vorla_version_stamp_101[] = "not inlined";
}
#endif
