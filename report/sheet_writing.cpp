#include "report/sheet_writing.h"

#include <algorithm>
#include <cmath>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "report/cell_address.h"

namespace qx::report {

using namespace automation;

void writeCell(const AutomationObject& range, int row, int column, std::string_view text) {
  // Built in place: a text Variant copied into an argument list costs an allocation per cell.
  const Variant arguments[] = {Variant::integer(row), Variant::integer(column),
                               Variant::text(platform::gbkToUtf16(text))};
  invoke(range, op::kRangeItemPut, arguments);
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
// Range.BorderAround on a copy of the range; the copy is released on every path.
// The arguments are those of rangeBorderAround(), built in place rather than copied.
void borderCell(AutomationObject range, std::int32_t weight) {
  const Variant arguments[] = {Variant::smallInteger(1),
                               Variant::integer(borderWeightArgument(weight)), Variant::integer(1),
                               Variant::unsignedInteger(0)};
  invoke(range, op::kRangeBorderAround, arguments);
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
  borderCell(cell.range.copy(), weight);
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
