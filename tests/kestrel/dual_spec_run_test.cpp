// Where the table lands, the header texts and the option block.

#include "automation/operations.h"
#include "tests/kestrel/run_fixture.h"

namespace qx::testing {

using namespace qx::kestrel;

namespace {

const std::string kYes = "\xCA\xC7";  // "是"

TEST_F(DualSpecRun, OccupiedFirstCellMovesTheTableDownOnce) {
  struct Case {
    const char* name;
    bool a5, a6, headerAtA5;
    int firstRow;
  };
  const Case cases[] = {
      {"A5 empty", false, false, false, 5},
      {"A5 taken", true, false, false, 6},
      {"A5 and A6 taken", true, true, false, 6},
      {"header text written to A5", false, false, true, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingServer fresh;
    fresh.registerAs();
    if (c.a5) fresh.setCellUtf8(1, 5, 1, "taken");
    if (c.a6) fresh.setCellUtf8(1, 6, 1, "taken too");
    RecordBytes h = header;
    h.text(header_fields::primary_spec, "zb")
        .slot(slots::kDualSpec[0], "title", 5, 1, c.headerAtA5 ? 1 : 0);
    rows = RecordList(row_fields::kSize, row_fields::next);
    rows.add().text(row_fields::primary_b, "first");
    rows.add().text(row_fields::primary_b, "second");
    CapturedMessages shown;
    runDualSpecExport(decodeDualSpecHeader(h.bytes()), rows.first(), shown);
    EXPECT_TRUE(shown.shown.empty());
    EXPECT_EQ(platform::utf16ToGbk(fresh.cell(1, c.firstRow, 2).value_or(u"")), "first");
    EXPECT_EQ(platform::utf16ToGbk(fresh.cell(1, c.firstRow + 1, 2).value_or(u"")), "second");
    ASSERT_EQ(fresh.frames().size(), 4u);
    EXPECT_EQ(fresh.frames()[0].row, c.firstRow);
    // The one cell read is (start row, 1) of the used range, before any header text.
    int reads = 0;
    for (const auto& call : fresh.calls()) {
      if (call.operation() != "Range.Item" || call.kind != automation::InvokeKind::PropertyGet) {
        continue;
      }
      ++reads;
      EXPECT_EQ(call.arguments[0].integerValue(), 5);
      EXPECT_EQ(call.arguments[1].integerValue(), 1);
    }
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(fresh.outstandingReferences(), 0);
  }
}

TEST_F(DualSpecRun, HeaderTextsFollowTheirFlagsAndTheFourthTakesItsPlaceFrom248) {
  header.slot(slots::kDualSpec[0], "one", 1, 1, 1)
      .slot(slots::kDualSpec[1], "two", 2, 2, 0);  // the second not shown
  header.slot(slots::kDualSpec[2], "three", 3, 3, -3)
      .slot(slots::kDualSpec[3], "\xCB\xC4", 4, 30, 1);  // "四"
  header.int32(236, 1).int32(240, 9).int32(244, 9);      // belongs to no text
  run();
  EXPECT_EQ(cell(1, 1), "one");
  EXPECT_EQ(server.cell(1, 2, 2), std::nullopt);
  EXPECT_EQ(cell(3, 3), "three");
  EXPECT_EQ(server.cellUtf8(1, 4, 30), "四");
  EXPECT_EQ(server.cell(1, 9, 9), std::nullopt);
  EXPECT_TRUE(server.frames().empty());  // header texts are not framed
  EXPECT_EQ(server.saveCount(), 1);
}

TEST_F(DualSpecRun, HeaderTextsCountFromTheUsedRangeWhileFramesAreAbsolute) {
  server.setUsedRangeOrigin(1, 2, 3);  // the used range begins at C2
  header.slot(slots::kDualSpec[0], "title", 1, 1, 1)
      .int32(header_fields::start_row, 4)
      .text(header_fields::primary_spec, "b");
  rows.add().text(row_fields::primary_b, "value");
  run();
  EXPECT_EQ(cell(2, 3), "title");
  EXPECT_EQ(cell(5, 3), "value");  // used-range row 4, column 1
  EXPECT_EQ(frameAddresses(), (std::vector<std::string>{"A4"}));
}

TEST_F(DualSpecRun, OnlyTheExactMarkerSwitchesTheOptionBlockOn) {
  struct Case {
    std::string marker;
    bool on;
  };
  const Case cases[] = {
      {kYes, true},        {kYes + "\xB7\xF1", false},  // "是否"
      {kYes + " ", false}, {"", false},
      {"\xB7\xF1", false}, {"Y", false},
  };
  for (const Case& c : cases) {
    RecordBytes& row = rows.add().text(row_fields::secondary_a, "s");
    row.text(row_fields::option_1, c.marker);
    for (std::size_t i = 1; i < 7; ++i)
      row.text(row_fields::option_1.offset + row_fields::option_1.width * i,
               "opt" + std::to_string(i + 1));
  }
  header.text(header_fields::secondary_spec, "a");
  run();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const int row = 5 + static_cast<int>(i);
    SCOPED_TRACE(row);
    EXPECT_EQ(cell(row, 1), "s");
    if (cases[i].on) {
      EXPECT_EQ(cell(row, 2), kYes);  // the marker stands in the first option column
      for (int k = 2; k <= 7; ++k) EXPECT_EQ(cell(row, k + 1), "opt" + std::to_string(k));
    } else {
      EXPECT_EQ(server.cell(1, row, 2), std::nullopt);
    }
  }
  EXPECT_EQ(server.frames().size(), std::size(cases) + 7);
}

TEST_F(DualSpecRun, OptionTextsAreWrittenWhateverThePrimarySpecHolds) {
  RecordBytes& row = rows.add();
  row.text(row_fields::option_1, kYes);
  for (std::size_t i = 1; i < 7; ++i)
    row.text(row_fields::option_1.offset + row_fields::option_1.width * i,
             "opt" + std::to_string(i + 1));
  header.text(header_fields::primary_spec, "zzzzzzz");
  run();
  EXPECT_EQ(cell(5, 8), kYes);
  for (int k = 2; k <= 7; ++k) EXPECT_EQ(cell(5, 7 + k), "opt" + std::to_string(k));
  EXPECT_EQ(server.frames().size(), 14u);
}

TEST_F(DualSpecRun, Column27IsFramedAsAA) {
  rows.add().text(row_fields::option_1, kYes).text(row_fields::option_7, "last");
  header.text(header_fields::primary_spec, std::string(20, 'a'));
  run();
  const std::vector<std::string> frames = frameAddresses();
  ASSERT_EQ(frames.size(), 27u);
  const char* tail[] = {"U5", "V5", "W5", "X5", "Y5", "Z5", "AA5"};
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(frames[20 + i], tail[i]);
  // The short form carries absolute markers, the long form none.
  std::vector<std::string> sent;
  for (const auto& call : server.calls()) {
    if (call.operation() == "Worksheet.Range") {
      sent.push_back(platform::utf16ToUtf8(call.arguments[0].textValue()));
    }
  }
  ASSERT_EQ(sent.size(), 27u);
  EXPECT_EQ(sent[25], "$Z$5");
  EXPECT_EQ(sent[26], "AA5");
  EXPECT_EQ(cell(5, 27), "last");
  EXPECT_EQ(server.frames()[26].weight.integerValue(), 2);
}

TEST_F(DualSpecRun, EmptySpecsStillAdvanceOneRowPerRecord) {
  rows.add();
  rows.add().text(row_fields::option_1, kYes).text(row_fields::option_2, "two");
  rows.add();
  rows.add().text(row_fields::option_1, kYes);
  run();
  EXPECT_EQ(cell(6, 1), kYes);
  EXPECT_EQ(cell(6, 2), "two");
  EXPECT_EQ(cell(8, 1), kYes);
  EXPECT_EQ(server.frames().size(), 14u);
  for (const auto& frame : server.frames()) EXPECT_TRUE(frame.row == 6 || frame.row == 8);
  EXPECT_EQ(server.saveCount(), 1);
}

TEST_F(DualSpecRun, ANullRowListStillWritesTheHeaderAndSaves) {
  header.slot(slots::kDualSpec[0], "title", 1, 2, 1).text(header_fields::primary_spec, "ab");
  run();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(cell(1, 2), "title");
  EXPECT_TRUE(server.frames().empty());
  EXPECT_EQ(server.saveCount(), 1);
  EXPECT_TRUE(server.visible());
  EXPECT_FALSE(server.workbookClosed());
  EXPECT_FALSE(server.quit());
  EXPECT_EQ(server.outstandingReferences(), 0);
  EXPECT_EQ(automation::apartmentDepthForTesting(), depthBefore + 1);
}

TEST_F(DualSpecRun, ASuccessfulRunOpensSavesReleasesAndKeepsTheApartment) {
  rows.add().text(row_fields::primary_b, "b");
  header.text(header_fields::primary_spec, "b")
      .int32(header_fields::border_weight, 65538);  // only the low 16 bits travel
  run();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(platform::utf16ToGbk(server.openedFilename()), templatePath);
  ASSERT_EQ(server.openArguments().size(), 15u);
  EXPECT_EQ(server.openArguments()[2].smallIntegerValue(), 0);  // ReadOnly
  EXPECT_EQ(server.frames().at(0).weight.integerValue(), 2);
  EXPECT_EQ(server.operations().back(), "Workbook.Save");
  EXPECT_EQ(server.outstandingReferences(), 0);
  EXPECT_EQ(automation::apartmentDepthForTesting(), depthBefore + 1);
  // A second run on the same thread initialises again and succeeds.
  run();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(server.saveCount(), 2);
  EXPECT_EQ(automation::apartmentDepthForTesting(), depthBefore + 2);
}

}  // namespace
}  // namespace qx::testing
