#include "platform/input_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <optional>

#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::platform;

namespace {

namespace fs = std::filesystem;

// The system's calls with one of them made to fail: an open refused as a file without read
// permission is (whoever runs the tests), or reads that stop after a few bytes.
struct Fault {
  bool refuseOpen = false;
  std::optional<std::size_t> readLimit;  // bytes one read hands over at most
};
Fault fault;

FileCalls faultyCalls() {
  FileCalls calls = systemFileCalls();
  calls.open = [](const fs::path& path) -> std::FILE* {
    if (fault.refuseOpen) {
      errno = EACCES;
      return nullptr;
    }
    return systemFileCalls().open(path);
  };
  calls.read = [](std::FILE* file, void* buffer, std::size_t size) {
    const std::size_t limit = fault.readLimit.value_or(size);
    return systemFileCalls().read(file, buffer, size < limit ? size : limit);
  };
  return calls;
}

TEST(InputFile, OpensFilesOnlyAndReadsWhatTheyHold) {
  struct Case {
    const char* name;
    std::function<fs::path(const TempDir&)> path;
    Fault fault;
    bool opens;
    bool headerReads;  // the first four bytes come whole
    std::string rest;  // what is left after them
  };
  const auto file = [](const TempDir& dir) { return dir.write("data", "HEADrest"); };
  const Case cases[] = {
      {"a file", file, {}, true, true, "rest"},
      {"an empty file",
       [](const auto& dir) { return dir.write("empty", ""); },
       {},
       true,
       false,
       ""},
      {"a missing file",
       [](const auto& dir) { return dir.path() / "missing"; },
       {},
       false,
       false,
       ""},
      {"a folder", [](const auto& dir) { return dir.path(); }, {}, false, false, ""},
      {"a file without read permission", file, {true, {}}, false, false, ""},
      {"a read that stops short", file, {false, 3}, true, false, "Drest"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir dir;
    const fs::path path = c.path(dir);
    fault = c.fault;
    const ScopedFileCalls calls(faultyCalls());
    EXPECT_EQ(canOpenForReading(path), c.opens);
    InputFile input = InputFile::open(path);
    EXPECT_EQ(input.isOpen(), c.opens);
    std::uint8_t header[4] = {};
    EXPECT_EQ(input.readExactly(header), c.headerReads);
    // A short read delivers what it had, and the rest of the file follows it.
    fault.readLimit.reset();
    EXPECT_EQ(input.readRest(), c.rest);
  }
  fault = {};
}

TEST(InputFile, AMoveHandsTheFileOnAndLeavesTheSourceEmpty) {
  const TempDir dir;
  InputFile source = InputFile::open(dir.write("data", "bytes"));
  InputFile target = std::move(source);
  EXPECT_FALSE(source.isOpen());  // NOLINT(bugprone-use-after-move): the moved-from state
  EXPECT_EQ(source.readRest(), "");
  InputFile assigned = InputFile::open(dir.write("other", "other"));
  assigned = std::move(target);
  EXPECT_FALSE(target.isOpen());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(assigned.readRest(), "bytes");
  assigned.close();
  EXPECT_FALSE(assigned.isOpen());
}

}  // namespace
}  // namespace qx::testing
