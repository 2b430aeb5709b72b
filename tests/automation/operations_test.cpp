#include "automation/operations.h"

#include <gtest/gtest.h>

#include "automation/automation_error.h"
#include "platform/code_page.h"
#include "tests/support/operation_rows.h"
#include "tests/support/recording_server.h"

namespace qx::testing {

using namespace qx::automation;

namespace {

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

TEST(Operations, EveryRowCarriesItsDispidKindAndArguments) {
  for (const OperationRow& row : operationRows()) {
    SCOPED_TRACE(row.name);
    RecordingServer server(2);
    Objects objects(server);
    OperationSession session(objects.application);
    const std::size_t before = server.calls().size();
    row.call(session);
    ASSERT_EQ(server.calls().size(), before + 1);
    const Call& call = server.calls().back();
    const std::string name = row.name;
    EXPECT_EQ(call.operation(), name.substr(0, name.find(' ')));
    EXPECT_EQ(call.dispid, row.dispid);
    EXPECT_EQ(call.kind, row.kind);
    ASSERT_EQ(call.arguments.size(), row.arguments.size());
    for (std::size_t i = 0; i < row.arguments.size(); ++i) {
      EXPECT_EQ(call.arguments[i], row.arguments[i])
          << "argument " << i << ": " << describe(call.arguments[i]) << ", expected "
          << describe(row.arguments[i]);
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
  const Picture& picture = server.pictures().at(0);
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
               Variant::text(platform::gbkToUtf16(gbk)));
  EXPECT_EQ(server.cell(1, 2, 3), u"\u4E2D\u6587");
  Variant item = rangeItem(objects.range, Variant::integer(2), Variant::integer(3));
  AutomationObject cell;
  cell.attach(item.takeObject());
  EXPECT_EQ(platform::utf16ToGbk(rangeText(cell).textValue()), gbk);
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
}  // namespace qx::testing
