// Saving a real workbook while one of its writes, fsyncs or renames fails: whichever fails,
// the file is afterwards the old one byte for byte or the whole new one, the save says so,
// and nothing else is left in the folder.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/save/save_file_system.h"
#include "platform/code_page.h"
#include "tests/reliability/failing_file_system.h"
#include "tests/reliability/workbook_checks.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

// 28 sheets with tables and pivot tables: many entries, so the faults land in headers, in
// copied data and in generated parts alike.
const char* const kTemplate = "excel2013-pivots-28-sheets.xlsx";
// A small buffer makes a save write often, so that every stretch of the file can fail.
constexpr std::size_t kSmallBuffer = 1024;

void restore(const fs::path& file, const std::string& bytes) {
  fs::remove(file);
  std::ofstream(file, std::ios::binary) << bytes;
}

// Opens the workbook, fills the cells and saves it with `fileSystem` in place; the texts the
// cells showed before saving replace those of `cells`. Returns the save's failure, if any.
std::string fillAndSave(const fs::path& file, std::vector<CellText>& cells,
                        engine::SaveFileSystem& fileSystem) {
  const OpenWorkbook workbook(file);
  workbook.write(cells);
  for (CellText& cell : cells) cell.text = workbook.read(cell.row, cell.column);
  const engine::ScopedSaveFileSystem use(fileSystem);
  return workbook.save();
}

TEST(SaveFaults, EveryFailingWriteFsyncOrRenameLeavesTheOldFileOrTheWholeNewOne) {
  const TempDir dir;
  const fs::path file = dir.path() / "template.xlsx";
  const std::string original = fileBytes(corpusFile(kTemplate));
  const std::vector<CellText> filled = {
      {1, 1, "saved"},   {2, 2, "12.5"}, {3, 3, "1:10"}, {4, 1, platform::utf8ToGbk("中文报表")},
      {5000, 30, "far"}, {7, 4, ""},
  };

  restore(file, original);
  FailingFileSystem clean;
  clean.setWriteBufferBytes(kSmallBuffer);
  std::vector<CellText> cells = filled;
  ASSERT_EQ(fillAndSave(file, cells, clean), "");
  ASSERT_EQ(problemsIn(file, cells), "");
  const int totals[] = {clean.count(Fault::Write), clean.count(Fault::Sync),
                        clean.count(Fault::Rename)};
  // The copy and the folder are flushed, and the copy is renamed once.
  ASSERT_EQ(totals[1], 2);
  ASSERT_EQ(totals[2], 1);
  ASSERT_GT(totals[0], 20);

  struct Case {
    Fault fault;
    int error;
  } cases[] = {{Fault::Write, ENOSPC}, {Fault::Sync, EIO}, {Fault::Rename, EACCES}};
  int injected[3] = {};
  for (const Case& c : cases) {
    const int total = totals[static_cast<int>(c.fault)];
    for (int n = 1; n <= total; ++n) {
      SCOPED_TRACE(std::string(faultName(c.fault)) + " " + std::to_string(n) + " of " +
                   std::to_string(total));
      restore(file, original);
      FailingFileSystem failing;
      failing.setWriteBufferBytes(kSmallBuffer);
      failing.failAt(c.fault, n, c.error);
      cells = filled;
      const std::string failure = fillAndSave(file, cells, failing);
      ASSERT_GE(failing.count(c.fault), n) << "the save made fewer calls than a clean one";
      ++injected[static_cast<int>(c.fault)];

      EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"template.xlsx"});
      const bool old = fileBytes(file) == original;
      EXPECT_EQ(!failure.empty(), old) << failure;
      // Only the folder's flush comes after the rename; every other fault is before it.
      const bool afterRename = c.fault == Fault::Sync && n == total;
      EXPECT_EQ(old, !afterRename);
      if (old) {
        EXPECT_NE(failure.find("saving failed, the file is unchanged"), std::string::npos)
            << failure;
        EXPECT_NE(failure.find(std::strerror(c.error)), std::string::npos) << failure;
      } else {
        EXPECT_EQ(problemsIn(file, cells), "");
      }
    }
  }
  std::printf("injected %d write faults, %d fsync faults, %d rename faults\n", injected[0],
              injected[1], injected[2]);
}

// A template named in Chinese, in a Chinese folder, as the host names it in code page 936:
// saved in place, and left as it was when a write or the rename fails, with nothing beside it.
TEST(SaveFaults, AChineseTemplatePathSavesInPlaceOrIsLeftAsItWas) {
  if (platform::gbkToUtf16(platform::utf8ToGbk("报表")) != u"报表") {
    GTEST_SKIP() << "this process's code page is not 936";
  }
  const TempDir dir;
  const fs::path folder = dir.path() / fs::path(u8"报表 输出");
  fs::create_directory(folder);
  const fs::path file = folder / fs::path(u8"计算书模板（第一版）.xlsx");
  const std::string original = fileBytes(corpusFile(kTemplate));
  const std::vector<CellText> filled = {{1, 1, platform::utf8ToGbk("已保存")}, {2, 2, "3.5"}};
  struct Case {
    Fault fault;
    int nth;  // 0: nothing fails
  } cases[] = {{Fault::Write, 0}, {Fault::Write, 3}, {Fault::Rename, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(faultName(c.fault)) + " " + std::to_string(c.nth));
    restore(file, original);
    FailingFileSystem fileSystem;
    fileSystem.setWriteBufferBytes(kSmallBuffer);
    fileSystem.failAt(c.fault, c.nth, EIO);
    std::vector<CellText> cells = filled;
    const std::string failure = fillAndSave(file, cells, fileSystem);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{file.filename().string()});
    if (c.nth == 0) {
      EXPECT_EQ(failure, "");
      EXPECT_EQ(problemsIn(file, cells), "");
    } else {
      EXPECT_NE(failure.find("saving failed, the file is unchanged"), std::string::npos) << failure;
      EXPECT_EQ(fileBytes(file), original);
    }
  }
}

}  // namespace
}  // namespace qx::testing
