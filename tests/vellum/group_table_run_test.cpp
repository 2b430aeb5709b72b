// The run from entry to return: arguments, template and server checks, header slots, picture,
// save, failures, references and the apartment.

#include "vellum/group_table_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/apartment.h"
#include "automation/dispatch.h"
#include "platform/code_page.h"
#include "platform/messages.h"
#include "report/sheet_writing.h"
#include "tests/vellum/run_fixture.h"

namespace qx::testing {

using namespace qx::vellum;

namespace {

using Strings = std::vector<std::string>;

class GroupTableRun : public GroupTableRunTest {
 protected:
  void oneRecord() {
    header.utf8Text(header_fields::column_spec, "al");
    header.int32(header_fields::time_format, 1);
    rows.add().real(row_fields::time_value, 30);
  }
  void expectNothingStarted(int depthBefore) {
    EXPECT_FALSE(server.created());
    EXPECT_EQ(automation::apartmentDepthForTesting(), depthBefore);
  }
};

TEST_F(GroupTableRun, ASuccessfulRunSavesAndLeavesTheWorkbookOpenAndVisible) {
  oneRecord();
  const int depth = automation::apartmentDepthForTesting();
  run(kVellumRules);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(server.openedFilename(), platform::utf8ToUtf16(templatePath));
  EXPECT_TRUE(server.visible());
  EXPECT_EQ(server.saveCount(), 1);
  EXPECT_FALSE(server.workbookClosed());
  EXPECT_FALSE(server.workbooksClosed());
  EXPECT_FALSE(server.quit());
  EXPECT_EQ(server.outstandingReferences(), 0);
  EXPECT_EQ(automation::apartmentDepthForTesting(), depth + 1);  // COM stays initialised
  EXPECT_EQ(server.operations().back(), "Workbook.Save");
}

TEST_F(GroupTableRun, NullArgumentsOfBothBuilds) {
  oneRecord();
  header.slot(slots::kGroupTable[0], platform::utf8ToGbk("title"), 1, 1, true);
  const int depth = automation::apartmentDepthForTesting();

  exportGroupTable(nullptr, rows.first(), kVellumRules, messages);
  exportGroupTable(header.data(), nullptr, kVellumRules, messages);
  exportGroupTable(nullptr, rows.first(), kVellumXRules, messages);
  exportGroupTable(nullptr, nullptr, kVellumXRules, messages);
  EXPECT_TRUE(messages.shown.empty());
  expectNothingStarted(depth);

  // vellum_x without rows: header slots and save, no body and no total.
  runWithoutRows(kVellumXRules);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(writes(), (Strings{"R1C1=title"}));
  EXPECT_TRUE(server.frames().empty());
  EXPECT_EQ(server.saveCount(), 1);
  EXPECT_EQ(server.outstandingReferences(), 0);
}

TEST_F(GroupTableRun, AMissingTemplateIsNamedAndNothingStarts) {
  header.utf8Text(header_fields::template_path, dir.path().string() + "/缺少.xlsx");
  const int depth = automation::apartmentDepthForTesting();
  run(kVellumXRules);
  std::string expected = "模板文件“";
  expected += dir.path().string();
  expected += "/缺少.xlsx”, 不存在!";
  EXPECT_EQ(messageTexts(), (Strings{expected}));
  EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
  expectNothingStarted(depth);
}

TEST_F(GroupTableRun, ATemplatePathFillingItsWholeFieldIsNamedInFull) {
  std::string longPath = dir.path().string();
  longPath.append(1, '/').append(300, 'p');
  header.raw(header_fields::template_path,
             longPath.substr(0, 256));  // no NUL: the path ends with its field
  runWithoutRows(kVellumXRules);
  std::string expected = "模板文件“";
  expected += longPath.substr(0, 256);
  expected += "”, 不存在!";
  EXPECT_EQ(messageTexts(), (Strings{expected}));
  EXPECT_FALSE(server.created());
}

TEST_F(GroupTableRun, EnvironmentAndServerFailures) {
  oneRecord();
  const int depth = automation::apartmentDepthForTesting();
  automation::failNextApartmentInitializeForTesting(automation::hr::kFail);
  run(kVellumRules);
  EXPECT_EQ(messageTexts(), (Strings{"初始化环境失败!"}));
  expectNothingStarted(depth);

  messages.shown.clear();
  server.failCreation();
  run(kVellumXRules);
  EXPECT_EQ(messageTexts(), (Strings{"无法启动Excel服务器!"}));
  EXPECT_EQ(automation::apartmentDepthForTesting(), depth);  // uninitialised again
  EXPECT_EQ(server.outstandingReferences(), 0);
}

TEST_F(GroupTableRun, AFailingCallEndsTheRunWithOneMessageAndReleasesEverything) {
  struct Case {
    const char* operation;
    int occurrence;
    bool needsPicture = false;
  };
  const Case cases[] = {
      {"Workbooks.Open", 1},          {"Worksheet.UsedRange", 1}, {"Range.Item put", 2},
      {"Worksheet.Range", 3},         {"Range.BorderAround", 2},  {"Range.Left", 1, true},
      {"Shapes.AddPicture", 1, true}, {"Workbook.Save", 1},
  };
  oneRecord();
  const bool picture = writeHostPicture();
  header.int32(header_fields::picture_flag, picture ? 1 : 0)
      .utf8Text(header_fields::picture_first_cell, "B2")
      .utf8Text(header_fields::picture_last_cell, "C3");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    if (c.needsPicture && !picture) continue;
    RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    automation::ExceptionInfo info;
    info.description = u"单元格被保护";
    fresh.failCall(c.operation, c.occurrence, automation::hr::kException, info);
    CapturedMessages shown;
    const int depth = automation::apartmentDepthForTesting();
    exportGroupTable(header.data(), rows.first(), kVellumXRules, shown);
    ASSERT_EQ(shown.shown.size(), 1u);
    const std::string& text = shown.shown[0].text;
    EXPECT_EQ(text.rfind("Excel 操作失败: ", 0), 0u) << text;
    EXPECT_NE(text.find(std::string(c.operation).substr(0, 10)), std::string::npos) << text;
    EXPECT_NE(text.find("单元格被保护"), std::string::npos) << text;
    EXPECT_EQ(shown.shown[0].buttons, platform::Buttons::Ok);
    EXPECT_EQ(fresh.saveCount(), 0);
    EXPECT_EQ(fresh.outstandingReferences(), 0);
    EXPECT_EQ(automation::apartmentDepthForTesting(), depth + 1);
  }
  // The thread is intact: the next run works.
  server.registerAs("Excel.Application");
  run(kVellumXRules);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(server.saveCount(), 1);
}

TEST_F(GroupTableRun, InputOutsideTheSheetEndsTheRunWithAMessage) {
  struct Case {
    const char* name;
    void (*prepare)(RecordBytes&, RecordBytes&);
  };
  const Case cases[] = {
      {"a number too large for its text",
       [](RecordBytes& h, RecordBytes& r) {
         h.utf8Text(header_fields::column_spec, "f");
         r.real(row_fields::value_f, 1e100);
       }},
      {"a start row above the sheet",
       [](RecordBytes& h, RecordBytes&) {
         h.utf8Text(header_fields::column_spec, "a");
         h.int32(header_fields::start_row, 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    RecordBytes record = header;
    RecordList list{row_fields::kSize, row_fields::next};
    c.prepare(record, list.add());
    CapturedMessages shown;
    exportGroupTable(record.data(), list.first(), kVellumRules, shown);
    EXPECT_EQ(shown.shown.size(), 1u);
    EXPECT_EQ(fresh.saveCount(), 0);
    EXPECT_EQ(fresh.outstandingReferences(), 0);
  }
}

TEST_F(GroupTableRun, HeaderSlotsAreWrittenInWritingOrder) {
  // Each slot names row = its number; the triplets lie out of slot order in the record.
  for (int slot = 1; slot <= 24; ++slot) {
    header.slot(slots::kGroupTable[slot - 1],
                platform::utf8ToGbk(platform::format("slot %d", slot)), slot, 2, true);
  }
  runWithoutRows(kVellumXRules);
  Strings expected;
  for (int slot = 1; slot <= 24; ++slot) {
    expected.push_back(platform::format("R%dC2=slot %d", slot, slot));
  }
  EXPECT_EQ(writes(), expected);
}

TEST_F(GroupTableRun, HeaderSlotEdges) {
  server.setCellUtf8(1, 3, 3, "template text");
  server.setCellUtf8(1, 4, 4, "kept");
  header.slot(slots::kGroupTable[20], platform::utf8ToGbk("slot 21"), 2, 2, true);
  header.slot(slots::kGroupTable[21], platform::utf8ToGbk("slot 22"), 2, 2,
              true);  // its triplet lies before slot 3's
  header.slot(slots::kGroupTable[2], platform::utf8ToGbk(""), 3, 3,
              true);  // shown and empty: clears the cell
  header.slot(slots::kGroupTable[3], platform::utf8ToGbk("hidden"), 4, 4, false);
  std::string gbkTitle(132, 'h');
  header.raw(header_fields::slot5_text, gbkTitle);  // slot 5: 132 bytes and the NUL fill its 133
  header.int32(header_fields::slot5_show, 1);
  header.int32(header_fields::slot5_row, 6);
  header.int32(header_fields::slot5_column, 1);
  header.slot(slots::kGroupTable[5], platform::utf8ToGbk("报告标题"), 7, 1, true);
  run(kVellumXRules);
  EXPECT_EQ(cell(2, 2), "slot 22");
  EXPECT_EQ(cell(3, 3), "");
  EXPECT_EQ(cell(4, 4), "kept");
  EXPECT_EQ(cell(6, 1), gbkTitle);
  EXPECT_EQ(cell(7, 1), "报告标题");
  EXPECT_TRUE(server.frames().empty());
}

TEST_F(GroupTableRun, ThePictureCoversTheNamedBlockAsSingles) {
  oneRecord();
  header.int32(header_fields::picture_flag, 1)
      .utf8Text(header_fields::picture_first_cell, "B2")
      .utf8Text(header_fields::picture_last_cell, "C3");
  server.setGeometry(10.7, 15);
  if (!writeHostPicture()) GTEST_SKIP() << "the picture's folder cannot be written here";
  run(kVellumRules);
  EXPECT_TRUE(messages.shown.empty());
  ASSERT_EQ(server.pictures().size(), 1u);
  const Picture& placed = server.pictures()[0];
  EXPECT_EQ(placed.filename, picturePath.u16string());
  EXPECT_EQ(placed.left.singleValue(), static_cast<float>(10.7 + 2));
  EXPECT_EQ(placed.top.singleValue(), 18.0f);
  EXPECT_EQ(placed.width.singleValue(), static_cast<float>(21.4 - 4));
  EXPECT_EQ(placed.height.singleValue(), 26.0f);
  EXPECT_EQ(placed.linkToFile.integerValue(), 0);
  EXPECT_EQ(placed.saveWithDocument.integerValue(), 1);
  // After the body, before the save.
  const Strings operations = server.operations();
  EXPECT_EQ(operations[operations.size() - 2], "Shapes.AddPicture");
  EXPECT_EQ(server.outstandingReferences(), 0);
}

TEST_F(GroupTableRun, AMissingPictureIsToldAndTheWorkbookStillSaved) {
  oneRecord();
  header.int32(header_fields::picture_flag, 1)
      .utf8Text(header_fields::picture_first_cell, "B2")
      .utf8Text(header_fields::picture_last_cell, "C3");
  run(kVellumXRules);
  EXPECT_EQ(messageTexts(), (Strings{std::string(report::kMissingPictureMessage)}));
  EXPECT_TRUE(server.pictures().empty());
  EXPECT_EQ(server.saveCount(), 1);
  EXPECT_EQ(server.outstandingReferences(), 0);
}

TEST_F(GroupTableRun, NoPictureWithoutTheFlag) {
  oneRecord();
  header.int32(header_fields::picture_flag, 0)
      .utf8Text(header_fields::picture_first_cell, "B2")
      .utf8Text(header_fields::picture_last_cell, "C3");
  run(kVellumRules);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(server.pictures().empty());
}

}  // namespace
}  // namespace qx::testing
