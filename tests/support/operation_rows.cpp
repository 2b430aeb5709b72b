#include "tests/support/operation_rows.h"

namespace qx::testing {

using namespace automation;

OperationSession::OperationSession(const AutomationObject& app) : application(app.copy()) {
  workbooks = applicationWorkbooks(application);
  workbook = workbooksOpen(workbooks, "t.xlsx", OpenArguments());
  sheet = workbookActiveSheet(workbook);
  range = worksheetUsedRange(sheet);
  shapes = worksheetShapes(sheet);
}

std::vector<OperationRow> operationRows() {
  const Variant m = Variant::missing();
  using V = Variant;
  return {
      {"Application.Workbooks",
       572,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { applicationWorkbooks(s.application); }},
      {"Application.Visible",
       558,
       InvokeKind::PropertyPut,
       {V::boolean(true)},
       [](OperationSession& s) { applicationVisible(s.application, true); }},
      {"Application.Quit",
       302,
       InvokeKind::Method,
       {},
       [](OperationSession& s) { applicationQuit(s.application); }},
      {"Workbooks.Open",
       1923,
       InvokeKind::Method,
       {V::text(u"t.xlsx"), m, V::smallInteger(0), m, m, m, m, m, m, m, m, m, m, m, m},
       [](OperationSession& s) {
         OpenArguments trailing;
         trailing.values[1] = Variant::smallInteger(0);
         workbooksOpen(s.workbooks, "t.xlsx", trailing);
       }},
      {"Workbooks.Close",
       277,
       InvokeKind::Method,
       {},
       [](OperationSession& s) { workbooksClose(s.workbooks); }},
      {"Workbook.ActiveSheet",
       307,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { workbookActiveSheet(s.workbook); }},
      {"Workbook.Save",
       283,
       InvokeKind::Method,
       {},
       [](OperationSession& s) { workbookSave(s.workbook); }},
      {"Workbook.Close",
       277,
       InvokeKind::Method,
       {V::boolean(false), V::text(u"t.xlsx"), m},
       [m](OperationSession& s) {
         workbookClose(s.workbook, Variant::boolean(false), Variant::text(u"t.xlsx"), m);
       }},
      {"Worksheet.UsedRange",
       412,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { worksheetUsedRange(s.sheet); }},
      {"Worksheet.Range",
       197,
       InvokeKind::PropertyGet,
       {V::text(u"$A$1"), V::text(u"B2")},
       [](OperationSession& s) {
         worksheetRange(s.sheet, Variant::text(u"$A$1"), Variant::text(u"B2"));
       }},
      {"Worksheet.Shapes",
       1377,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { worksheetShapes(s.sheet); }},
      {"Worksheet.Next",
       502,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { worksheetNext(s.sheet); }},
      {"Range.Item get",
       170,
       InvokeKind::PropertyGet,
       {V::integer(1), V::integer(2)},
       [](OperationSession& s) { rangeItem(s.range, Variant::integer(1), Variant::integer(2)); }},
      {"Range.Item put",
       170,
       InvokeKind::PropertyPut,
       {V::integer(1), V::integer(2), V::text(u"x")},
       [](OperationSession& s) {
         setRangeItem(s.range, Variant::integer(1), Variant::integer(2), Variant::text(u"x"));
       }},
      {"Range.Text",
       138,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { rangeText(s.range); }},
      {"Range.Left",
       127,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { rangeLeft(s.range); }},
      {"Range.Top",
       126,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { rangeTop(s.range); }},
      {"Range.Width",
       122,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { rangeWidth(s.range); }},
      {"Range.Height",
       123,
       InvokeKind::PropertyGet,
       {},
       [](OperationSession& s) { rangeHeight(s.range); }},
      {"Range.BorderAround",
       1067,
       InvokeKind::Method,
       {V::smallInteger(1), V::integer(-4138), V::integer(3), V::unsignedInteger(0xFF00u)},
       [](OperationSession& s) {
         rangeBorderAround(s.range, Variant::smallInteger(1), -4138, 3,
                           Variant::unsignedInteger(0xFF00u));
       }},
      {"Shapes.AddPicture",
       1723,
       InvokeKind::Method,
       {V::text(u"p.bmp"), V::integer(0), V::integer(1), V::single(12.7f), V::single(3.25f),
        V::single(100.5f), V::single(40)},
       [](OperationSession& s) {
         shapesAddPicture(s.shapes, "p.bmp", 0, 1, 12.7f, 3.25f, 100.5f, 40);
       }},
  };
}

}  // namespace qx::testing
