#pragma once
// What every hostile-input case needs around the deliverable it runs: a configuration folder
// and message log of its own, templates copied into it, the call made on a thread of its own
// (the host's thread must come back), the program run as a child (it must exit, not die), and
// the workbook read back by an independent reader.

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

namespace qx::testing {

// A configuration folder (QX_CONF_DIR) with its temp/ and lang/ folders, and the message log
// (QX_MESSAGE_LOG) the deliverables append to, for one case.
class HostSetting {
 public:
  HostSetting();

  const std::filesystem::path& folder() const { return dir_.path(); }
  // A file below the configuration folder's temp/ (the data files, the fixed pictures).
  std::filesystem::path temp(std::string_view name) const;
  // Writes bytes below the case folder; returns the path.
  std::filesystem::path write(std::string_view name, std::string_view bytes) const;
  // Copies a file into the case folder under `name`; returns the copy.
  std::filesystem::path copy(const std::filesystem::path& from, std::string_view name) const;

  // The messages shown so far, one per entry, in order (UTF-8).
  std::vector<std::string> messages() const;

 private:
  TempDir dir_;
  ScopedEnv conf_;
  ScopedEnv log_;
};

// Calls `call` on a thread of its own, as the host calls an export from one of its threads.
// False when the thread has not come back within `deadline`; the test program then cannot go on
// safely and ends itself after reporting.
bool callOnHostThread(const std::function<void()>& call,
                      std::chrono::seconds deadline = std::chrono::seconds(240));

// How a child program ended.
struct ProgramEnd {
  bool exited = false;  // false: killed by a signal, or still running at the deadline
  int code = -1;        // exit code when exited
  int signal = 0;       // the signal that ended it, if one did
};
ProgramEnd runProgram(const std::filesystem::path& program,
                      std::chrono::seconds deadline = std::chrono::seconds(240));

// The whole file, or an empty text when it cannot be read.
std::string fileBytes(const std::filesystem::path& path);

// A cell of a saved workbook as an independent reader sees it.
struct ShownCell {
  std::string value;   // empty when the cell has none
  std::string border;  // left,right,top,bottom line styles
  bool operator==(const ShownCell&) const = default;
};
// The cells with a value or a border on worksheet `sheet` (0-based) of the workbook, by their
// A1 name; the workbook is read by openpyxl (/usr/bin/python3).
std::map<std::string, ShownCell> readBack(const std::filesystem::path& workbook, int sheet = 0);

// The named cells (A1 names) of worksheet `sheet`, whether they hold anything or not.
std::map<std::string, ShownCell> readCells(const std::filesystem::path& workbook, int sheet,
                                           const std::vector<std::string>& names);

// Streamed for long sheets: how many rows hold a value, and the values of the last of them.
struct RowSummary {
  int rowsWithValues = -1;
  std::vector<std::string> lastRow;
};
RowSummary summarizeRows(const std::filesystem::path& workbook, int sheet = 0);

// Writes a workbook whose used range begins at C3 (and ends at F9), made by openpyxl.
void writeOffsetTemplate(const std::filesystem::path& workbook);

// Number of worksheets openpyxl finds in the workbook.
int sheetCount(const std::filesystem::path& workbook);

// True when the sanitizers' leak checker finds memory lost since its last check (false where
// the build has no leak checker).
bool leaksSinceLastCheck();

// Makes the file or folder immutable (chattr +i): not even root may replace or add to it, the
// way a read-only file stops the user's spreadsheet program. False where the file system does
// not support it. Undone by the destructor.
class Immutable {
 public:
  explicit Immutable(std::filesystem::path path);
  ~Immutable();
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool applied() const { return applied_; }

 private:
  std::filesystem::path path_;
  bool applied_ = false;
};

// The text of the failure message every exporter shows when the server refuses a call.
inline constexpr std::string_view kServerFailurePrefix = "Excel 操作失败: ";

// What the user is told when the host's row list leads back to a record it has already passed.
inline constexpr const char* kLoopingRowListMessage = "行记录链表有环, 无法导出!";

// "模板文件“<path>”, 不存在!" with the path as UTF-8.
std::string templateMissingMessage(std::string_view utf8Path);

// True when `text` starts with `prefix`.
inline bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace qx::testing
