#include "automation/operations.h"

#include <gtest/gtest.h>

#include <functional>

#include "automation/automation_error.h"
#include "automation/code_page.h"
#include "tests/support/recording_server.h"

namespace qx::automation {
namespace {

using testing::RecordingServer;

// A workbook session on the recording server, reached only through the typed operations.
struct Objects {
  explicit Objects(RecordingServer& server) {
    server.registerAs("Excel.Application");
    EXPECT_TRUE(application.createByProgId("Excel.Application"));
    workbooks = applicationWorkbooks(application);
    workbook = workbooksOpen(workbooks, "t.xlsx", OpenArguments());
    sheet = workbookActiveSheet(workbook);
    range = worksheetUsedRange(sheet);
    shapes = worksheetShapes(sheet);
  }
  AutomationObject application, workbooks, workbook, sheet, range, shapes;
};

struct Row {
  const char* name;
  std::int32_t dispid;
  InvokeKind kind;
  std::vector<VarType> arguments;
  std::function<void(Objects&)> call;
};

std::vector<Row> operationRows() {
  using V = VarType;
  const Variant m = Variant::missing();
  return {
      {"Application.Workbooks",
       572,
       InvokeKind::PropertyGet,
       {},
       [](Objects& o) { applicationWorkbooks(o.application); }},
      {"Application.Visible",
       558,
       InvokeKind::PropertyPut,
       {V::Bool},
       [](Objects& o) { applicationVisible(o.application, true); }},
      {"Application.Quit",
       302,
       InvokeKind::Method,
       {},
       [](Objects& o) { applicationQuit(o.application); }},
      {"Workbooks.Open",
       1923,
       InvokeKind::Method,
       {V::Bstr, V::Error, V::I2, V::Error, V::Error, V::Error, V::Error, V::Error, V::Error,
        V::Error, V::Error, V::Error, V::Error, V::Error, V::Error},
       [](Objects& o) {
         OpenArguments arguments;
         arguments.values[1] = Variant::smallInteger(0);
         workbooksOpen(o.workbooks, "t.xlsx", arguments);
       }},
      {"Workbooks.Close",
       277,
       InvokeKind::Method,
       {},
       [](Objects& o) { workbooksClose(o.workbooks); }},
      {"Workbook.ActiveSheet",
       307,
       InvokeKind::PropertyGet,
       {},
       [](Objects& o) { workbookActiveSheet(o.workbook); }},
      {"Workbook.Save", 283, InvokeKind::Method, {}, [](Objects& o) { workbookSave(o.workbook); }},
      {"Workbook.Close",
       277,
       InvokeKind::Method,
       {V::Error, V::Bstr, V::Error},
       [m](Objects& o) { workbookClose(o.workbook, m, Variant::text(u"t.xlsx"), m); }},
      {"Worksheet.UsedRange",
       412,
       InvokeKind::PropertyGet,
       {},
       [](Objects& o) { worksheetUsedRange(o.sheet); }},
      {"Worksheet.Range",
       197,
       InvokeKind::PropertyGet,
       {V::Bstr, V::Bstr},
       [](Objects& o) { worksheetRange(o.sheet, Variant::text(u"$A$1"), Variant::text(u"B2")); }},
      {"Worksheet.Shapes",
       1377,
       InvokeKind::PropertyGet,
       {},
       [](Objects& o) { worksheetShapes(o.sheet); }},
      {"Worksheet.Next",
       502,
       InvokeKind::PropertyGet,
       {},
       [](Objects& o) { worksheetNext(o.sheet); }},
      {"Range.Item",
       170,
       InvokeKind::PropertyGet,
       {V::I4, V::I4},
       [](Objects& o) { rangeItem(o.range, Variant::integer(1), Variant::integer(2)); }},
      {"Range.Item",
       170,
       InvokeKind::PropertyPut,
       {V::I4, V::I4, V::Bstr},
       [](Objects& o) {
         setRangeItem(o.range, Variant::integer(1), Variant::integer(2), Variant::text(u"x"));
       }},
      {"Range.Text", 138, InvokeKind::PropertyGet, {}, [](Objects& o) { rangeText(o.range); }},
      {"Range.Left", 127, InvokeKind::PropertyGet, {}, [](Objects& o) { rangeLeft(o.range); }},
      {"Range.Top", 126, InvokeKind::PropertyGet, {}, [](Objects& o) { rangeTop(o.range); }},
      {"Range.Width", 122, InvokeKind::PropertyGet, {}, [](Objects& o) { rangeWidth(o.range); }},
      {"Range.Height", 123, InvokeKind::PropertyGet, {}, [](Objects& o) { rangeHeight(o.range); }},
      {"Range.BorderAround",
       1067,
       InvokeKind::Method,
       {V::I2, V::I4, V::I4, V::UI4},
       [](Objects& o) {
         rangeBorderAround(o.range, Variant::smallInteger(1), 2, 1, Variant::unsignedInteger(0));
       }},
      {"Shapes.AddPicture",
       1723,
       InvokeKind::Method,
       {V::Bstr, V::I4, V::I4, V::R4, V::R4, V::R4, V::R4},
       [](Objects& o) { shapesAddPicture(o.shapes, "p.bmp", 0, 1, 1.5f, 2.5f, 30, 40); }},
  };
}

TEST(Operations, EveryRowCarriesItsDispidKindAndArgumentKinds) {
  for (const Row& row : operationRows()) {
    RecordingServer server(2);
    Objects objects(server);
    const std::size_t before = server.calls().size();
    row.call(objects);
    ASSERT_EQ(server.calls().size(), before + 1) << row.name;
    const testing::Call& call = server.calls().back();
    EXPECT_EQ(call.operation(), row.name);
    EXPECT_EQ(call.dispid, row.dispid) << row.name;
    EXPECT_EQ(call.kind, row.kind) << row.name;
    ASSERT_EQ(call.arguments.size(), row.arguments.size()) << row.name;
    for (std::size_t i = 0; i < row.arguments.size(); ++i) {
      EXPECT_EQ(call.arguments[i].type(), row.arguments[i]) << row.name << " argument " << i;
    }
  }
}

TEST(Operations, VisibleTravelsAsMinusOne) {
  RecordingServer server;
  Objects objects(server);
  applicationVisible(objects.application, true);
  EXPECT_EQ(server.calls().back().arguments.at(0).booleanValue(), -1);
}

TEST(Operations, PictureGeometryTravelsAsSingles) {
  RecordingServer server;
  Objects objects(server);
  shapesAddPicture(objects.shapes, "p.bmp", 0, 1, 12.7f, 3.25f, 100.5f, 40);
  const testing::Picture& picture = server.pictures().at(0);
  EXPECT_EQ(picture.left.singleValue(), 12.7f);
  EXPECT_EQ(picture.top.singleValue(), 3.25f);
  EXPECT_EQ(picture.width.singleValue(), 100.5f);
  EXPECT_EQ(picture.linkToFile.integerValue(), 0);
  EXPECT_EQ(picture.saveWithDocument.integerValue(), 1);
}

TEST(Operations, ChineseTextsReachTheServerAsUtf16AndComeBack) {
  RecordingServer server;
  Objects objects(server);
  const std::string gbk = "\xD6\xD0\xCE\xC4";  // 中文
  setRangeItem(objects.range, Variant::integer(2), Variant::integer(3),
               Variant::text(gbkToUtf16(gbk)));
  EXPECT_EQ(server.cell(1, 2, 3), u"\u4E2D\u6587");
  Variant item = rangeItem(objects.range, Variant::integer(2), Variant::integer(3));
  AutomationObject cell;
  cell.attach(item.takeObject());
  EXPECT_EQ(utf16ToGbk(rangeText(cell).textValue()), gbk);
}

TEST(Operations, NextAfterTheLastSheetIsAnEmptyHolder) {
  RecordingServer server(2);
  Objects objects(server);
  AutomationObject second = worksheetNext(objects.sheet);
  EXPECT_FALSE(second.empty());
  AutomationObject none = worksheetNext(second);
  EXPECT_TRUE(none.empty());
}

TEST(Operations, FailuresRaiseAutomationErrorWithTheServerException) {
  RecordingServer server;
  ExceptionInfo info;
  info.code = 1004;
  info.source = u"Microsoft Excel";
  info.description = u"Cannot open the file.";
  server.failCall("Workbooks.Open", 1, hr::kException, info);
  server.failCall("Workbook.Save", 1, hr::kFail);
  server.registerAs("Excel.Application");
  AutomationObject application;
  ASSERT_TRUE(application.createByProgId("Excel.Application"));
  AutomationObject workbooks = applicationWorkbooks(application);
  try {
    workbooksOpen(workbooks, "t.xlsx", OpenArguments());
    FAIL() << "no error";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.operation(), "Workbooks.Open");
    EXPECT_EQ(static_cast<std::uint32_t>(error.hresult()), 0x80020009u);
    ASSERT_TRUE(error.exception().has_value());
    EXPECT_EQ(error.exception()->code, 1004);
    EXPECT_EQ(error.exception()->source, u"Microsoft Excel");
    EXPECT_STREQ(error.what(), "Workbooks.Open: Cannot open the file. (0x80020009)");
  }
  AutomationObject workbook = workbooksOpen(workbooks, "t.xlsx", OpenArguments());
  try {
    workbookSave(workbook);
    FAIL() << "no error";
  } catch (const AutomationError& error) {
    EXPECT_FALSE(error.exception().has_value());
    EXPECT_STREQ(error.what(), "Workbook.Save: Unspecified failure. (0x80004005)");
  }
}

TEST(Operations, AllReferencesAreReleasedWhenTheHoldersGo) {
  RecordingServer server;
  {
    Objects objects(server);
    worksheetRange(objects.sheet, Variant::text(u"A1"), Variant::text(u"A1"));
    EXPECT_GT(server.outstandingReferences(), 0);
  }
  EXPECT_EQ(server.outstandingReferences(), 0);
}

}  // namespace
}  // namespace qx::automation
