#include <gtest/gtest.h>

#include "automation/variant.h"
#include "tests/heron/open_files.h"
#include "tests/tamarack/run_fixture.h"

namespace qx::testing {

using namespace qx::tamarack;

namespace {

using Strings = std::vector<std::string>;

TEST_F(TamarackRun, ColumnsAEWBWithTheirTotalRow) {
  serve();
  host.header.slot(slots::kResult[0], platform::utf8ToGbk("报告"), 2, 1);
  host.header.slot(slots::kResult[1], "off", 2, 2, false);
  host.header.text(header_fields::column_spec, "aewb");
  addRow({{'a', "甲"}, {'e', "1"}, {'b', "b1"}});
  addRow({{'a', "乙"}, {'e', "2"}, {'b', "b2"}});
  addRow({{'a', "丙"}, {'e', "4"}, {'b', "b3"}});
  run();

  EXPECT_EQ(shownTexts(), Strings{});
  EXPECT_EQ(cell(1, 2, 1), "报告");
  EXPECT_EQ(cell(1, 2, 2), "");
  const Strings a = {"甲", "乙", "丙"}, e = {"1", "2", "4"}, b = {"b1", "b2", "b3"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cell(1, 5 + i, 1), a[i]);
    EXPECT_EQ(cell(1, 5 + i, 2), e[i]);
    EXPECT_FALSE(server->cell(1, 5 + i, 3).has_value());
    EXPECT_EQ(cell(1, 5 + i, 4), b[i]);
  }
  EXPECT_EQ(cell(1, 8, 1), "总计:");
  EXPECT_EQ(cell(1, 8, 2), "7");
  EXPECT_EQ(framesOn(1), (Strings{"A5", "B5", "C5", "D5", "A6", "B6", "C6", "D6", "A7", "B7", "C7",
                                  "D7", "A8", "B8"}));
  ASSERT_FALSE(server->frames().empty());
  EXPECT_EQ(server->frames()[0].weight.integerValue(), 2);
  EXPECT_EQ(server->saveCount(), 1);
  EXPECT_FALSE(server->workbookClosed() || server->workbooksClosed() || server->quit());
  EXPECT_TRUE(server->visible());
  EXPECT_EQ(server->outstandingReferences(), 0);
  EXPECT_EQ(apartmentsLeft(), 1);  // COM stays initialised for the host's thread
  EXPECT_EQ(host.header.view().int32(header_fields::first_body_row),
            5);  // nothing written back: the template was not shifted
}

TEST_F(TamarackRun, ACharacterThatNamesNoFieldTakesNoColumn) {
  serve();
  host.header.text(header_fields::column_spec, "a-b");
  addRow({{'a', "x"}, {'b', "y"}});
  run();
  EXPECT_EQ(cell(1, 5, 1), "x");
  EXPECT_EQ(cell(1, 5, 2), "y");
  EXPECT_EQ(framesOn(1), (Strings{"A5", "B5"}));
  EXPECT_EQ(server->saveCount(), 1);
}

TEST_F(TamarackRun, PagesSpreadOverWorksheetsWithSubtotalsAndHeadersAgain) {
  serve(3);
  host.header.slot(slots::kResult[0], "title", 2, 1);
  host.header.text(header_fields::column_spec, "ae");
  host.bodyRows(5, 7).pagination(true, /*switchA=*/true, false);
  for (const char* e : {"1", "2", "3", "10"}) addRow({{'a', e}, {'e', e}});
  run();

  EXPECT_EQ(shownTexts(), Strings{});
  EXPECT_EQ(cell(1, 2, 1), "title");
  EXPECT_EQ((Strings{cell(1, 5, 2), cell(1, 6, 2), cell(1, 7, 2)}), (Strings{"1", "2", "3"}));
  EXPECT_EQ(cell(1, 8, 1), "小计:");
  EXPECT_EQ(cell(1, 8, 2), "6");
  EXPECT_EQ(cell(2, 2, 1), "title");  // the header texts again on the next worksheet
  EXPECT_EQ(cell(2, 5, 1), "10");
  EXPECT_EQ(cell(2, 6, 1), "小计:");  // a page has filled before, so the last record closes one
  EXPECT_EQ(cell(2, 6, 2), "10");
  EXPECT_EQ(cell(2, 7, 1), "总计:");
  EXPECT_EQ(cell(2, 7, 2), "16");
  EXPECT_EQ(framesOn(1), (Strings{"A5", "B5", "A6", "B6", "A7", "B7", "A8", "B8"}));
  EXPECT_EQ(framesOn(2), (Strings{"A5", "B5", "A6", "B6", "A7", "B7"}));
  EXPECT_EQ(framesOn(3), Strings{});
  EXPECT_EQ(server->saveCount(), 1);
  EXPECT_EQ(server->outstandingReferences(), 0);
}

TEST_F(TamarackRun, NoSubtotalWhenNoPageFilled) {
  serve();
  host.header.text(header_fields::column_spec, "ae");
  host.bodyRows(5, 10).pagination(true, true, true);
  for (const char* e : {"1", "2", "3"}) addRow({{'e', e}});
  run();
  EXPECT_EQ(cell(1, 7, 2), "3");
  EXPECT_EQ(cell(1, 8, 1), "总计:");
  EXPECT_EQ(cell(1, 8, 2), "6");
  EXPECT_EQ(framesOn(1).size(), 8u);
  for (int row = 1; row <= 10; ++row) EXPECT_NE(cell(1, row, 1), "小计:") << row;
}

TEST_F(TamarackRun, ARecordOnTheLastBodyRowGetsTheSubtotalRowThenTheTotal) {
  serve();
  host.header.text(header_fields::column_spec, "ae");
  host.bodyRows(5, 7).pagination(true, true, false);
  for (const char* e : {"1", "2", "3"}) addRow({{'e', e}});
  run();
  EXPECT_EQ(cell(1, 7, 2), "3");
  EXPECT_EQ(cell(1, 8, 1), "小计:");
  EXPECT_EQ(cell(1, 8, 2), "6");
  EXPECT_EQ(cell(1, 9, 1), "总计:");
  EXPECT_EQ(cell(1, 9, 2), "6");
  EXPECT_EQ(cell(2, 5, 1), "");  // no new page without a record for it
}

TEST_F(TamarackRun, SubtotalSwitchesChooseTheColumns) {
  struct Case {
    bool switchA, switchB;
    Strings subtotalRow, totalRow;  // columns 1 to 4
  };
  // e at 2, n at 3, 8 at 4: each label lands left of its column, over a neighbour's sum.
  const Case cases[] = {
      {true, false, {"小计:", "1", "小计:", "3.00"}, {"总计:", "总计:", "总计:", "3"}},
      {false, true, {"", "小计:", "小计:", "3.00"}, {"总计:", "总计:", "总计:", "3"}},
      {false, false, {"总计:", "总计:", "总计:", "3"}, {"", "", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.switchA) + std::to_string(c.switchB));
    host = ResultHost();
    host.header.text(header_fields::workbook_path, platform::utf8ToGbk(utf8Of(templatePath_)));
    host.header.text(header_fields::column_spec, "aen8");
    host.bodyRows(5, 5).pagination(true, c.switchA, c.switchB);
    addRow({{'e', "1"}, {'n', "1.5"}, {'8', "3"}});
    serve();
    run();
    Strings subtotal, total;
    for (int column = 1; column <= 4; ++column) {
      subtotal.push_back(cell(1, 6, column));
      total.push_back(cell(1, 7, column));
    }
    EXPECT_EQ(subtotal, c.subtotalRow);
    EXPECT_EQ(total, c.totalRow);
  }
}

TEST_F(TamarackRun, OneWorksheetOnlyEndsWithTheMessageAndNoSave) {
  serve(1);
  host.header.text(header_fields::column_spec, "ae");
  host.bodyRows(5, 6).pagination(true, true, false);
  for (const char* e : {"1", "2", "3"}) addRow({{'e', e}});
  // The user is told while the data file is still open; it is closed after the message.
  std::optional<bool> dataOpenWhenTold;
  messages.onShow = [&](const ShownMessage&) { dataOpenWhenTold = openedByThisProcess(dataFile); };
  run();
  EXPECT_EQ(dataOpenWhenTold, true);
  EXPECT_FALSE(openedByThisProcess(dataFile));
  EXPECT_EQ(outcome, report::Outcome::Stopped);
  EXPECT_EQ(shownTexts(), Strings{"工作表不够"});
  EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
  EXPECT_EQ(cell(1, 6, 2), "2");
  EXPECT_EQ(cell(1, 7, 2), "3");  // the first page's subtotal stays
  EXPECT_EQ(server->saveCount(), 0);
  EXPECT_FALSE(server->workbookClosed() || server->workbooksClosed() || server->quit());
  EXPECT_EQ(server->outstandingReferences(), 0);
  EXPECT_EQ(apartmentsLeft(), 1);
}

TEST_F(TamarackRun, AShiftedTemplateMovesRowsAndTellsTheHost) {
  serve().setCellUtf8(1, 5, 1, "已占用");
  for (int n = 1; n <= 5; ++n) host.header.slot(slots::kResult[n - 1], "h", n, 1, n == 1);
  host.header.text(header_fields::column_spec, "ae");
  host.bodyRows(5, 20);
  addRow({{'a', "r1"}, {'e', "4"}});
  addRow({{'a', "r2"}, {'e', "5"}});
  run();

  EXPECT_EQ(host.header.view().int32(header_fields::first_body_row), 6);
  EXPECT_EQ(host.header.view().int32(header_fields::last_body_row), 21);
  for (int n = 0; n < 5; ++n)
    EXPECT_EQ(host.header.view().int32(slots::kResult[n].row), n + 2) << n;
  EXPECT_EQ(cell(1, 2, 1), "h");  // header text 1 moved from row 1
  EXPECT_EQ(cell(1, 6, 1), "r1");
  EXPECT_EQ(cell(1, 7, 1), "r2");
  EXPECT_EQ(cell(1, 8, 1), "总计:");
  EXPECT_EQ(cell(1, 8, 2), "9");
  // Frames stand one row above the written rows.
  EXPECT_EQ(framesOn(1), (Strings{"A5", "B5", "A6", "B6", "A7", "B7"}));
  EXPECT_EQ(server->saveCount(), 1);
}

TEST_F(TamarackRun, WideColumnsUseTwoLetterAddresses) {
  serve();
  host.header.text(header_fields::column_spec, std::string(27, 'w') + "ewa");
  addRow({{'a', "x"}, {'e', "3"}});
  run();
  EXPECT_EQ(cell(1, 5, 30), "x");
  EXPECT_EQ(cell(1, 6, 27), "总计:");
  EXPECT_EQ(cell(1, 6, 28), "3");
  Strings ranges;
  for (const auto& call : server->calls()) {
    if (call.operation() == "Worksheet.Range") {
      ranges.push_back(platform::utf16ToUtf8(call.arguments[0].textValue()));
    }
  }
  ASSERT_EQ(ranges.size(), 32u);
  EXPECT_EQ(ranges[25], "$Z$5");
  EXPECT_EQ(ranges[26], "AA5");
  EXPECT_EQ(ranges[29], "AD5");
  EXPECT_EQ(ranges[30], "AA6");  // the label left of the summed column at 28
  EXPECT_EQ(ranges[31], "AB6");
}

TEST_F(TamarackRun, GrandTotalRoundsHalfUpWhereThePageSubtotalPrintsAsIs) {
  serve();
  host.header.text(header_fields::column_spec, "an");
  host.bodyRows(5, 6).pagination(true, false, true);
  addRow({{'n', "1.2345"}});
  addRow({{'n', "1"}});
  run();
  EXPECT_EQ(cell(1, 7, 1), "小计:");
  EXPECT_EQ(cell(1, 7, 2), "2.234");
  EXPECT_EQ(cell(1, 8, 1), "总计:");
  EXPECT_EQ(cell(1, 8, 2), "2.235");
}

TEST_F(TamarackRun, SummedFieldsReadTheNumberInFront) {
  serve();
  host.header.text(header_fields::column_spec, "aew8wnw0");
  addRow({{'e', " 12abc"}, {'8', "1.5e1x"}, {'n', "2.50"}, {'0', "abc"}});
  addRow({{'e', "-3"}, {'8', ".25"}, {'n', "-0.5"}, {'0', "3"}});
  run();
  Strings total;
  for (int column = 1; column <= 8; ++column) total.push_back(cell(1, 7, column));
  EXPECT_EQ(total, (Strings{"总计:", "9", "总计:", "15.25", "总计:", "2", "总计:", "3"}));
}

TEST_F(TamarackRun, EightExtraColumnsFollowTheSpecWithTheWMask) {
  serve();
  host.header.text(header_fields::column_spec, "abw");
  RecordBytes& row = addRow({{'a', "x"}, {'b', "y"}});
  row.text(kResultExtraColumns[0], "\xCA\xC7");
  for (std::size_t k = 1; k < 8; ++k)
    row.text(kResultExtraColumns[k], std::string{'x', char('0' + k)});
  RecordBytes& off = addRow({{'a', "z"}});
  off.text(kResultExtraColumns[0], "\xCA\xC7 ");  // not exactly "是"
  off.text(kResultExtraColumns[1], "never");
  run();
  EXPECT_EQ(cell(1, 5, 4), "是");
  EXPECT_EQ(cell(1, 5, 5), "x1");
  EXPECT_FALSE(server->cell(1, 5, 6).has_value());  // k = 2 meets the "w" of the spec
  EXPECT_EQ(cell(1, 5, 11), "x7");
  EXPECT_EQ(cell(1, 6, 5), "");
  const Strings frames = framesOn(1);
  ASSERT_EQ(frames.size(), 11u + 3u);
  EXPECT_EQ(frames[5], "F5");
  EXPECT_EQ(frames[10], "K5");
  EXPECT_EQ(frames[13], "C6");
}

TEST_F(TamarackRun, PicturesGoIntoTheirCellSilently) {
  serve();
  const auto picture = writeFile(u8"图片.bmp", "BM");
  host.header.text(header_fields::column_spec, "7a");
  addRow({{'7', utf8Of(picture)}, {'a', "1"}});
  addRow({{'7', utf8Of(dir.path() / "none.bmp")}, {'a', "2"}});
  run();
  EXPECT_EQ(shownTexts(), Strings{});
  ASSERT_EQ(server->pictures().size(), 1u);
  EXPECT_EQ(platform::utf16ToUtf8(server->pictures()[0].filename), utf8Of(picture));
  EXPECT_EQ(server->pictures()[0].left.singleValue(), 2.0f);  // A: 0 + 2
  EXPECT_EQ(server->pictures()[0].top.singleValue(), 63.0f);  // row 5: 60 + 3
  EXPECT_FALSE(server->cell(1, 5, 1).has_value());            // no text for the picture
  EXPECT_EQ(cell(1, 5, 2), "1");
  EXPECT_EQ(framesOn(1), (Strings{"A5", "B5", "A6", "B6"}));
  EXPECT_EQ(server->outstandingReferences(), 0);
}

TEST_F(TamarackRun, NoRowsWritesNothingButSaves) {
  serve();
  host.header.slot(slots::kResult[0], "title", 2, 1);
  host.header.text(header_fields::column_spec, "ae");
  run();
  EXPECT_EQ(shownTexts(), Strings{});
  EXPECT_FALSE(server->cell(1, 2, 1).has_value());
  EXPECT_TRUE(server->frames().empty());
  EXPECT_EQ(server->saveCount(), 1);
  EXPECT_EQ(outcome, report::Outcome::Saved);
}

TEST_F(TamarackRun, AFailedServerCallEndsWithOneMessageAndReleasesEverything) {
  serve();
  host.header.text(header_fields::column_spec, "ae");
  addRow({{'e', "1"}});
  addRow({{'e', "2"}});
  server->failCall("Range.BorderAround", 3, automation::hr::kException,
                   automation::ExceptionInfo{1004, u"Excel", u"边框失败"});
  run();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text.rfind("Excel 操作失败: Range.BorderAround: 边框失败", 0), 0u)
      << messages.shown[0].text;
  EXPECT_EQ(server->saveCount(), 0);
  EXPECT_EQ(server->outstandingReferences(), 0);
  EXPECT_EQ(server->referencesReleased(), server->objectsCreated() + server->referencesAdded());
  EXPECT_EQ(outcome, report::Outcome::Failed);
}

TEST_F(TamarackRun, ARowWithNoCellNameEndsLikeAFailedCall) {
  serve();
  host.header.text(header_fields::column_spec, "a");
  host.bodyRows(0, 20);
  addRow({{'a', "x"}});
  run();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text.rfind("Excel 操作失败: ", 0), 0u);
  EXPECT_EQ(server->saveCount(), 0);
  EXPECT_EQ(server->outstandingReferences(), 0);
}

}  // namespace
}  // namespace qx::testing
