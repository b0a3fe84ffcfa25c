#include "host.h"

#include <chrono>
#include <cstdint>
#include <exception>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vorla::host {
namespace {

using Clock = std::chrono::steady_clock;

// Initialised when the library is loaded.
const Clock::time_point load_time = Clock::now();

}  // namespace

#if defined(VORLA_HOST_OCTAVE)
namespace {

// What a poll held back until the call has released everything: Octave's own exception.
// It is thrown again as it is, never copied: an exception object made here would be
// destroyed by Octave after it unloaded this library on the way out, and crash it.
std::exception_ptr held;

}  // namespace

bool octave_signal_ends_call() {
  if (held) return true;
  // octave_quit serves the pending signals: it returns after those that leave Octave
  // running and throws for those that end it (having said so and saved the workspace, as
  // Octave does for any function), or for Ctrl-C that came since the caller looked.
  try {
    octave_quit();
    return false;
  } catch (const octave::exit_exception&) {
    held = std::current_exception();
  } catch (const octave::interrupt_exception&) {
    held = std::current_exception();
  }
  // Every later poll of the call answers yes without coming here again.
  octave_signal_caught = 1;
  return true;
}

void end_call_for_held_signal() {
  if (!held) return;
  std::exception_ptr ending = held;
  held = nullptr;
  octave_signal_caught = 0;
  std::rethrow_exception(ending);
}
#endif

std::int64_t run_clock_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - load_time).count();
}

void advise_large_block(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
  if (bytes < 2 * huge_page) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (begin + huge_page - 1) & ~(huge_page - 1);
  const std::uintptr_t last = (begin + bytes) & ~(huge_page - 1);
  // Only advice: where it is refused, the block is used as it is.
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace vorla::host

#if !defined(_WIN32)
// Version stamp: the strings that the Windows build carries as entries 100 and 101 of its
// string table (version.rc), kept in read-only data where `strings` finds them. The leading
// NUL keeps them apart from whatever data precedes them.
extern "C" __attribute__((used)) const char vorla_version_stamp[] = "\0MATLAB 5.1 native\0not inlined";
#endif
