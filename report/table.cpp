#include "report/table.h"

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "report/cell_address.h"
#include "report/sheet_row.h"

namespace qx::report {

namespace op = automation::op;

void Table::write(std::int64_t row, int column, std::string_view text) {
  writeCell(session_.usedRange, sheetRow(row, op::kRangeItemPut, policy_), column, text, written_);
}

void Table::write(std::int64_t row, int column, std::u16string_view text) {
  writeCell(session_.usedRange, sheetRow(row, op::kRangeItemPut, policy_), column, text, written_);
}

void Table::frame(int column, std::int64_t row, std::int32_t weight) {
  if (row < 1 && policy_.frameAboveSheet) {
    throw automation::AutomationError(op::kWorksheetRange.name, *policy_.frameAboveSheet);
  }
  frameCell(session_.sheet, column, sheetRow(row, op::kWorksheetRange, policy_), weight, framed_);
}

std::string Table::readText(std::int64_t row, int column) {
  return readCellText(session_.usedRange, sheetRow(row, op::kRangeItemGet, policy_), column);
}

bool Table::nextSheet() {
  automation::AutomationObject next = automation::worksheetNext(session_.sheet);
  if (next.empty()) return false;
  session_.usedRange.release();
  session_.sheet = std::move(next);
  session_.usedRange = automation::worksheetUsedRange(session_.sheet);
  return true;
}

bool Table::placePicture(std::string_view corner1, std::string_view corner2,
                         std::string_view picturePath) {
  if (!policy_.picture) return false;  // an exporter without pictures places none
  return report::placePicture(session_.sheet.copy(), corner1, corner2, picturePath,
                              *policy_.picture, messages_);
}

bool Table::placePicture(int column, std::int64_t row, std::string_view picturePath) {
  const std::string address = cellAddress(column, sheetRow(row, op::kWorksheetRange, policy_));
  return placePicture(address, address, picturePath);
}

}  // namespace qx::report
