#include "report/sheet_writing.h"

#include <algorithm>
#include <cmath>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "platform/input_file.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "report/cell_address.h"

namespace qx::report {

using namespace automation;

void writeCell(const AutomationObject& range, int row, int column, std::string_view text,
               WrittenCell& cell) {
  cell.arguments[0].setInteger(row);
  cell.arguments[1].setInteger(column);
  cell.arguments[2].fillText([text](std::u16string& room) { platform::gbkToUtf16(text, room); });
  invoke(range, op::kRangeItemPut, cell.arguments);
}

void writeCell(const AutomationObject& range, int row, int column, std::u16string_view text,
               WrittenCell& cell) {
  cell.arguments[0].setInteger(row);
  cell.arguments[1].setInteger(column);
  cell.arguments[2].setText(text);
  invoke(range, op::kRangeItemPut, cell.arguments);
}

void writeCell(const AutomationObject& range, int row, int column, std::string_view text) {
  WrittenCell cell;
  writeCell(range, row, column, text, cell);
}

std::string readCellText(const AutomationObject& range, int row, int column) {
  Variant item = rangeItem(range, Variant::integer(row), Variant::integer(column));
  if (item.type() != VarType::Dispatch || item.objectValue() == nullptr) {
    throw AutomationError(op::kRangeItemGet.name, hr::kTypeMismatch);
  }
  AutomationObject cell;
  cell.attach(item.takeObject(), true);
  const Variant shown = rangeText(cell);
  if (shown.type() == VarType::Bstr) return platform::utf16ToGbk(shown.textValue());
  return {};
}

namespace {
// The bordered-cell step: Range.BorderAround on its own copy of the range, released on return.
void borderAround(AutomationObject range, std::span<const Variant, 4> border) {
  invoke(range, op::kRangeBorderAround, border);
}

double pointsOf(const Variant& value, const Operation& operation) {
  const std::optional<double> points = value.toReal();
  if (!points) throw AutomationError(operation.name, hr::kTypeMismatch);
  return *points;
}
}  // namespace

void frameCell(const AutomationObject& sheet, int column, int row, std::int32_t weight,
               FramedCell& cell) {
  char address[16];
  const std::size_t length = formatCellAddress(column, row, address);
  char16_t wide[16];
  std::copy(address, address + length, wide);  // an address is ASCII
  cell.corners[0].setText(std::u16string_view(wide, length));
  cell.corners[1].setText(std::u16string_view(wide, length));
  cell.range = worksheetRange(sheet, cell.corners);
  if (cell.borderWeight != weight) {
    // The arguments of rangeBorderAround(): line style 1, the weight, colour index 1, colour 0.
    cell.border[0] = Variant::smallInteger(1);
    cell.border[1].setInteger(borderWeightArgument(weight));
    cell.border[2].setInteger(1);
    cell.border[3] = Variant::unsignedInteger(0);
    cell.borderWeight = weight;
  }
  borderAround(cell.range.copy(), cell.border);
}

bool placePicture(AutomationObject sheet, std::string_view corner1, std::string_view corner2,
                  std::string_view picturePath, PictureStyle style, platform::Messages& messages) {
  if (!platform::canOpenForReading(platform::pathFromHostText(picturePath))) {
    if (style != PictureStyle::NearestSingleSilent) {
      messages.show(kMissingPictureMessage, platform::Buttons::Ok);
    }
    return false;
  }
  AutomationObject block;
  {
    const Variant first = Variant::text(platform::gbkToUtf16(corner1));
    const Variant second = Variant::text(platform::gbkToUtf16(corner2));
    block = worksheetRange(sheet, first, second);
  }
  double left = pointsOf(rangeLeft(block), op::kRangeLeft) + 2;
  double top = pointsOf(rangeTop(block), op::kRangeTop) + 3;
  double width = pointsOf(rangeWidth(block), op::kRangeWidth) - 4;
  double height = pointsOf(rangeHeight(block), op::kRangeHeight) - 4;
  if (style == PictureStyle::WholePoints) {
    left = std::trunc(left), top = std::trunc(top);
    width = std::trunc(width), height = std::trunc(height);
  }
  AutomationObject shapes = worksheetShapes(sheet);
  shapesAddPicture(shapes, picturePath, 0, 1, static_cast<float>(left), static_cast<float>(top),
                   static_cast<float>(width), static_cast<float>(height));
  return true;
}

}  // namespace qx::report
