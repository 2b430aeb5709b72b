#pragma once
// The typed operations on the spreadsheet object model, each bound to its DISPID and invoke
// kind. Member names are never looked up at run time. Every operation raises AutomationError
// when the server fails it; object results are new references in a holder of their own.

#include <array>
#include <cstdint>
#include <string_view>

#include "automation/automation_object.h"
#include "automation/variant.h"

namespace qx::automation {

// One member of the object model as the layer calls it.
struct Operation {
  const char* name;  // "Workbooks.Open"
  std::int32_t dispid;
  InvokeKind kind;
};

namespace op {
inline constexpr Operation kApplicationWorkbooks{"Application.Workbooks", 572,
                                                 InvokeKind::PropertyGet};
inline constexpr Operation kApplicationVisible{"Application.Visible", 558, InvokeKind::PropertyPut};
inline constexpr Operation kApplicationQuit{"Application.Quit", 302, InvokeKind::Method};
inline constexpr Operation kWorkbooksOpen{"Workbooks.Open", 1923, InvokeKind::Method};
inline constexpr Operation kWorkbooksClose{"Workbooks.Close", 277, InvokeKind::Method};
inline constexpr Operation kWorkbookActiveSheet{"Workbook.ActiveSheet", 307,
                                                InvokeKind::PropertyGet};
inline constexpr Operation kWorkbookSave{"Workbook.Save", 283, InvokeKind::Method};
inline constexpr Operation kWorkbookClose{"Workbook.Close", 277, InvokeKind::Method};
inline constexpr Operation kWorksheetUsedRange{"Worksheet.UsedRange", 412, InvokeKind::PropertyGet};
inline constexpr Operation kWorksheetRange{"Worksheet.Range", 197, InvokeKind::PropertyGet};
inline constexpr Operation kWorksheetShapes{"Worksheet.Shapes", 1377, InvokeKind::PropertyGet};
inline constexpr Operation kWorksheetNext{"Worksheet.Next", 502, InvokeKind::PropertyGet};
inline constexpr Operation kRangeItemGet{"Range.Item", 170, InvokeKind::PropertyGet};
inline constexpr Operation kRangeItemPut{"Range.Item", 170, InvokeKind::PropertyPut};
inline constexpr Operation kRangeText{"Range.Text", 138, InvokeKind::PropertyGet};
inline constexpr Operation kRangeLeft{"Range.Left", 127, InvokeKind::PropertyGet};
inline constexpr Operation kRangeTop{"Range.Top", 126, InvokeKind::PropertyGet};
inline constexpr Operation kRangeWidth{"Range.Width", 122, InvokeKind::PropertyGet};
inline constexpr Operation kRangeHeight{"Range.Height", 123, InvokeKind::PropertyGet};
inline constexpr Operation kRangeBorderAround{"Range.BorderAround", 1067, InvokeKind::Method};
inline constexpr Operation kShapesAddPicture{"Shapes.AddPicture", 1723, InvokeKind::Method};
}  // namespace op

// Invokes `operation` on `target` and returns the server's result. An empty target, a failed
// HRESULT or a server exception raises AutomationError naming the operation.
Variant invoke(const AutomationObject& target, const Operation& operation,
               std::span<const Variant> arguments = {});

// The 14 VARIANTs that follow Filename in Workbooks.Open: UpdateLinks, ReadOnly, Format,
// Password, WriteResPassword, IgnoreReadOnlyRecommended, Origin, Delimiter, Editable, Notify,
// Converter, AddToMru, Local, CorruptLoad. All missing unless set.
struct OpenArguments {
  OpenArguments();
  std::array<Variant, 14> values;
};

// Texts are narrow code page 936 texts; the layer makes them UTF-16 BSTRs.
AutomationObject applicationWorkbooks(const AutomationObject& application);
void applicationVisible(const AutomationObject& application, bool visible);
void applicationQuit(const AutomationObject& application);
AutomationObject workbooksOpen(const AutomationObject& workbooks, std::string_view filename,
                               const OpenArguments& trailing);
void workbooksClose(const AutomationObject& workbooks);
AutomationObject workbookActiveSheet(const AutomationObject& workbook);
void workbookSave(const AutomationObject& workbook);
void workbookClose(const AutomationObject& workbook, const Variant& saveChanges,
                   const Variant& filename, const Variant& routeWorkbook);
AutomationObject worksheetUsedRange(const AutomationObject& sheet);
AutomationObject worksheetRange(const AutomationObject& sheet, const Variant& cell1,
                                const Variant& cell2);
// The same with the two corners built by the caller, so that none is copied.
AutomationObject worksheetRange(const AutomationObject& sheet, std::span<const Variant, 2> corners);
AutomationObject worksheetShapes(const AutomationObject& sheet);
// The next worksheet in tab order; an empty holder after the last one (not an error).
AutomationObject worksheetNext(const AutomationObject& sheet);
// The VARIANT holding the cell's Range object; the caller takes the object out of it.
Variant rangeItem(const AutomationObject& range, const Variant& rowIndex,
                  const Variant& columnIndex);
void setRangeItem(const AutomationObject& range, const Variant& rowIndex,
                  const Variant& columnIndex, const Variant& value);
Variant rangeText(const AutomationObject& range);
Variant rangeLeft(const AutomationObject& range);
Variant rangeTop(const AutomationObject& range);
Variant rangeWidth(const AutomationObject& range);
Variant rangeHeight(const AutomationObject& range);
Variant rangeBorderAround(const AutomationObject& range, const Variant& lineStyle,
                          std::int32_t weight, std::int32_t colorIndex, const Variant& color);
AutomationObject shapesAddPicture(const AutomationObject& shapes, std::string_view filename,
                                  std::int32_t linkToFile, std::int32_t saveWithDocument,
                                  float left, float top, float width, float height);

}  // namespace qx::automation
