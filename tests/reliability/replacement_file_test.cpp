// The new copy a save writes: which leftovers a save removes, what it keeps of the old file,
// and how it fails when the file system misbehaves.

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "engine/package/zip_package.h"
#include "engine/save/engine_error.h"
#include "engine/save/replacement_file.h"
#include "engine/save/save_file_system.h"
#include "tests/engine/package_builder.h"
#include "tests/reliability/failing_file_system.h"
#include "tests/reliability/workbook_checks.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
// This test program started again, listing no test, and waited for.
pid_t deadPid() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=-*";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    throw std::runtime_error("cannot start this program again");
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<pid_t>(process.dwProcessId);
}
// A writer that runs: this process, whose copy is another than the one being saved.
pid_t livePid() {
  return static_cast<pid_t>(GetCurrentProcessId());
}
pid_t ownPid() {
  return static_cast<pid_t>(GetCurrentProcessId());
}
// How a network file system reports a write it could not keep.
constexpr int kLateWriteError = ENOSPC;
#else
pid_t deadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}
pid_t livePid() {
  return ::getppid();
}
pid_t ownPid() {
  return ::getpid();
}
constexpr int kLateWriteError = EDQUOT;
#endif

engine::PartContent text(std::string bytes) {
  return {[bytes, done = false](std::string& chunk) mutable {
            if (done) return false;
            chunk = bytes;
            return done = true;
          },
          6};
}

// Saves the package over itself with a new styles part; the failure's text, if any.
std::string saveWithNewStyles(const fs::path& file) {
  try {
    engine::ZipPackage(file.string())
        .save(file.string(), {{"xl/styles.xml", text("<new/>")}}, {}, {});
  } catch (const engine::EngineError& e) {
    return e.what();
  }
  return {};
}

TEST(ReplacementFile, ASaveRemovesOnlyTheCopiesOfWritersOfThisMachineThatAreGone) {
  const TempDir dir;
  const fs::path file = dir.path() / "t.xlsx";
  writePackage(file, minimalWorkbook());
  const std::string target = file.string();
  const std::string dead = engine::replacementPrefix(target, deadPid());
  const std::string deadOther =
      engine::replacementPrefix((dir.path() / "u.xlsx").string(), deadPid());
  // A pid beyond what this machine has, in a name that is otherwise the machine's own.
  std::string tooLargePid = engine::replacementPrefix(target, 1);
  tooLargePid.replace(tooLargePid.find("-1-") + 1, 1, "9999999999");
  struct Case {
    std::string name;
    bool removed;
  } cases[] = {
      {dead + "a1B2c3", true},
      {engine::replacementPrefix(target, livePid()) + "a1B2c3", false},  // a live writer
      {engine::replacementPrefix(target, ownPid()) + "zzzzzz", false},
      {deadOther + "a1B2c3", false},  // the copy of another file
      {dead + "a1B2c", false},        // not a name a save makes
      {dead + "a1B2c3.bak", false},
      {".t.xlsx.qx-saving-" + std::to_string(deadPid()) + "-00000000-a1B2c3",
       false},  // another machine
      {".t.xlsx.qx-saving-a1B2c3", false},
      {tooLargePid + "a1B2c3", false},
      {"t.xlsx.bak", false},
  };
  for (const Case& c : cases) dir.write(c.name, "leftover");
  ASSERT_EQ(saveWithNewStyles(file), "");
  for (const Case& c : cases) EXPECT_EQ(fs::exists(dir.path() / c.name), !c.removed) << c.name;
  EXPECT_EQ(readPackage(file).at("xl/styles.xml"), "<new/>");
}

#ifndef _WIN32
TEST(ReplacementFile, TheSavedFileKeepsItsPermissionsAndItsSymbolicLink) {
  const TempDir dir;
  const fs::path real = dir.path() / "real.xlsx";
  const fs::path link = dir.path() / "link.xlsx";
  writePackage(real, minimalWorkbook());
  ::chmod(real.c_str(), 0640);
  fs::create_symlink(real.filename(), link);
  ASSERT_EQ(saveWithNewStyles(link), "");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readPackage(real).at("xl/styles.xml"), "<new/>");
  struct stat status;
  ASSERT_EQ(::stat(real.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"link.xlsx", "real.xlsx"}));
}
#endif

#ifdef NAME_MAX
constexpr int kNameMax = NAME_MAX;
#else
constexpr int kNameMax = 255;  // Windows, in UTF-16 units
#endif

TEST(ReplacementFile, AFileWhoseNameLeavesNoRoomForTheCopysMarkersStillSaves) {
  const TempDir dir;
  // With the copy's markers (38 bytes) around it, the name would pass the longest name.
  const fs::path file = dir.path() / (std::string(kNameMax - 15, 'n') + ".xlsx");
  writePackage(file, minimalWorkbook());
  ASSERT_EQ(saveWithNewStyles(file), "");
  EXPECT_EQ(readPackage(file).at("xl/styles.xml"), "<new/>");
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{file.filename().string()});
}

TEST(ReplacementFile, TheArchiveIsTheSameWhateverTheWriteBuffer) {
  // A one-byte buffer writes every byte alone and every seek back to a header lands outside
  // the buffer; a larger one rewrites the headers inside it.
  const TempDir dir;
  std::map<std::string, std::string> rawEntries;
  Parts parts;
  int previousWrites = 0;
  for (const std::size_t bytes : {std::size_t{1}, std::size_t{37}, std::size_t{256} << 10}) {
    SCOPED_TRACE(bytes);
    const fs::path file = dir.path() / (std::string("b").append(std::to_string(bytes)) + ".xlsx");
    writePackage(file, minimalWorkbook());
    FailingFileSystem fileSystem;
    fileSystem.setWriteBufferBytes(bytes);
    const engine::ScopedSaveFileSystem use(fileSystem);
    ASSERT_EQ(saveWithNewStyles(file), "");
    if (bytes == 1) {
      rawEntries = readRawEntries(file);
      parts = readPackage(file);
    } else {
      EXPECT_EQ(readRawEntries(file), rawEntries);
      EXPECT_EQ(readPackage(file), parts);
      EXPECT_LT(fileSystem.count(Fault::Write), previousWrites);
    }
    previousWrites = fileSystem.count(Fault::Write);
  }
}

TEST(ReplacementFile, APackageWithoutPartsNeverReplacesTheFile) {
  const TempDir dir;
  const fs::path file = dir.path() / "t.xlsx";
  writePackage(file, {{"a.xml", "<a/>"}});
  const std::string before = fileBytes(file);
  try {
    engine::ZipPackage(file.string()).save(file.string(), {}, {}, {"a.xml"});
    ADD_FAILURE() << "an empty package replaced the file";
  } catch (const engine::EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("unchanged"), std::string::npos) << e.what();
  }
  EXPECT_EQ(fileBytes(file), before);
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"t.xlsx"});
}

// File systems that misbehave in ways a failing call does not cover.
class Misbehaving : public engine::SaveFileSystem {
 public:
  enum Mode { NoNewFile, WritesTakeNothing, CloseFails } mode;
  explicit Misbehaving(Mode m) : mode(m) {}
  int createTemporary(std::string& path) override {
    if (mode != NoNewFile) return SaveFileSystem::createTemporary(path);
    errno = EROFS;
    return -1;
  }
  ssize_t writeAt(int fd, const void* data, std::size_t size, std::int64_t offset) override {
    return mode == WritesTakeNothing ? 0 : SaveFileSystem::writeAt(fd, data, size, offset);
  }
  int close(int fd) override {
    const int status = SaveFileSystem::close(fd);
    if (mode != CloseFails) return status;
    errno = kLateWriteError;
    return -1;
  }
};

TEST(ReplacementFile, AMisbehavingFileSystemFailsTheSaveAndLeavesTheFile) {
  struct Case {
    Misbehaving::Mode mode;
    std::string reason;
  } cases[] = {
      {Misbehaving::NoNewFile,
       "cannot create a file beside it to save into: " + std::string(std::strerror(EROFS))},
      {Misbehaving::WritesTakeNothing,
       "cannot write the new copy: " + std::string(std::strerror(EIO))},
      {Misbehaving::CloseFails,
       "cannot write the new copy: " + std::string(std::strerror(kLateWriteError))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    const TempDir dir;
    const fs::path file = dir.path() / "t.xlsx";
    writePackage(file, minimalWorkbook());
    const std::string before = fileBytes(file);
    Misbehaving fileSystem(c.mode);
    const engine::ScopedSaveFileSystem use(fileSystem);
    EXPECT_EQ(saveWithNewStyles(file),
              file.string() + ": saving failed, the file is unchanged (" + c.reason + ")");
    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"t.xlsx"});
  }
}

}  // namespace
}  // namespace qx::testing
