// Runs a fuzz target without libFuzzer (any compiler): every file named, and every file of
// every folder named, as it is and with deterministic damage (truncations and flipped bytes).
// A crash, a sanitizer report or a failed property check fails the run; a folder that does
// not exist is passed over, so a checkout without the shared corpus still replays the rest.
//
//   <target>_replay <file or folder>...

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/corpus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// Inputs larger than this are passed over: the replay must stay quick.
constexpr std::uintmax_t kMaxInputBytes = std::uintmax_t{4} << 20;

void run(const std::string& bytes) {
  // A copy of exactly the input's size, so that a read past its end is caught.
  std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(exact.data(), exact.size());
}

std::size_t replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  run(bytes);
  std::size_t inputs = 1;
  std::uint32_t seed = 2166136261u;
  for (const char c : file.filename().string())
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
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <file or folder>...\n", argv[0]);
    return 2;
  }
  std::size_t files = 0, inputs = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path path = argv[i];
    std::error_code error;
    if (path == "--corpus") {
      // The shared corpus: where QX_CORPUS_DIR says, else beside the checkout; never skipped.
      path = qx::testing::corpusFolder();
      if (!std::filesystem::is_directory(path, error)) {
        std::fprintf(stderr, "the corpus folder %s is missing (set QX_CORPUS_DIR)\n",
                     path.string().c_str());
        return 1;
      }
    }
    std::vector<std::filesystem::path> found;
    if (std::filesystem::is_regular_file(path, error)) {
      found.push_back(path);
    } else if (std::filesystem::is_directory(path, error)) {
      for (const auto& entry : std::filesystem::directory_iterator(path, error))
        if (entry.is_regular_file()) found.push_back(entry.path());
    } else {
      std::printf("%s: not found, passed over\n", path.string().c_str());
    }
    for (const auto& file : found) {
      if (std::filesystem::file_size(file, error) > kMaxInputBytes) continue;
      inputs += replay(file);
      ++files;
    }
  }
  std::printf("%s: %zu files, %zu inputs, no finding\n", argv[0], files, inputs);
  return 0;
}
