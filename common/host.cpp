#include "host.h"

#include <chrono>
#include <cstdint>
#include <exception>

#if defined(__linux__)
#include <sys/mman.h>

#include <ctime>
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

#if defined(__linux__) && defined(MADV_HUGEPAGE)
namespace {

constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;

// Longer than this on the thread's clock, a huge page's first write came cold: a warm one
// took 0.2 ms, a cold one 4.6 ms, where small pages for the same 2 MB took 1 ms (AMD EPYC
// guest; doc/performance.md).
constexpr std::int64_t cold_fault_ns = 2'000'000;
// The cold huge pages a block takes before the rest of it takes small pages. A huge page
// freed is found warm by the next call that asks, so each call warms a few for the calls
// after it while no call pays for many.
constexpr int cold_pages_taken = 4;

struct PageRange {
  std::uintptr_t first = 0;
  std::uintptr_t last = 0;
};

// The whole huge pages of a block of at least two, advised as such; empty for a smaller one.
PageRange advise_huge_pages(void* block, std::size_t bytes) {
  if (bytes < 2 * huge_page) return {};
  const auto begin = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (begin + huge_page - 1) & ~(huge_page - 1);
  const std::uintptr_t last = (begin + bytes) & ~(huge_page - 1);
  if (last <= first) return {};
  // Only advice: where it is refused, the block is used as it is.
  madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  return {first, last};
}

std::int64_t thread_cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace
#endif

void advise_large_block(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  advise_huge_pages(block, bytes);
#else
  (void)block;
  (void)bytes;
#endif
}

void advise_block_for_writing(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const PageRange pages = advise_huge_pages(block, bytes);
  int cold_pages = 0;
  for (std::uintptr_t page = pages.first; page < pages.last; page += huge_page) {
    const std::int64_t start = thread_cpu_ns();
    // The first byte written back as it is: a write, so that the fault brings a page of its own
    // rather than the shared zero page, and the contents stay. Volatile, since a compiler may
    // drop a store of the value just read, or turn an atomic or of 0 into a load (clang does);
    // the block is the caller's alone until it returns.
    volatile unsigned char* const first_byte = reinterpret_cast<volatile unsigned char*>(page);
    *first_byte = *first_byte;
    if (thread_cpu_ns() - start > cold_fault_ns && ++cold_pages == cold_pages_taken) {
      const std::uintptr_t rest = page + huge_page;
      if (rest < pages.last) madvise(reinterpret_cast<void*>(rest), pages.last - rest, MADV_NOHUGEPAGE);
      return;
    }
  }
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
