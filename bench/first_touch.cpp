// What fresh memory costs on this machine: the time of the first write to each page of a
// newly allocated block (the page fault and the kernel's zeroing) against a second write to
// the same pages. A large call into a MEX file pays the first for every block the host gives
// it, since blocks that large come straight from the operating system each time.
//
//   build-bench/bench/first_touch [MB]      (default 400)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  const std::size_t bytes = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 400) << 20;
  using Clock = std::chrono::steady_clock;
  unsigned checksum = 0;
  for (int run = 0; run < 3; ++run) {
    auto* block = static_cast<unsigned char*>(std::malloc(bytes));
    if (!block) return 1;
    const auto t0 = Clock::now();
    std::memset(block, 1, bytes);
    const auto t1 = Clock::now();
    std::memset(block, 2, bytes);
    const auto t2 = Clock::now();
    checksum += block[bytes / 3];
    std::free(block);
    const double first = std::chrono::duration<double>(t1 - t0).count();
    const double second = std::chrono::duration<double>(t2 - t1).count();
    std::printf("%zu MB: first write %.3f s (%.2f ns per byte, %.1f us per 4 KB page), second %.3f s (%.2f ns per byte)\n",
                bytes >> 20, first, first / static_cast<double>(bytes) * 1e9,
                first / static_cast<double>(bytes / 4096) * 1e6, second, second / static_cast<double>(bytes) * 1e9);
  }
  return checksum == 6 ? 0 : 1;
}
