// The built library on a real template through the embedded engine, read back by openpyxl.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/code_page.h"
#include "platform/paths.h"
#include "tests/support/loaded_library.h"
#include "tests/support/record_bytes.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

namespace header_fields = platform::records::dual_spec_header;
namespace row_fields = platform::records::dual_spec_row;

namespace {

struct Shown {
  std::string value;
  std::string border;  // left,right,top,bottom
};

// Runs the fixture script; its standard output.
std::string fixture(const std::string& verb, const std::filesystem::path& workbook) {
  const std::string command = std::string(QX_PYTHON) + " " + KESTREL_XLSX_FIXTURE + " " + verb +
                              " '" + workbook.string() + "'";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, n);
    if (pclose(pipe) != 0) ADD_FAILURE() << command << " failed";
  }
  return out;
}

std::map<std::string, Shown> readBack(const std::filesystem::path& workbook) {
  std::map<std::string, Shown> cells;
  const std::string text = fixture("dump", workbook);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    const std::size_t tab1 = line.find('\t'), tab2 = line.rfind('\t');
    if (tab1 == std::string::npos || tab1 == tab2) continue;
    cells[line.substr(0, tab1)] = {line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)};
  }
  return cells;
}

TEST(KestrelEndToEnd, FillsFramesAndSavesARealTemplate) {
  TempDir dir;
  const std::filesystem::path workbook = dir.path() / "规格.xlsx";
  fixture("make", workbook);
  const auto log = dir.path() / "messages.log";
  ScopedEnv logEnv("QX_MESSAGE_LOG", log.string());

  RecordBytes header{header_fields::kSize};
  header.text(header_fields::template_path, platform::hostTextFromPath(workbook))
      .slot(slots::kDualSpec[0], platform::utf8ToGbk("报表"), 2, 1, 1)
      .slot(slots::kDualSpec[3], platform::utf8ToGbk("第四"), 3, 2, 1)
      .text(header_fields::primary_spec, "azb1")
      .text(header_fields::secondary_spec, "a")
      .int32(header_fields::start_row, 5)
      .int32(header_fields::border_weight, 2);
  RecordList rows{row_fields::kSize, row_fields::next};
  rows.add()
      .text(row_fields::primary_b, platform::utf8ToGbk("型号一"))
      .int32(row_fields::primary_1, -5)
      .text(row_fields::secondary_a, "s1");
  RecordBytes& second = rows.add()
                            .text(row_fields::primary_b, "B2")
                            .int32(row_fields::primary_1, 0)
                            .text(row_fields::secondary_a, "s2");
  second.text(row_fields::option_1, platform::utf8ToGbk("是"))
      .text(row_fields::option_7, platform::utf8ToGbk("完"));

  LoadedLibrary library(KESTREL_LIBRARY);
  const qx_table_export_fn excelFile = library.tableExport("excel_file");
  ASSERT_NE(excelFile, nullptr);
  excelFile(header.data(), rows.first());

  std::ifstream messages(log, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(messages), {}), "");
  const std::map<std::string, Shown> cells = readBack(workbook);
  auto value = [&](const char* cell) {
    const auto it = cells.find(cell);
    return it == cells.end() ? std::string("<none>") : it->second.value;
  };
  EXPECT_EQ(value("A1"), "双规格表");
  EXPECT_EQ(value("A2"), "报表");
  EXPECT_EQ(value("B3"), "第四");
  EXPECT_EQ(value("A5"), "已占用");  // taken, so the table starts at row 6
  // Primary a, z, b, 1 in A to D, secondary a in E, the option block in F to L.
  const std::map<std::string, std::string> table = {
      {"A6", "1"},  {"B6", "模板内容"}, {"C6", "型号一"}, {"D6", "-5"}, {"E6", "s1"},
      {"A7", "2"},  {"B7", ""},         {"C7", "B2"},     {"D7", "0"},  {"E7", "s2"},
      {"F7", "是"}, {"G7", ""},         {"K7", ""},       {"L7", "完"},
  };
  for (const auto& [cell, expected] : table) {
    SCOPED_TRACE(cell);
    ASSERT_TRUE(cells.count(cell));
    EXPECT_EQ(cells.at(cell).value, expected);
    EXPECT_EQ(cells.at(cell).border, "thin,thin,thin,thin");
  }
  EXPECT_FALSE(cells.count("F6"));          // no option block on the first row
  EXPECT_FALSE(cells.count("M7"));          // seven option columns, F to L
  EXPECT_EQ(cells.at("A2").border, ",,,");  // header texts are not framed
}

}  // namespace
}  // namespace qx::testing
