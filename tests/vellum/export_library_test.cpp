// Both built libraries, loaded by file name and called by their plain export names with the
// records laid out at the host's published offsets.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "include/qx/host_records.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "tests/support/loaded_library.h"
#include "tests/support/record_bytes.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

namespace header_fields = platform::records::group_table_header;
namespace row_fields = platform::records::group_table_row;

namespace {

struct Build {
  const char* library;
  const char* exportName;
  const char* otherName;
};
const Build kVellum{VELLUM_LIBRARY, "excel_file", "excel_file_auto"};
const Build kVellumX{VELLUM_X_LIBRARY, "excel_file_auto", "excel_file"};

class ExportLibrary : public ::testing::TestWithParam<Build> {
 protected:
  ExportLibrary() {
    header.int32(QX_GROUP_TABLE_HEADER_start_row, 5);
    header.int32(QX_GROUP_TABLE_HEADER_border_weight, 2);
    header.utf8Text(platform::TextField{QX_GROUP_TABLE_HEADER_column_spec, 80}, "abl");
    RecordBytes& first = rows.add();
    first.utf8Text(platform::TextField{QX_GROUP_TABLE_ROW_group_key, 80}, "一号");
    first.real(QX_GROUP_TABLE_ROW_time_value, 30);
    rows.add().utf8Text(platform::TextField{QX_GROUP_TABLE_ROW_group_key, 80}, "二号");
  }

  std::string messageLog() const {
    std::ifstream in(log, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void templateAt(const std::string& utf8Path) {
    header.utf8Text(platform::TextField{QX_GROUP_TABLE_HEADER_template_path, 256}, utf8Path);
  }

  LoadedLibrary library{GetParam().library};
  qx_table_export_fn exported = library.tableExport(GetParam().exportName);
  TempDir dir;
  std::filesystem::path log = dir.path() / "messages.log";
  ScopedEnv logEnv{"QX_MESSAGE_LOG", log.string()};
  ScopedEnv confEnv{"QX_CONF_DIR", dir.path().string()};
  RecordBytes header{header_fields::kSize};
  RecordList rows{row_fields::kSize, row_fields::next};
};

TEST_P(ExportLibrary, ExportsOnlyItsPlainName) {
  EXPECT_NE(exported, nullptr);
  EXPECT_EQ(library.tableExport(GetParam().otherName), nullptr);
  EXPECT_EQ(library.tableExport((std::string("_") + GetParam().exportName).c_str()), nullptr);
}

TEST_P(ExportLibrary, ANullHeaderReturnsWithoutAWord) {
  ASSERT_NE(exported, nullptr);
  exported(nullptr, rows.first());
  exported(nullptr, nullptr);
  EXPECT_EQ(messageLog(), "");
}

TEST_P(ExportLibrary, AMissingTemplateIsToldWithItsPath) {
  ASSERT_NE(exported, nullptr);
  const std::string path = dir.path().string() + "/报表.xlsx";
  templateAt(path);
  exported(header.data(), rows.first());
  std::string expected = "模板文件“";
  expected += path;
  expected += "”, 不存在!\n";
  EXPECT_EQ(messageLog(), expected);
}

#ifndef VELLUM_EMBEDDED_ENGINE
TEST_P(ExportLibrary, WithoutAServerTheUserIsToldItCannotStart) {
  ASSERT_NE(exported, nullptr);
  templateAt(dir.write("t.xlsx", "PK").string());
  exported(header.data(), rows.first());
  EXPECT_EQ(messageLog(), "无法启动Excel服务器!\n");
}
#endif

INSTANTIATE_TEST_SUITE_P(Builds, ExportLibrary, ::testing::Values(kVellum, kVellumX),
                         [](const auto& info) { return std::string(info.param.exportName); });

TEST(ExportLibraryDifferences, OnlyVellumNeedsARowList) {
  TempDir dir;
  const std::filesystem::path log = dir.path() / "messages.log";
  ScopedEnv logEnv{"QX_MESSAGE_LOG", log.string()};
  RecordBytes header{header_fields::kSize};
  header.utf8Text(platform::TextField{QX_GROUP_TABLE_HEADER_template_path, 256},
                  dir.path().string() + "/none.xlsx");
  LoadedLibrary vellum(VELLUM_LIBRARY), vellumX(VELLUM_X_LIBRARY);
  vellum.tableExport("excel_file")(header.data(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(log));  // returned before looking at the template
  vellumX.tableExport("excel_file_auto")(header.data(), nullptr);
  EXPECT_TRUE(std::filesystem::exists(log));  // went on and found no template
}

}  // namespace
}  // namespace qx::testing
