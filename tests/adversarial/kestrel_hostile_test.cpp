// kestrel (excel_file) with hostile records from the host: placements outside the sheet, border
// weights the server has no line for, every text slot full to its last byte, a row list of
// 200,000 records, and row lists that loop back on themselves.

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <thread>

#include "platform/code_page.h"
#include "tests/adversarial/deliverables.h"
#include "tests/adversarial/library_run_outcome.h"
#include "tests/support/loaded_library.h"
#include "tests/support/record_bytes.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;
namespace header_fields = platform::records::dual_spec_header;
namespace row_fields = platform::records::dual_spec_row;
using platform::utf8ToGbk;

class KestrelHostile : public ::testing::Test, protected LibraryRunOutcome {
 protected:
  KestrelHostile() : LibraryRunOutcome("kestrel") {
    header.text(header_fields::template_path, hostText(workbook))
        .text(header_fields::primary_spec, "ab")
        .int32(header_fields::start_row, 5)
        .int32(header_fields::border_weight, 2);
  }
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }

  void run(const void* firstRow) {
    callTableExport(kKestrel, "excel_file", header.data(), firstRow);
  }

  RecordBytes header{header_fields::kSize};
  RecordList rows{row_fields::kSize, row_fields::next};
};

struct Placement {
  const char* name;
  std::int32_t row, column;
  const char* refusedBy;  // null: the cell exists and is written
  const char* cell;       // its name, when written
};

class KestrelHeaderPlacement : public KestrelHostile,
                               public ::testing::WithParamInterface<Placement> {};

TEST_P(KestrelHeaderPlacement, OutsideTheSheetEndsWithOneMessage) {
  const Placement& p = GetParam();
  header.slot(slots::kDualSpec[2], utf8ToGbk("标题"), p.row, p.column, 1);
  rows.add().text(row_fields::primary_b, "B1");
  run(rows.first());
  if (p.refusedBy != nullptr) {
    expectRefused(p.refusedBy);
    return;
  }
  expectSaved();
  EXPECT_EQ(readCells(workbook, 0, {p.cell})[p.cell].value, "标题");
}

const Placement kHeaderPlacements[] = {
    {"RowZero", 0, 1, "Range.Item", nullptr},
    {"ColumnZero", 1, 0, "Range.Item", nullptr},
    {"Negative", -3, -3, "Range.Item", nullptr},
    {"IntMin", INT_MIN, INT_MIN, "Range.Item", nullptr},
    {"IntMax", INT_MAX, INT_MAX, "Range.Item", nullptr},
    {"RowBeyondTheSheet", 1048577, 1, "Range.Item", nullptr},
    {"ColumnBeyondTheSheet", 1, 16385, "Range.Item", nullptr},
    {"LastCellOfTheSheet", 1048576, 16384, nullptr, "XFD1048576"},
    // Header texts are written through the used range and need no address: columns past the
    // 702 that frames can name are still cells.
    {"PastTheFramedColumns", 1, 703, nullptr, "AAA1"},
};
INSTANTIATE_TEST_SUITE_P(Cells, KestrelHeaderPlacement, ::testing::ValuesIn(kHeaderPlacements),
                         [](const auto& info) { return std::string(info.param.name); });

struct StartRow {
  const char* name;
  std::int32_t row;
  int records;
  const char* refusedBy;
};

class KestrelStartRow : public KestrelHostile, public ::testing::WithParamInterface<StartRow> {};

TEST_P(KestrelStartRow, RowsOffTheSheetEndWithOneMessage) {
  const StartRow& p = GetParam();
  header.int32(header_fields::start_row, p.row);
  for (int i = 0; i < p.records; ++i) rows.add().text(row_fields::primary_b, "B");
  run(rows.first());
  if (p.refusedBy != nullptr) {
    expectRefused(p.refusedBy);
    return;
  }
  expectSaved();
  EXPECT_EQ(readCells(workbook, 0, {"A1048576"})["A1048576"],
            (ShownCell{"1", "thin,thin,thin,thin"}));
}

const StartRow kStartRows[] = {
    {"Zero", 0, 1, "Range.Item"},
    {"Negative", -7, 1, "Range.Item"},
    {"IntMin", INT_MIN, 1, "Range.Item"},
    {"IntMax", INT_MAX, 2, "Range.Item"},
    {"BeyondTheSheet", 1048577, 1, "Range.Item"},
    {"SecondRecordBeyondTheSheet", 1048576, 2, "Range.Item"},
    {"LastRowOfTheSheet", 1048576, 1, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Rows, KestrelStartRow, ::testing::ValuesIn(kStartRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct Weight {
  const char* name;
  std::int32_t weight;
  const char* line;  // the frame's line style, or null when the server has no such weight
};

class KestrelBorderWeight : public KestrelHostile, public ::testing::WithParamInterface<Weight> {};

TEST_P(KestrelBorderWeight, OnlyTheServersCodesFrame) {
  const Weight& p = GetParam();
  header.int32(header_fields::border_weight, p.weight);
  rows.add().text(row_fields::primary_b, "B");
  run(rows.first());
  if (p.line == nullptr) {
    expectRefused("Range.BorderAround");
    return;
  }
  expectSaved();
  const std::string line = p.line;
  EXPECT_EQ(readCells(workbook, 0, {"B5"})["B5"],
            (ShownCell{"B", line + "," + line + "," + line + "," + line}));
}

const Weight kWeights[] = {
    {"Hairline", 1, "hair"},
    {"Thin", 2, "thin"},
    {"Medium", -4138, "medium"},
    {"Thick", 4, "thick"},
    {"ThinInTheLow16Bits", 0x10002, "thin"},  // only the low 16 bits reach the server
    {"Zero", 0, nullptr},
    {"Three", 3, nullptr},
    {"MinusOne", -1, nullptr},
    {"Int16Max", 32767, nullptr},
    {"IntMin", INT_MIN, nullptr},
    {"IntMax", INT_MAX, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Weights, KestrelBorderWeight, ::testing::ValuesIn(kWeights),
                         [](const auto& info) { return std::string(info.param.name); });

// "中" in code page 936, repeated over `room` bytes with no NUL (an odd room ends on a lone
// first byte).
std::string fullOfChinese(std::size_t room) {
  std::string text;
  while (text.size() < room) text += "\xD6\xD0";
  return text.substr(0, room);
}

TEST_F(KestrelHostile, EverySlotFullToItsLastByte) {
  // A template path of exactly 256 bytes, with no NUL after it, that names a real file.
  const std::string folder = hostText(setting.folder()) + "/";
  const std::string name = std::string(256 - folder.size() - 5, 'p') + ".xlsx";
  const fs::path longPath = exampleTemplate(setting, "kestrel", name);
  ASSERT_EQ(hostText(longPath).size(), 256u);
  workbook = longPath;
  before = fileBytes(workbook);
  header.raw(header_fields::template_path, hostText(longPath));
  for (int k = 1; k <= 4; ++k) header.slot(slots::kDualSpec[k - 1], "", 1, k, 1);
  for (const platform::TextField text :
       {header_fields::header_text1, header_fields::header_text2, header_fields::header_text3,
        header_fields::header_text4}) {
    header.raw(text, fullOfChinese(text.width));
  }
  // Both column specs full: 256 + 256 columns, every one a known symbol, and the row record
  // full of text with no NUL anywhere.
  header.raw(header_fields::primary_spec, std::string(256, 'x'))
      .raw(header_fields::secondary_spec, std::string(255, 'a') + "q")
      .int32(header_fields::start_row, 3);
  RecordBytes& row = rows.add();
  row.raw(0, fullOfChinese(row_fields::next.offset));
  row.address(row_fields::next, nullptr);
  row.text(row_fields::option_1,
           "\xCA\xC7");  // "是": the seven option columns follow, up to column 519
  run(rows.first());

  expectSaved();
  const std::map<std::string, ShownCell> cells =
      readCells(workbook, 0, {"A1", "D1", "A3", "IV3", "IW3", "SR3", "SS3", "SY3", "SZ3"});
  const std::string chinese25 = platform::gbkToUtf8(fullOfChinese(50));
  EXPECT_EQ(cells.at("A1").value, chinese25);
  EXPECT_EQ(cells.at("D1").value, chinese25);
  // "x" is a 256-byte text at an odd offset (its characters are D0 D6): cut to the 255 bytes a
  // cell text holds, at a character.
  static_assert(row_fields::primary_x.offset % 2 == 1 && row_fields::primary_x.width == 256);
  const std::string x(reinterpret_cast<const char*>(row.data()) + row_fields::primary_x.offset,
                      254);
  EXPECT_EQ(cells.at("A3").value, platform::gbkToUtf8(x));
  EXPECT_EQ(cells.at("IV3").value, cells.at("A3").value);
  EXPECT_EQ(cells.at("IW3").value, platform::gbkToUtf8(fullOfChinese(80)));   // secondary a
  EXPECT_EQ(cells.at("SR3").value, platform::gbkToUtf8(fullOfChinese(254)));  // secondary q
  EXPECT_EQ(cells.at("SR3").border, "thin,thin,thin,thin");
  EXPECT_EQ(cells.at("SS3").value, "是");
  EXPECT_EQ(cells.at("SY3"), (ShownCell{platform::gbkToUtf8(fullOfChinese(80)),
                                        "thin,thin,thin,thin"}));  // option 7, column 519
  EXPECT_EQ(cells.at("SZ3"), (ShownCell{"", ",,,"}));
}

TEST_F(KestrelHostile, ARowListOf200000RecordsCompletes) {
  RecordBlock chain(200000, row_fields::kSize, row_fields::next);
  chain.fillAll(row_fields::primary_b, "B", 2);
  header.text(header_fields::primary_spec, "ab").int32(header_fields::start_row, 2);
  const auto start = std::chrono::steady_clock::now();
  run(chain.first());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("kestrel: 200000 records, 400000 framed cells in %.2f s\n", seconds);

  expectSaved();
  const RowSummary summary = summarizeRows(workbook);
  EXPECT_EQ(summary.rowsWithValues, 200000 + 1);  // the template's title and the table
  ASSERT_GE(summary.lastRow.size(), 2u);
  EXPECT_EQ(summary.lastRow[0], "200000");
  EXPECT_EQ(summary.lastRow[1], "B");
}

// A list whose last link leads back to an earlier record has no end: the run refuses it before
// starting anything, instead of writing rows until the sheet or the memory runs out.
TEST_F(KestrelHostile, ALoopingRowListIsRefused) {
  // With no columns a loop would write nothing and never reach the end of the sheet.
  for (const char* spec : {"ab", ""}) {
    header.text(header_fields::primary_spec, spec);
    for (const std::size_t loopTo : {0u, 1u, 2u}) {
      RecordBlock chain(3, row_fields::kSize, row_fields::next);
      chain.link(2, chain.record(loopTo));
      const std::size_t shownBefore = setting.messages().size();
      run(chain.first());
      const std::vector<std::string> messages = setting.messages();
      ASSERT_EQ(messages.size(), shownBefore + 1) << "spec " << spec << ", loop to " << loopTo;
      EXPECT_EQ(messages.back(), kLoopingRowListMessage);
      EXPECT_EQ(fileBytes(workbook), before);
    }
  }
}

// Bytes that are no GBK text (0xFF, a first byte without its second) still reach
// the cell, each as the replacement character, and nothing is read past the slot.
TEST_F(KestrelHostile, BytesThatAreNoTextBecomeReplacementCharacters) {
  header.slot(slots::kDualSpec[0], "", 2, 1, 1)
      .raw(header_fields::header_text1, "\xFF\xFF" + std::string(47, 'a') + "\xD6");
  rows.add().text(row_fields::primary_b, "B");
  run(rows.first());
  expectSaved();
  const std::string shown = readCells(workbook, 0, {"A2"})["A2"].value;
  EXPECT_EQ(shown.find("aaaa"), 6u) << shown;  // after two replacement characters
  EXPECT_EQ(shown.substr(0, 3), "\xEF\xBF\xBD");
}

// Two of the host's threads making reports at the same time, each on its own template: both
// come back and both workbooks are filled.
TEST_F(KestrelHostile, TwoHostThreadsAtOnce) {
  const fs::path second = exampleTemplate(setting, "kestrel", "第二.xlsx");
  RecordBytes otherHeader{header_fields::kSize};
  otherHeader.text(header_fields::template_path, hostText(second))
      .text(header_fields::primary_spec, "ab")
      .int32(header_fields::start_row, 5)
      .int32(header_fields::border_weight, 2);
  RecordBlock chain(5000, row_fields::kSize, row_fields::next);
  chain.fillAll(row_fields::primary_b, "B", 2);
  const LoadedLibrary library(kKestrel);
  const qx_table_export_fn exported = library.tableExport("excel_file");
  ASSERT_NE(exported, nullptr);
  std::thread other([&] { exported(otherHeader.data(), chain.first()); });
  callOnHostThread([&] { exported(header.data(), chain.first()); });
  other.join();
  expectSaved();
  EXPECT_EQ(summarizeRows(workbook).lastRow.at(0), "5000");
  EXPECT_EQ(summarizeRows(second).lastRow.at(0), "5000");
}

TEST_F(KestrelHostile, ANullHeaderReturnsWithoutAWord) {
  rows.add();
  callTableExport(kKestrel, "excel_file", nullptr, rows.first());
  EXPECT_EQ(setting.messages(), std::vector<std::string>{});
  EXPECT_EQ(fileBytes(workbook), before);
}

TEST_F(KestrelHostile, NoRowListStillSavesTheHeader) {
  header.slot(slots::kDualSpec[0], utf8ToGbk("只有表头"), 2, 1, 1);
  run(nullptr);
  expectSaved();
  EXPECT_EQ(readCells(workbook, 0, {"A2"})["A2"].value, "只有表头");
}

}  // namespace
}  // namespace qx::testing
