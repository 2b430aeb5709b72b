#pragma once
// What the reliability tests do to workbooks through the engine, and how they tell an intact
// old file from a complete new one.

#include <filesystem>
#include <string>
#include <vector>

#include "report/workbook_session.h"

namespace qx::testing {

// A cell of the active sheet counted from A1, with its text in code page 936.
struct CellText {
  int row;
  int column;
  std::string text;
};

// A workbook opened through "Excel.Application" as an exporter opens its template.
class OpenWorkbook {
 public:
  explicit OpenWorkbook(const std::filesystem::path& file);
  void write(const std::vector<CellText>& cells) const;
  std::string read(int row, int column) const;
  // Workbook.Save: empty when it succeeded, else the error's description.
  std::string save() const;

 private:
  report::WorkbookSession session_;
  automation::AutomationObject topLeft_;
};

std::string fileBytes(const std::filesystem::path& file);
// Names in the folder, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path& folder);
// Empty when every part of the package reads back whole and the workbook shows `cells`;
// otherwise what is wrong.
std::string problemsIn(const std::filesystem::path& file, const std::vector<CellText>& cells);

}  // namespace qx::testing
