// tamarack (export_to_excel) with hostile input from the host: its data file, the header block
// and row records the file points to, and the language file it reads its words from. Rows and
// cells outside the sheet, pages that cannot be turned, weights the server has no line for,
// numbers no 32-bit sum holds, every text slot full, pictures that are no picture, a chain of
// 200,000 records and chains that loop.

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/code_page.h"
#include "tests/adversarial/deliverables.h"
#include "tests/adversarial/library_run_outcome.h"
#include "tests/support/record_bytes.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;
using platform::utf8ToGbk;
namespace header_fields = platform::records::result_header;
namespace row_fields = platform::records::result_row;

class TamarackHostile : public ::testing::Test, protected LibraryRunOutcome {
 protected:
  TamarackHostile() : LibraryRunOutcome("tamarack") {
    host.header.text(header_fields::workbook_path, hostText(workbook));
    host.header.text(header_fields::column_spec, "ae");
    host.bodyRows(5, 9);
    host.header.int32(header_fields::border_weight, 2);
    host.addRow().text(row_fields::field_a, "1");
  }
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }

  void run() { callTamarack(setting, host.transferRecord()); }
  void runWithFirstRow(const void* firstRow) {
    callTamarack(setting,
                 host.transferRecord(platform::records::result_transfer::kSize, true, firstRow));
  }
  void expectTold(const std::string& message) {
    EXPECT_EQ(setting.messages(), std::vector<std::string>{message});
    EXPECT_EQ(fileBytes(workbook), before);
  }
  void forgetMessages() { fs::remove(setting.folder() / "messages.log"); }

  ResultHost host;
};

TEST_F(TamarackHostile, HeaderTextsOutsideTheSheetAreRefused) {
  const std::pair<int, int> places[] = {{0, 1},       {1, 0},       {-1, -1},  {INT_MIN, 1},
                                        {1, INT_MAX}, {1048577, 1}, {1, 16385}};
  for (const auto& [row, column] : places) {
    host.header.slot(slots::kResult[4], utf8ToGbk("标题"), row, column);
    run();
    expectRefused("Range.Item");
    forgetMessages();
  }
}

struct BodyRows {
  const char* name;
  std::int32_t first, last;
  bool paginated;
  const char* spec;
  int records;
  const char* refusedBy;  // null: saved
};
void PrintTo(const BodyRows& rows, std::ostream* out) {
  *out << rows.name;
}

class TamarackBodyRows : public TamarackHostile, public ::testing::WithParamInterface<BodyRows> {};

TEST_P(TamarackBodyRows, RowsOffTheSheetEndWithOneMessage) {
  const BodyRows& p = GetParam();
  host.bodyRows(p.first, p.last).pagination(p.paginated, true, true);
  host.header.text(header_fields::column_spec, p.spec);
  for (int i = 1; i < p.records; ++i) host.addRow().text(row_fields::field_a, "2");
  run();
  if (p.refusedBy == nullptr) {
    expectSaved();
  } else {
    expectRefused(p.refusedBy);
  }
}

const BodyRows kBodyRows[] = {
    {"Zero", 0, 9, false, "ae", 1, "Range.Item"},
    {"Negative", -5, 9, false, "ae", 1, "Range.Item"},
    {"IntMin", INT_MIN, 9, false, "ae", 1, "Range.Item"},
    {"BeyondTheSheet", 1048577, 9, false, "ae", 1, "Range.Item"},
    {"GrandTotalBeyondTheSheet", 1048576, 9, false, "ae", 1, "Range.Item"},
    {"IntMaxThenOneMore", INT_MAX, INT_MAX, false, "ae", 2, "Range.Item"},
    // Even with no column to write, the template probe of the first body row is refused before
    // any row could run past the 32-bit range.
    {"IntMaxWithoutColumns", INT_MAX - 1, INT_MAX, false, "", 4, "Range.Item"},
    {"IntMaxPagedWithoutColumns", INT_MAX - 1, INT_MAX, true, "", 4, "Range.Item"},
};
INSTANTIATE_TEST_SUITE_P(Rows, TamarackBodyRows, ::testing::ValuesIn(kBodyRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TamarackHostile, PagesThatCannotTurnAreToldOnce) {
  // A last body row above the first (or the lowest there is) fills every page at once; the
  // template's three worksheets run out at the fourth record.
  for (const std::int32_t last : {2, INT_MIN}) {
    host.bodyRows(5, last).pagination(true, true, true);
    while (host.header.view().int32(header_fields::record_count) < 6)
      host.addRow().text(row_fields::field_a, "3");
    run();
    expectTold("模板中的工作表不够, 请在模板中增加工作表!");
    forgetMessages();
  }
}

TEST_F(TamarackHostile, BorderWeightsOutsideTheServersCodesAreRefused) {
  for (const std::int32_t weight : {0, 3, -1, 32767, INT_MIN, INT_MAX}) {
    host.header.int32(header_fields::border_weight, weight);
    run();
    expectRefused("Range.BorderAround");
    forgetMessages();
  }
}

// Sums of numbers the host wrote as texts: a 32-bit sum wraps, a real sum that overflows shows
// as infinite, and the run saves.
TEST_F(TamarackHostile, SumsBeyondTheirRangeStillGiveATotal) {
  host.header.text(header_fields::column_spec, "ean");
  host.rows[0].text(row_fields::field_e, "99999999999999");  // clamped to 2147483647
  host.rows[0].text(row_fields::field_n, "1e308");
  RecordBytes& second = host.addRow();
  second.text(row_fields::field_e, "1");
  second.text(row_fields::field_n, "1.7e308");
  run();
  expectSaved();
  const auto cells = readCells(workbook, 0, {"A7", "B7", "C7"});
  EXPECT_EQ(cells.at("A7").value, "-2147483648");
  EXPECT_EQ(cells.at("B7").value, "总计:");
  EXPECT_EQ(cells.at("C7").value, "inf");
}

// "中" in code page 936 over `room` bytes with no NUL.
std::string fullOfChinese(std::size_t room) {
  std::string text;
  while (text.size() < room) text += "\xD6\xD0";
  return text.substr(0, room);
}

TEST_F(TamarackHostile, EverySlotFullToItsLastByte) {
  const std::string folder = hostText(setting.folder()) + "/";
  const fs::path longPath =
      exampleTemplate(setting, "tamarack", std::string(256 - folder.size() - 5, 't') + ".xlsx");
  ASSERT_EQ(hostText(longPath).size(), 256u);
  workbook = longPath;
  before = fileBytes(workbook);
  std::memcpy(host.header.data() + header_fields::workbook_path.offset, hostText(longPath).data(),
              header_fields::workbook_path.width);
  for (int n = 1; n <= 5; ++n) host.header.slot(slots::kResult[n - 1], "", 1, n);
  // The five header texts, side by side, full.
  const std::size_t texts = header_fields::header_text5.end() - header_fields::header_text1.offset;
  std::memcpy(host.header.data() + header_fields::header_text1.offset, fullOfChinese(texts).data(),
              texts);
  // 256 selectors with no NUL, every one naming a text (no picture, no sums).
  std::string spec;
  while (spec.size() < 256) spec += "abcdfghijklmopqrstuvxy23z14569<[>)&w";
  std::memcpy(host.header.data() + header_fields::column_spec.offset, spec.data(),
              header_fields::column_spec.width);
  host.bodyRows(3, 9);
  std::uint8_t* row = host.rows[0].data();
  std::memcpy(row, fullOfChinese(row_fields::next.offset).c_str(), row_fields::next.offset);
  std::memcpy(row + row_fields::extra_1.offset, "\xCA\xC7",
              3);  // "是": the eight extra columns follow the spec's
  run();

  expectSaved();
  const auto cells = readCells(workbook, 0, {"A1", "E1", "A3", "L3", "IV3", "IW3", "JD3", "JE3"});
  EXPECT_EQ(cells.at("A1").value, platform::gbkToUtf8(fullOfChinese(50)));
  EXPECT_EQ(cells.at("E1").value, platform::gbkToUtf8(fullOfChinese(50)));
  EXPECT_EQ(cells.at("A3").value, platform::gbkToUtf8(fullOfChinese(50)));
  // "l" is the 512-byte text at 554: a cell shows it whole.
  EXPECT_EQ(cells.at("L3").value, platform::gbkToUtf8(fullOfChinese(512)));
  EXPECT_EQ(cells.at("IV3").border, "thin,thin,thin,thin");  // the 256th selector's column
  EXPECT_EQ(cells.at("IW3").value, "是");                    // the first extra column
  EXPECT_EQ(cells.at("JD3").border, "thin,thin,thin,thin");  // the eighth
  EXPECT_EQ(cells.at("JE3"), (ShownCell{"", ",,,"}));
}

TEST_F(TamarackHostile, PicturesThatAreMissingOrNoPicture) {
  host.header.text(header_fields::column_spec, "a7");
  host.rows[0].text(row_fields::picture_path, hostText(setting.folder() / "无此图.png"));
  run();  // a missing picture is passed over without a word
  expectSaved();

  before = fileBytes(workbook);
  fs::create_directory(setting.folder() / "图目录.png");
  host.rows[0].text(row_fields::picture_path, hostText(setting.folder() / "图目录.png"));
  run();  // so is a folder in its place
  expectSaved();

  before = fileBytes(workbook);
  host.rows[0].text(row_fields::picture_path, hostText(setting.write("假图.png", "这不是图片")));
  run();
  expectRefused("Shapes.AddPicture");
}

TEST_F(TamarackHostile, ALoopingChainIsRefused) {
  for (const std::size_t loopTo : {0u, 2u}) {
    RecordBlock chain(3, row_fields::kSize, row_fields::next);
    chain.link(2, chain.record(loopTo));
    for (const char* spec : {"ae", ""}) {
      host.header.text(header_fields::column_spec, spec);
      runWithFirstRow(chain.first());
      expectTold("行记录链表有环, 无法导出!");
      forgetMessages();
    }
  }
}

// An installation whose language file predates the loop's text: the lookup tells what is
// missing, and the run ends without a second message.
TEST_F(TamarackHostile, ALoopingChainWithAnOlderLanguageFile) {
  const fs::path language = setting.write(
      "lang/pinebrook_exe.txt", utf8ToGbk("excel_fil_11:小计:\r\nexcel_fil_12:总计:\r\n"));
  RecordBlock chain(2, row_fields::kSize, row_fields::next);
  chain.link(1, chain.record(0));
  runWithFirstRow(chain.first());
  expectTold("在 " + shownText(language) + " 文件中找不到 excel_fil_13: 标题,请查看标题否正确!");
}

TEST_F(TamarackHostile, ANullHeaderAddressIsAShortRecord) {
  callTamarack(setting, host.transferRecord(platform::records::result_transfer::kSize, false));
  expectTold("读临时文件中的表头信息错误!");
}

TEST_F(TamarackHostile, DataFilesThatHoldNoTransferRecord) {
  callTamarack(setting, host.transferRecord(951));
  expectTold("读临时文件中的表头信息错误!");
  forgetMessages();
  // A folder opens for reading on some systems, but counts as a file that cannot be opened.
  fs::remove(setting.temp("pinebrook_temp.dat"));
  fs::create_directory(setting.temp("pinebrook_temp.dat"));
  callTamarackAsItIs(setting);
  expectTold("打开 excel 的临时文件错误!");
}

TEST(TamarackLongChain, AChainOf200000RecordsCompletes) {
  const HostSetting setting;
  const fs::path workbook = exampleTemplate(setting, "tamarack");
  ResultHost host;
  host.header.text(header_fields::workbook_path, hostText(workbook));
  host.header.text(header_fields::column_spec, "ae");
  host.bodyRows(5, 9);
  host.header.int32(header_fields::border_weight, 2);
  RecordBlock chain(200000, row_fields::kSize, row_fields::next);
  chain.fillAll(row_fields::field_e, "1", 2);
  const std::string record =
      host.transferRecord(platform::records::result_transfer::kSize, true, chain.first());

  const auto start = std::chrono::steady_clock::now();
  callTamarack(setting, record);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("tamarack: 200000 records, 400000 framed cells and the totals in %.2f s\n", seconds);

  EXPECT_EQ(setting.messages(), std::vector<std::string>{});
  const RowSummary summary = summarizeRows(workbook);
  ASSERT_GE(summary.lastRow.size(), 2u);
  EXPECT_EQ(summary.lastRow[0], "总计:");
  EXPECT_EQ(summary.lastRow[1], "200000");
  EXPECT_FALSE(leaksSinceLastCheck());
}

}  // namespace
}  // namespace qx::testing
