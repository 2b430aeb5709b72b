// Runs the package fuzz target without libFuzzer (any compiler): over every file of a folder
// and, for each, deterministic damage: truncations and flipped bytes. Prints how many inputs
// ran; a crash or sanitizer report fails the test.
//
//   engine_fuzz_replay <folder>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
void run(const std::string& bytes) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: engine_fuzz_replay <folder>\n");
    return 2;
  }
  std::size_t inputs = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1], error)) {
    if (!entry.is_regular_file() || entry.file_size() > (std::uintmax_t{4} << 20)) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    run(bytes);
    ++inputs;
    std::uint32_t seed = 2166136261u;
    for (const char c : entry.path().filename().string())
      seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
    for (int i = 1; i <= 8 && !bytes.empty(); ++i) {
      run(bytes.substr(0, bytes.size() * static_cast<std::size_t>(i) / 9));
      std::string damaged = bytes;
      for (int flips = 0; flips < 4; ++flips) {
        seed = seed * 1664525u + 1013904223u;
        damaged[seed % damaged.size()] ^= static_cast<char>(1 + (seed >> 24) % 255);
      }
      run(damaged);
      inputs += 2;
    }
  }
  std::printf("engine_fuzz_replay: %zu inputs, no crash\n", inputs);
  return 0;
}
