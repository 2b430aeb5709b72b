#include "heron/check_point_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "automation/apartment.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "report/failure_report.h"
#include "tests/heron/open_files.h"
#include "tests/support/captured_messages.h"
#include "tests/support/record_bytes.h"
#include "tests/support/recording_server.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::heron;

namespace {

using platform::Buttons;
namespace header_fields = platform::records::check_point_header;

constexpr const char* kDataFileUnreadable = "打开 excel 的临时文件错误!";
constexpr const char* kHeaderShort = "读头信息错误!";
constexpr const char* kBodyShort = "读表体信息错误!";
constexpr const char* kPictureMissing = "没有产生图片文件, 将不可以帖图!";

// How a path reads in a message, on every system.
std::string utf8(const std::filesystem::path& path) {
  return platform::utf16ToUtf8(path.u16string());
}

class CheckPointRun : public ::testing::Test {
 public:  // the table-driven cases reach the fixture from lambdas
  void SetUp() override {
    server.registerAs("Excel.Application");
    templatePath = dir.write("template.xlsx", "PK");
#ifndef _WIN32
    // A Chinese name proves the code page 936 path reaches the file system and the messages.
    // (Wine without the matching Unix locale cannot make such names, so Windows runs keep ASCII.)
    const std::filesystem::path chinese = dir.path() / std::filesystem::path(u8"模板.xlsx");
    std::filesystem::rename(templatePath, chinese);
    templatePath = chinese;
#endif
    files.dataFile = dir.path() / "check_point_temp.dat";
    files.picture = platform::hostTextFromPath(dir.write("picture.bmp", "BM"));
  }

  // A header naming the template, first_row 5, weight 2 and picture block B2:C3.
  RecordBytes header() const {
    RecordBytes bytes{header_fields::kSize};
    bytes.text(header_fields::template_path, platform::hostTextFromPath(templatePath))
        .int32(header_fields::first_row, 5)
        .int32(header_fields::border_weight, 2)
        .text(header_fields::picture_cell1, "B2")
        .text(header_fields::picture_cell2, "C3");
    return bytes;
  }
  void writeData(const RecordBytes& bytes, const std::vector<std::string>& rows = {}) {
    dir.write("check_point_temp.dat", checkPointFile(bytes, rows));
  }
  report::Outcome run() {
    return runCheckPointExport(files, messages);
  }

  std::string templateMessage(const char* before, const char* after) const {
    return std::string(before) + utf8(templatePath) + after;
  }
  void expectMessages(const std::vector<std::pair<std::string, Buttons>>& expected) const {
    ASSERT_EQ(messages.shown.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(messages.shown[i].text, expected[i].first) << i;
      EXPECT_EQ(messages.shown[i].buttons, expected[i].second) << i;
    }
  }
  // Every end: no reference left, COM uninitialised, the data file closed.
  void expectReleasedAndClosed() const {
    EXPECT_EQ(server.outstandingReferences(), 0);
    EXPECT_EQ(automation::apartmentDepthForTesting(), 0);
    EXPECT_FALSE(openedByThisProcess(files.dataFile));
  }
  std::vector<std::string> operationsFrom(const std::string& first) const {
    const std::vector<std::string> all = server.operations();
    auto start = std::find(all.begin(), all.end(), first);
    return {start, all.end()};
  }
  int count(const std::string& operation) const {
    const std::vector<std::string> all = server.operations();
    return static_cast<int>(std::count(all.begin(), all.end(), operation));
  }

  TempDir dir;
  RecordingServer server;
  CapturedMessages messages;
  RunFiles files;
  std::filesystem::path templatePath;
};

TEST_F(CheckPointRun, FillsTheTableFramesEveryCellPlacesThePictureAndSaves) {
  RecordBytes bytes = header();
  bytes.slot(slots::kCheckPoint[0], "\xB1\xEA\xCC\xE2", 1, 1)
      .slot(slots::kCheckPoint[1], "two", 2, 3)
      .slot(slots::kCheckPoint[2], "three", 3, 4);
  bytes.int32(header_fields::row_count, 3).text(header_fields::column_spec, "abcd");
  writeData(bytes, {checkPointRow("a0", "b0", "c0", "d0"), checkPointRow("a1", "b1", "c1", "d1"),
                    checkPointRow("a2", "b2", "", "d2")});
  EXPECT_EQ(run(), report::Outcome::Saved);
  expectMessages({});
  EXPECT_EQ(server.cellUtf8(1, 1, 1), "标题");
  EXPECT_EQ(server.cellUtf8(1, 2, 3), "two");
  EXPECT_EQ(server.cellUtf8(1, 3, 4), "three");
  const char* letters = "abcd";
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 4; ++k) {
      const std::string expected =
          (i == 2 && k == 2) ? "" : std::string(1, letters[k]) + std::to_string(i);
      EXPECT_EQ(server.cell(1, 5 + i, k + 1), platform::utf8ToUtf16(expected)) << i << k;
    }
  }
  ASSERT_EQ(server.frames().size(), 12u);
  const char* addresses[] = {"A5", "B5", "C5", "D5", "A6", "B6",
                             "C6", "D6", "A7", "B7", "C7", "D7"};
  for (std::size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(server.frames()[i].address, addresses[i]);
    EXPECT_EQ(server.frames()[i].weight.integerValue(), 2);
  }
  // Header cells get no frame; each body cell's text is written before its frame.
  EXPECT_EQ(count("Range.Item put"), 3 + 12);
  ASSERT_EQ(server.pictures().size(), 1u);
  EXPECT_EQ(server.pictures()[0].filename, platform::gbkToUtf16(files.picture));
  EXPECT_EQ(server.saveCount(), 1);
  EXPECT_TRUE(server.visible());
  EXPECT_FALSE(server.workbookClosed());
  EXPECT_FALSE(server.workbooksClosed());
  EXPECT_FALSE(server.quit());
  EXPECT_EQ(server.openedFilename(),
            platform::gbkToUtf16(platform::hostTextFromPath(templatePath)));
  expectReleasedAndClosed();
}

TEST_F(CheckPointRun, EachTextIsWrittenBeforeItsFrame) {
  RecordBytes bytes = header();
  writeData(bytes.int32(header_fields::row_count, 1).text(header_fields::column_spec, "ab"),
            {checkPointRow("x", "y", "", "")});
  ASSERT_EQ(run(), report::Outcome::Saved);
  const std::vector<std::string> tail = operationsFrom("Range.Item put");
  const std::vector<std::string> expected = {"Range.Item put",     "Worksheet.Range",
                                             "Range.BorderAround", "Range.Item put",
                                             "Worksheet.Range",    "Range.BorderAround"};
  ASSERT_GE(tail.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(tail.begin(), tail.begin() + 6), expected);
}

TEST_F(CheckPointRun, FailuresBeforeTheServerEndWithoutTouchingCom) {
  struct Case {
    const char* name;
    std::function<void(CheckPointRun&)> prepare;
    std::string message;
    Buttons buttons;
  };
  const std::string missingTemplate =
      "模板文件“" + utf8(dir.path() / std::filesystem::path(u8"无.xlsx")) + "”, 不存在!";
  const Case cases[] = {
      {"no data file", [](CheckPointRun&) {}, kDataFileUnreadable, Buttons::Ok},
      {"data file is a directory",
       [](CheckPointRun& t) { std::filesystem::create_directory(t.files.dataFile); },
       kDataFileUnreadable, Buttons::Ok},
      {"empty data file", [](CheckPointRun& t) { t.dir.write("check_point_temp.dat", ""); },
       kHeaderShort, Buttons::OkCancel},
      {"header one byte short",
       [](CheckPointRun& t) {
         t.dir.write("check_point_temp.dat", checkPointFile(t.header()).substr(0, 1043));
       },
       kHeaderShort, Buttons::OkCancel},
      {"template missing",
       [&](CheckPointRun& t) {
         RecordBytes bytes = t.header();
         bytes.text(header_fields::template_path, std::string(256, '\0'))
             .text(header_fields::template_path,
                   platform::hostTextFromPath(t.dir.path() / std::filesystem::path(u8"无.xlsx")));
         t.writeData(bytes);
       },
       missingTemplate, Buttons::Ok},
      {"template path empty",
       [](CheckPointRun& t) {
         RecordBytes bytes = t.header();
         t.writeData(bytes.text(header_fields::template_path, std::string(256, '\0')));
       },
       "模板文件“”, 不存在!", Buttons::Ok},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(files.dataFile);
    messages.shown.clear();
    c.prepare(*this);
    EXPECT_EQ(run(), report::Outcome::Stopped);
    expectMessages({{c.message, c.buttons}});
    EXPECT_FALSE(server.created());
    expectReleasedAndClosed();
  }
}

TEST_F(CheckPointRun, ApartmentThatCannotBeInitialisedStopsBeforeTheServer) {
  writeData(header());
  automation::failNextApartmentInitializeForTesting(automation::hr::kOutOfMemory);
  EXPECT_EQ(run(), report::Outcome::Stopped);
  expectMessages({{"初始化环境失败!", Buttons::Ok}});
  EXPECT_FALSE(server.created());
  expectReleasedAndClosed();
}

TEST_F(CheckPointRun, ServerThatCannotBeCreatedUninitialisesCom) {
  writeData(header());
  server.failCreation();
  EXPECT_EQ(run(), report::Outcome::Stopped);
  expectMessages({{"无法启动Excel服务器!", Buttons::Ok}});
  EXPECT_TRUE(server.calls().empty());
  expectReleasedAndClosed();
}

TEST_F(CheckPointRun, TemplateWithTextInTheFirstBodyCellIsClosedAndTheServerQuit) {
  RecordBytes bytes = header();
  writeData(bytes.int32(header_fields::row_count, 1)
                .text(header_fields::column_spec, "a")
                .slot(slots::kCheckPoint[0], "t", 1, 1),
            {checkPointRow("x", "", "", "")});
  server.setCellUtf8(1, 5, 1, " ");  // even one space counts
  EXPECT_EQ(run(), report::Outcome::Stopped);
  expectMessages(
      {{templateMessage("模板文件“", "”, 不是一个空的表格, 请清除表格内的内容!"), Buttons::Ok}});
  EXPECT_EQ(operationsFrom("Workbook.Close"),
            (std::vector<std::string>{"Workbook.Close", "Workbooks.Close", "Application.Quit"}));
  const auto& close = server.workbookCloseArguments();
  ASSERT_EQ(close.size(), 3u);
  EXPECT_TRUE(close[0].isMissing());
  EXPECT_EQ(close[1].textValue(), platform::gbkToUtf16(platform::hostTextFromPath(templatePath)));
  EXPECT_TRUE(close[2].isMissing());
  EXPECT_EQ(server.saveCount(), 0);
  EXPECT_EQ(count("Range.Item put"), 0);
  expectReleasedAndClosed();
}

TEST_F(CheckPointRun, DataFileGoneOrShortAtTheSecondReadingClosesWorkbooksAndQuits) {
  struct Case {
    const char* name;
    std::function<void(CheckPointRun&)> change;
    const char* message;
    Buttons buttons;
  };
  const Case cases[] = {
      {"removed", [](CheckPointRun& t) { std::filesystem::remove(t.files.dataFile); },
       kDataFileUnreadable, Buttons::Ok},
      {"cut short",
       [](CheckPointRun& t) {
         t.dir.write("check_point_temp.dat", checkPointFile(t.header()).substr(0, 1000));
       },
       kHeaderShort, Buttons::OkCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    messages.shown.clear();
    RecordBytes bytes = header();
    writeData(bytes.slot(slots::kCheckPoint[0], "t", 1, 1));
    files.beforeOpeningDataFile = [&](int opening) {
      if (opening == 2) c.change(*this);
    };
    EXPECT_EQ(run(), report::Outcome::Stopped);
    expectMessages({{c.message, c.buttons}});
    EXPECT_FALSE(fresh.workbookClosed());
    EXPECT_TRUE(fresh.workbooksClosed());
    EXPECT_TRUE(fresh.quit());
    EXPECT_EQ(fresh.saveCount(), 0);
    EXPECT_EQ(fresh.cellUtf8(1, 1, 1), "");  // nothing written
    EXPECT_EQ(fresh.outstandingReferences(), 0);
    EXPECT_EQ(automation::apartmentDepthForTesting(), 0);
    EXPECT_FALSE(openedByThisProcess(files.dataFile));
  }
}

// A short record inside the reader's first batch and one far past it, with the records read
// ahead on a thread of their own or on the run's: the same rows written, the same stop.
TEST_F(CheckPointRun, ShortBodyLeavesTheRowsWrittenSoFarOpenAndUnsaved) {
  struct Case {
    int announced, complete;
    std::size_t cutLength;  // bytes of the short record
  };
  for (const Case c : {Case{3, 2, 327}, Case{900, 600, 100}}) {
    for (const bool ahead : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.complete << " records, ahead " << ahead);
      RecordingServer fresh;
      fresh.registerAs("Excel.Application");
      messages.shown.clear();
      files.readAhead = ahead;
      RecordBytes bytes = header();
      bytes.slot(slots::kCheckPoint[0], "head", 1, 1)
          .int32(header_fields::row_count, c.announced)
          .text(header_fields::column_spec, "a");
      std::vector<std::string> rows;
      std::string last;  // the text of the last complete record
      for (int i = 0; i < c.complete; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "r%d", i);
        last = text;
        rows.push_back(checkPointRow(last, "", "", ""));
      }
      rows.push_back(checkPointRow("cut", "", "", "").substr(0, c.cutLength));
      writeData(bytes, rows);
      EXPECT_EQ(run(), report::Outcome::Stopped);
      expectMessages({{kBodyShort, Buttons::OkCancel}});
      EXPECT_EQ(fresh.cellUtf8(1, 1, 1), "head");
      EXPECT_EQ(fresh.cellUtf8(1, 5, 1), "r0");
      EXPECT_EQ(fresh.cellUtf8(1, 4 + c.complete, 1), last);
      EXPECT_EQ(fresh.cellUtf8(1, 5 + c.complete, 1), "");
      EXPECT_EQ(fresh.frames().size(), static_cast<std::size_t>(c.complete));
      EXPECT_EQ(fresh.saveCount(), 0);
      EXPECT_FALSE(fresh.workbookClosed());
      EXPECT_FALSE(fresh.workbooksClosed());
      EXPECT_FALSE(fresh.quit());
      EXPECT_TRUE(fresh.pictures().empty());
      EXPECT_EQ(fresh.outstandingReferences(), 0);
      EXPECT_EQ(automation::apartmentDepthForTesting(), 0);
      EXPECT_FALSE(openedByThisProcess(files.dataFile));
    }
  }
}

TEST_F(CheckPointRun, MissingPictureIsToldAndTheWorkbookStillSaved) {
  writeData(header());
  files.picture = platform::hostTextFromPath(dir.path() / "none.bmp");
  EXPECT_EQ(run(), report::Outcome::Saved);
  expectMessages({{kPictureMissing, Buttons::Ok}});
  EXPECT_TRUE(server.pictures().empty());
  EXPECT_EQ(server.saveCount(), 1);
  expectReleasedAndClosed();
}

TEST_F(CheckPointRun, PictureGeometryIsCutToWholePoints) {
  server.setGeometry(10.7, 15);
  writeData(header());  // B2:C3
  ASSERT_EQ(run(), report::Outcome::Saved);
  ASSERT_EQ(server.pictures().size(), 1u);
  const Picture& picture = server.pictures()[0];
  EXPECT_EQ(picture.left.singleValue(), 12.0f);    // 10.7 + 2
  EXPECT_EQ(picture.top.singleValue(), 18.0f);     // 15 + 3
  EXPECT_EQ(picture.width.singleValue(), 17.0f);   // 21.4 - 4
  EXPECT_EQ(picture.height.singleValue(), 26.0f);  // 30 - 4
  EXPECT_EQ(picture.linkToFile.integerValue(), 0);
  EXPECT_EQ(picture.saveWithDocument.integerValue(), 1);
}

TEST_F(CheckPointRun, UsedRangeAwayFromA1OffsetsTextsButNotFrames) {
  server.setUsedRangeOrigin(1, 3, 2);  // C... B3
  RecordBytes bytes = header();
  bytes.slot(slots::kCheckPoint[0], "h", 1, 1)
      .int32(header_fields::row_count, 1)
      .text(header_fields::column_spec, "ab");
  writeData(bytes, {checkPointRow("x", "y", "", "")});
  ASSERT_EQ(run(), report::Outcome::Saved);
  EXPECT_EQ(server.cellUtf8(1, 3, 2), "h");
  EXPECT_EQ(server.cellUtf8(1, 7, 2), "x");  // row 5, column 1 of the used range
  EXPECT_EQ(server.cellUtf8(1, 7, 3), "y");
  ASSERT_EQ(server.frames().size(), 2u);
  EXPECT_EQ(server.frames()[0].address, "A5");
  EXPECT_EQ(server.frames()[1].address, "B5");
}

TEST_F(CheckPointRun, EmptinessCheckReadsThroughTheUsedRange) {
  server.setUsedRangeOrigin(1, 3, 2);
  server.setCellUtf8(1, 5, 1, "absolute A5 is outside the check");
  server.setCellUtf8(1, 7, 2, "taken");  // used-range cell (5, 1)
  writeData(header());
  EXPECT_EQ(run(), report::Outcome::Stopped);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find("不是一个空的表格"), std::string::npos);
  EXPECT_TRUE(server.quit());
}

TEST_F(CheckPointRun, NoRecordsAreReadWhenTheCountIsZeroOrNegative) {
  for (const std::int32_t rows : {0, -1, -100000}) {
    SCOPED_TRACE(rows);
    RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    RecordBytes bytes = header();
    bytes.slot(slots::kCheckPoint[1], "t2", 1, 2)
        .int32(header_fields::row_count, rows)
        .text(header_fields::column_spec, "a");
    writeData(bytes, {checkPointRow("ignored", "", "", "")});
    EXPECT_EQ(run(), report::Outcome::Saved);
    EXPECT_EQ(fresh.cellUtf8(1, 1, 2), "t2");
    EXPECT_EQ(fresh.cellUtf8(1, 5, 1), "");
    EXPECT_TRUE(fresh.frames().empty());
    EXPECT_EQ(fresh.pictures().size(), 1u);
    EXPECT_EQ(fresh.saveCount(), 1);
    EXPECT_EQ(fresh.outstandingReferences(), 0);
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(CheckPointRun, ColumnSpecDecidesWhatIsWrittenFramedAndWhichColumnItTakes) {
  struct Case {
    const char* spec;
    std::vector<std::pair<int, std::string>> written;  // column, text in row 5
    std::vector<std::string> frames;
  };
  const Case cases[] = {
      {"", {}, {}},
      {"w", {}, {"A5"}},
      {"www", {}, {"A5", "B5", "C5"}},
      {"aXAb", {{1, "A"}, {2, "B"}}, {"A5", "B5"}},
      {"d c", {{1, "D"}, {2, "C"}}, {"A5", "B5"}},
      {"wa", {{2, "A"}}, {"A5", "B5"}},
      {"ABCDW", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    fresh.setCellUtf8(1, 5, 2, "kept");  // template content beside the check cell
    fresh.setCellUtf8(1, 5, 3, "kept");
    RecordBytes bytes = header();
    writeData(bytes.int32(header_fields::row_count, 1).text(header_fields::column_spec, c.spec),
              {checkPointRow("A", "B", "C", "D")});
    ASSERT_EQ(run(), report::Outcome::Saved);
    int writes = 0;
    for (const auto& call : fresh.calls())
      writes +=
          call.operation() == "Range.Item" && call.kind == automation::InvokeKind::PropertyPut;
    EXPECT_EQ(writes, static_cast<int>(c.written.size()));
    for (const auto& [column, text] : c.written) EXPECT_EQ(fresh.cellUtf8(1, 5, column), text);
    std::vector<std::string> framed;
    for (const auto& frame : fresh.frames()) framed.push_back(frame.address);
    EXPECT_EQ(framed, c.frames);
  }
  // "w" left the template's texts in columns 2 and 3 alone.
}

TEST_F(CheckPointRun, OnlyWFramesTheTemplateCellsWithoutWritingThem) {
  server.setCellUtf8(1, 6, 1, "template text");
  RecordBytes bytes = header();
  writeData(bytes.int32(header_fields::row_count, 2)
                .text(header_fields::column_spec, "ww")
                .int32(header_fields::border_weight, -4138),
            {checkPointRow("x", "y", "", ""), checkPointRow("x", "y", "", "")});
  ASSERT_EQ(run(), report::Outcome::Saved);
  EXPECT_EQ(server.cellUtf8(1, 6, 1), "template text");
  EXPECT_EQ(count("Range.Item put"), 0);
  ASSERT_EQ(server.frames().size(), 4u);
  for (const auto& frame : server.frames()) EXPECT_EQ(frame.weight.integerValue(), -4138);
}

TEST_F(CheckPointRun, EmptySpecStillReadsEveryRecord) {
  RecordBytes bytes = header();
  writeData(bytes.int32(header_fields::row_count, 2).text(header_fields::column_spec, ""),
            {checkPointRow("x", "", "", "")});
  EXPECT_EQ(run(), report::Outcome::Stopped);
  expectMessages({{kBodyShort, Buttons::OkCancel}});
  EXPECT_TRUE(server.frames().empty());
  EXPECT_EQ(server.saveCount(), 0);
  expectReleasedAndClosed();
}

TEST_F(CheckPointRun, FlagsOffWriteNoHeaderCell) {
  RecordBytes bytes = header();
  bytes.slot(slots::kCheckPoint[0], "one", 1, 1)
      .slot(slots::kCheckPoint[1], "two", 1, 2)
      .slot(slots::kCheckPoint[2], "three", 1, 3);
  bytes.int32(header_fields::text1_flag, 0)
      .int32(header_fields::text2_flag, 0)
      .int32(header_fields::text3_flag, 0);
  writeData(bytes);
  ASSERT_EQ(run(), report::Outcome::Saved);
  EXPECT_EQ(count("Range.Item put"), 0);
}

TEST_F(CheckPointRun, FirstReadingDecidesTemplateAndRowsSecondDecidesTheRest) {
  const std::filesystem::path other = dir.write("other.xlsx", "PK");
  RecordBytes before = header();
  before.slot(slots::kCheckPoint[0], "old", 1, 1)
      .int32(header_fields::row_count, 1)
      .text(header_fields::column_spec, "a")
      .int32(header_fields::border_weight, 2);
  writeData(before, {checkPointRow("old", "", "", "")});
  files.beforeOpeningDataFile = [&](int opening) {
    if (opening != 2) return;
    RecordBytes after{header_fields::kSize};
    after.text(header_fields::template_path, platform::hostTextFromPath(other))
        .int32(header_fields::first_row, 20)
        .slot(slots::kCheckPoint[1], "new", 2, 2)
        .int32(header_fields::row_count, 2)
        .text(header_fields::column_spec, "ba")
        .int32(header_fields::border_weight, 4)
        .text(header_fields::picture_cell1, "D4")
        .text(header_fields::picture_cell2, "D4");
    writeData(after, {checkPointRow("a0", "b0", "", ""), checkPointRow("a1", "b1", "", "")});
  };
  ASSERT_EQ(run(), report::Outcome::Saved);
  EXPECT_EQ(server.openedFilename(),
            platform::gbkToUtf16(platform::hostTextFromPath(templatePath)));
  EXPECT_EQ(server.cellUtf8(1, 1, 1), "");  // text1 of the first reading is not written
  EXPECT_EQ(server.cellUtf8(1, 2, 2), "new");
  EXPECT_EQ(server.cellUtf8(1, 5, 1), "b0");  // rows start at the first reading's row 5
  EXPECT_EQ(server.cellUtf8(1, 5, 2), "a0");
  EXPECT_EQ(server.cellUtf8(1, 6, 1), "b1");
  EXPECT_EQ(server.cellUtf8(1, 20, 1), "");
  ASSERT_EQ(server.frames().size(), 4u);
  EXPECT_EQ(server.frames()[3].address, "B6");
  EXPECT_EQ(server.frames()[3].weight.integerValue(), 4);
  ASSERT_EQ(server.pictures().size(), 1u);
  EXPECT_EQ(server.pictures()[0].left.singleValue(), 3 * 48 + 2.0f);  // D4
  // The emptiness check read row 5 of the first reading.
  bool checkedRow5 = false;
  for (const auto& call : server.calls()) {
    if (call.operation() == "Range.Item" && call.kind == automation::InvokeKind::PropertyGet) {
      checkedRow5 = call.arguments[0].integerValue() == 5 && call.arguments[1].integerValue() == 1;
    }
  }
  EXPECT_TRUE(checkedRow5);
}

TEST_F(CheckPointRun, ServerFailureMidRunIsToldOnceReleasesAndUninitialises) {
  struct Case {
    const char* operation;
    int occurrence;
  };
  const Case cases[] = {
      {"Application.Visible", 1}, {"Workbooks.Open", 1},    {"Workbook.ActiveSheet", 1},
      {"Range.Text", 1},          {"Range.Item put", 2},    {"Range.BorderAround", 3},
      {"Worksheet.Range", 4},     {"Shapes.AddPicture", 1}, {"Workbook.Save", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    automation::ExceptionInfo exception;
    exception.code = 1004;
    exception.source = u"Server";
    exception.description = u"被拒绝";
    fresh.failCall(c.operation, c.occurrence, automation::hr::kException, exception);
    messages.shown.clear();
    RecordBytes bytes = header();
    bytes.slot(slots::kCheckPoint[0], "h", 1, 1)
        .int32(header_fields::row_count, 2)
        .text(header_fields::column_spec, "ab");
    writeData(bytes, {checkPointRow("x", "y", "", ""), checkPointRow("x", "y", "", "")});
    EXPECT_EQ(run(), report::Outcome::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].buttons, Buttons::Ok);
    EXPECT_EQ(messages.shown[0].text.rfind("Excel 操作失败: ", 0), 0u) << messages.shown[0].text;
    EXPECT_NE(messages.shown[0].text.find("被拒绝"), std::string::npos);
    EXPECT_EQ(fresh.saveCount(), 0);
    EXPECT_FALSE(fresh.quit());
    EXPECT_EQ(fresh.outstandingReferences(), 0);
    EXPECT_EQ(automation::apartmentDepthForTesting(), 0);
    EXPECT_FALSE(openedByThisProcess(files.dataFile));
  }
  EXPECT_EQ(exitCodeFor(report::Outcome::Failed), 2);
  EXPECT_EQ(exitCodeFor(report::Outcome::Stopped), 0);
  EXPECT_EQ(exitCodeFor(report::Outcome::Saved), 0);
}

TEST(CheckPointRunFiles, FixedFilesLieInTheTempFolderOfTheConfigurationDirectory) {
  TempDir dir;
  ScopedEnv conf("QX_CONF_DIR", dir.path().string());
  const RunFiles files = fixedRunFiles();
#ifdef _WIN32
  // Windows keeps the host's fixed folder whatever the environment says.
  EXPECT_EQ(files.dataFile.wstring(), L"D:\\qx_conf\\temp\\check_point_temp.dat");
  EXPECT_EQ(files.picture, "D:\\qx_conf\\temp\\set_check_point_pictrue.bmp");
#else
  EXPECT_EQ(files.dataFile, dir.path() / "temp" / "check_point_temp.dat");
  EXPECT_EQ(files.picture, (dir.path() / "temp" / "set_check_point_pictrue.bmp").string());
#endif
  EXPECT_FALSE(files.beforeOpeningDataFile);
}

}  // namespace
}  // namespace qx::testing
