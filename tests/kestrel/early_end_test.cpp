// How a run ends before, and when the server fails it after, the workbook is open.

#include "automation/automation_error.h"
#include "report/failure_report.h"
#include "tests/kestrel/run_fixture.h"

namespace qx::testing {

using namespace qx::kestrel;

namespace {

TEST_F(DualSpecRun, AMissingTemplateIsNamedAndCreatesNoServer) {
  const std::string missing = platform::hostTextFromPath(dir.path() / "none.xlsx");
  header.text(header_fields::template_path, missing);
  run();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "模板文件“" + missing + "”, 不存在!");
  EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
  EXPECT_FALSE(server.created());
  EXPECT_EQ(automation::apartmentDepthForTesting(), depthBefore);
}

TEST_F(DualSpecRun, TheTemplateMessageHoldsTheWholeLongestPath) {
  // 255 bytes of path: a folder of two-byte characters and percent signs, which stay text.
  std::string path = platform::hostTextFromPath(dir.path()) + "/%s%d";
  while (path.size() + 2 <= 255) path += "\xB1\xA8";  // "报"
  while (path.size() < 255) path += "x";
  header.text(header_fields::template_path, path);
  run();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "模板文件“" + platform::gbkToUtf8(path) + "”, 不存在!");
  EXPECT_FALSE(server.created());
}

TEST_F(DualSpecRun, AnEmptyTemplatePathOrADirectoryIsMissing) {
  for (const std::string& path : {std::string(), platform::hostTextFromPath(dir.path())}) {
    messages.shown.clear();
    header.text(header_fields::template_path, path);
    run();
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"模板文件“" + path + "”, 不存在!"});
  }
  EXPECT_FALSE(server.created());
}

TEST_F(DualSpecRun, AFailedApartmentEndsTheRunBeforeTheServer) {
  automation::failNextApartmentInitializeForTesting(automation::hr::kOutOfMemory);
  run();
  EXPECT_EQ(shownTexts(), std::vector<std::string>{"初始化环境失败!"});
  EXPECT_FALSE(server.created());
  EXPECT_EQ(automation::apartmentDepthForTesting(), depthBefore);
}

TEST_F(DualSpecRun, AServerThatCannotStartHandsTheApartmentBack) {
  server.failCreation();
  rows.add();
  run();
  EXPECT_EQ(shownTexts(), std::vector<std::string>{"无法启动Excel服务器!"});
  EXPECT_EQ(automation::apartmentDepthForTesting(), depthBefore);
  EXPECT_EQ(server.outstandingReferences(), 0);
}

TEST_F(DualSpecRun, AFailedCallEndsTheRunWithOneMessageAndReleasesEverything) {
  struct Case {
    const char* operation;
    int occurrence;
  };
  const Case cases[] = {
      {"Application.Visible", 1}, {"Workbooks.Open", 1},     {"Workbook.ActiveSheet", 1},
      {"Worksheet.UsedRange", 1}, {"Range.Item", 1},         {"Range.Text", 1},
      {"Range.Item put", 1},      {"Range.Item put", 3},     {"Worksheet.Range", 2},
      {"Range.BorderAround", 1},  {"Range.BorderAround", 4}, {"Workbook.Save", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.occurrence));
    RecordingServer failing;
    failing.registerAs();
    const automation::ExceptionInfo exception{static_cast<std::int32_t>(0x800A03ECu), u"Excel",
                                              u"服务器拒绝"};
    failing.failCall(c.operation, c.occurrence, automation::hr::kException, exception);
    RecordBytes h = header;
    h.slot(slots::kDualSpec[0], "title", 1, 1, 1).text(header_fields::primary_spec, "ab");
    rows = RecordList(row_fields::kSize, row_fields::next);
    rows.add().text(row_fields::primary_b, "x");
    rows.add().text(row_fields::primary_b, "y");
    CapturedMessages shown;
    runDualSpecExport(decodeDualSpecHeader(h.bytes()), rows.first(), shown);

    ASSERT_EQ(shown.shown.size(), 1u);
    const std::string operation =
        std::string(c.operation).substr(0, std::string(c.operation).find(' '));
    EXPECT_EQ(shown.shown[0].text, "Excel 操作失败: " + operation + ": 服务器拒绝 (0x80020009)");
    EXPECT_EQ(failing.outstandingReferences(), 0);
    EXPECT_EQ(failing.saveCount(), 0);
    EXPECT_FALSE(failing.quit());
    EXPECT_EQ(automation::apartmentDepthForTesting(), depthBefore);
  }
}

TEST_F(DualSpecRun, AFrameAboveTheFirstRowIsRefusedNotCrashed) {
  server.setUsedRangeOrigin(1, 3, 1);  // used-range row 0 is sheet row 2
  header.int32(header_fields::start_row, 0).text(header_fields::primary_spec, "b");
  rows.add().text(row_fields::primary_b, "x");
  run();
  EXPECT_EQ(cell(2, 1), "x");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text.rfind("Excel 操作失败: Worksheet.Range: ", 0), 0u)
      << messages.shown[0].text;
  EXPECT_EQ(server.saveCount(), 0);
  EXPECT_EQ(server.outstandingReferences(), 0);
}

}  // namespace
}  // namespace qx::testing
