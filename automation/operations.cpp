#include "automation/operations.h"

#include <optional>

#include "automation/automation_error.h"
#include "platform/code_page.h"

namespace qx::automation {

Variant invoke(const AutomationObject& target, const Operation& operation,
               std::span<const Variant> arguments) {
  if (target.empty()) throw AutomationError(operation.name, hr::kInvalidArg);
  Variant result;
  ExceptionInfo exception;
  const std::int32_t status =
      target.get()->invoke(operation.dispid, operation.kind, arguments, result, exception);
  if (hr::failed(status)) {
    std::optional<ExceptionInfo> reported;
    if (status == hr::kException) reported = std::move(exception);
    throw AutomationError(operation.name, status, std::move(reported));
  }
  return result;
}

namespace {
Variant text(std::string_view gbk) {
  return Variant::text(platform::gbkToUtf16(gbk));
}

// The object inside a result; a result that holds none is the server's fault.
AutomationObject objectResult(const Operation& operation, Variant result, bool nullAllowed) {
  AutomationObject holder;
  if (result.type() == VarType::Dispatch) {
    holder.attach(result.takeObject(), true);
  } else if (!(nullAllowed && result.isEmpty())) {
    throw AutomationError(operation.name, hr::kTypeMismatch);
  }
  if (holder.empty() && !nullAllowed) throw AutomationError(operation.name, hr::kTypeMismatch);
  return holder;
}

AutomationObject getObject(const AutomationObject& target, const Operation& operation,
                           std::span<const Variant> arguments = {}) {
  return objectResult(operation, invoke(target, operation, arguments), false);
}
}  // namespace

OpenArguments::OpenArguments() {
  values.fill(Variant::missing());
}

AutomationObject applicationWorkbooks(const AutomationObject& application) {
  return getObject(application, op::kApplicationWorkbooks);
}

void applicationVisible(const AutomationObject& application, bool visible) {
  const Variant value = Variant::boolean(visible);
  invoke(application, op::kApplicationVisible, {&value, 1});
}

void applicationQuit(const AutomationObject& application) {
  invoke(application, op::kApplicationQuit);
}

AutomationObject workbooksOpen(const AutomationObject& workbooks, std::string_view filename,
                               const OpenArguments& trailing) {
  std::array<Variant, 15> arguments;
  arguments[0] = text(filename);
  std::copy(trailing.values.begin(), trailing.values.end(), arguments.begin() + 1);
  return getObject(workbooks, op::kWorkbooksOpen, arguments);
}

void workbooksClose(const AutomationObject& workbooks) {
  invoke(workbooks, op::kWorkbooksClose);
}

AutomationObject workbookActiveSheet(const AutomationObject& workbook) {
  return getObject(workbook, op::kWorkbookActiveSheet);
}

void workbookSave(const AutomationObject& workbook) {
  invoke(workbook, op::kWorkbookSave);
}

void workbookClose(const AutomationObject& workbook, const Variant& saveChanges,
                   const Variant& filename, const Variant& routeWorkbook) {
  const Variant arguments[] = {saveChanges, filename, routeWorkbook};
  invoke(workbook, op::kWorkbookClose, arguments);
}

AutomationObject worksheetUsedRange(const AutomationObject& sheet) {
  return getObject(sheet, op::kWorksheetUsedRange);
}

AutomationObject worksheetRange(const AutomationObject& sheet, const Variant& cell1,
                                const Variant& cell2) {
  const Variant arguments[] = {cell1, cell2};
  return getObject(sheet, op::kWorksheetRange, arguments);
}

AutomationObject worksheetRange(const AutomationObject& sheet,
                                std::span<const Variant, 2> corners) {
  return getObject(sheet, op::kWorksheetRange, corners);
}

AutomationObject worksheetShapes(const AutomationObject& sheet) {
  return getObject(sheet, op::kWorksheetShapes);
}

AutomationObject worksheetNext(const AutomationObject& sheet) {
  return objectResult(op::kWorksheetNext, invoke(sheet, op::kWorksheetNext), true);
}

Variant rangeItem(const AutomationObject& range, const Variant& rowIndex,
                  const Variant& columnIndex) {
  const Variant arguments[] = {rowIndex, columnIndex};
  return invoke(range, op::kRangeItemGet, arguments);
}

void setRangeItem(const AutomationObject& range, const Variant& rowIndex,
                  const Variant& columnIndex, const Variant& value) {
  const Variant arguments[] = {rowIndex, columnIndex, value};
  invoke(range, op::kRangeItemPut, arguments);
}

Variant rangeText(const AutomationObject& range) {
  return invoke(range, op::kRangeText);
}
Variant rangeLeft(const AutomationObject& range) {
  return invoke(range, op::kRangeLeft);
}
Variant rangeTop(const AutomationObject& range) {
  return invoke(range, op::kRangeTop);
}
Variant rangeWidth(const AutomationObject& range) {
  return invoke(range, op::kRangeWidth);
}
Variant rangeHeight(const AutomationObject& range) {
  return invoke(range, op::kRangeHeight);
}

Variant rangeBorderAround(const AutomationObject& range, const Variant& lineStyle,
                          std::int32_t weight, std::int32_t colorIndex, const Variant& color) {
  const Variant arguments[] = {lineStyle, Variant::integer(weight), Variant::integer(colorIndex),
                               color};
  return invoke(range, op::kRangeBorderAround, arguments);
}

AutomationObject shapesAddPicture(const AutomationObject& shapes, std::string_view filename,
                                  std::int32_t linkToFile, std::int32_t saveWithDocument,
                                  float left, float top, float width, float height) {
  const Variant arguments[] = {
      text(filename),         Variant::integer(linkToFile), Variant::integer(saveWithDocument),
      Variant::single(left),  Variant::single(top),         Variant::single(width),
      Variant::single(height)};
  return objectResult(op::kShapesAddPicture, invoke(shapes, op::kShapesAddPicture, arguments),
                      true);
}

}  // namespace qx::automation
