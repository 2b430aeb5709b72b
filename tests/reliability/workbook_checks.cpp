#include "tests/reliability/workbook_checks.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "report/sheet_writing.h"
#include "tests/engine/package_builder.h"

namespace qx::testing {

using automation::Variant;

OpenWorkbook::OpenWorkbook(const std::filesystem::path& file) {
  if (!session_.application.createByProgId(report::kSpreadsheetProgId)) {
    throw std::runtime_error("no Excel.Application");
  }
  // The host names its files in code page 936.
  report::openTemplate(session_, platform::utf16ToGbk(file.u16string()));
  topLeft_ = automation::worksheetRange(session_.sheet, Variant::text(u"A1"), Variant::missing());
}

void OpenWorkbook::write(const std::vector<CellText>& cells) const {
  for (const CellText& cell : cells) {
    report::writeCell(topLeft_, cell.row, cell.column, cell.text);
  }
}

std::string OpenWorkbook::read(int row, int column) const {
  return report::readCellText(topLeft_, row, column);
}

std::string OpenWorkbook::save() const {
  try {
    automation::workbookSave(session_.workbook);
  } catch (const automation::AutomationError& e) {
    return e.description().empty() ? std::string("(failed without a description)")
                                   : e.description();
  }
  return {};
}

std::string fileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> folderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string problemsIn(const std::filesystem::path& file, const std::vector<CellText>& cells) {
  try {
    // Reading every part checks each one against its stored checksum and size.
    readPackage(file);
    const OpenWorkbook workbook(file);
    for (const CellText& cell : cells) {
      const std::string shown = workbook.read(cell.row, cell.column);
      if (shown != cell.text) {
        return "row " + std::to_string(cell.row) + " column " + std::to_string(cell.column) +
               " shows \"" + shown + "\" instead of \"" + cell.text + "\"";
      }
    }
  } catch (const automation::AutomationError& e) {
    return e.description();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

}  // namespace qx::testing
