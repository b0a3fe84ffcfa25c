// Runs a fuzz target without libFuzzer, with any compiler: over the files and folders named on
// the command line (the seed corpus, saved crash inputs) and over `--random COUNT` byte strings
// drawn from a fixed seed. A broken promise aborts, as under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

long run_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(data.data(), data.size());
  return 1;
}

long run_path(const std::filesystem::path& path) {
  if (!std::filesystem::is_directory(path)) return run_file(path);
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(path))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  long runs = 0;
  for (const auto& f : files) runs += run_file(f);
  return runs;
}

long run_random(long count) {
  std::mt19937 generator(20240611);
  std::uniform_int_distribution<int> length(0, 700), byte(0, 255);
  std::vector<std::uint8_t> data;
  for (long n = 0; n < count; ++n) {
    data.resize(static_cast<std::size_t>(length(generator)));
    for (std::uint8_t& b : data) b = static_cast<std::uint8_t>(byte(generator));
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 0;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--random" && k + 1 < argc)
      runs += run_random(std::stol(argv[++k]));
    else
      runs += run_path(arg);
  }
  std::printf("%ld inputs ran, all sound\n", runs);
  return 0;
}
