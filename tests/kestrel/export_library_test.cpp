// The built library, loaded by file name and called with records laid out byte by byte.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "kestrel/dual_spec_header.h"
#include "kestrel/dual_spec_row.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "tests/support/loaded_library.h"
#include "tests/support/record_bytes.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::kestrel;

namespace header_fields = platform::records::dual_spec_header;
namespace row_fields = platform::records::dual_spec_row;

namespace {

// The layout the host is given and the one the exporter decodes are one layout.
static_assert(QX_DUAL_SPEC_HEADER_SIZE == kDualSpecHeaderSize);
static_assert(QX_DUAL_SPEC_ROW_SIZE == kDualSpecRowSize);
static_assert(QX_DUAL_SPEC_ROW_next == kDualSpecRowLinkOffset);

class KestrelLibrary : public ::testing::Test {
 protected:
  std::string messageLog() const {
    std::ifstream in(log, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  LoadedLibrary library{KESTREL_LIBRARY};
  qx_table_export_fn excelFile = library.tableExport("excel_file");
  TempDir dir;
  std::filesystem::path log = dir.path() / "messages.log";
  ScopedEnv logEnv{"QX_MESSAGE_LOG", log.string()};
  RecordBytes header{header_fields::kSize};
  RecordList rows{row_fields::kSize, row_fields::next};
};

TEST_F(KestrelLibrary, TheExportIsFoundByItsPlainName) {
  EXPECT_NE(excelFile, nullptr);
  EXPECT_EQ(library.tableExport("_excel_file"), nullptr);
  EXPECT_EQ(library.tableExport("excel_file_auto"), nullptr);
}

TEST_F(KestrelLibrary, AMissingTemplateIsToldWithItsWholePath) {
  ASSERT_NE(excelFile, nullptr);
  const std::string path =
      platform::hostTextFromPath(dir.path()) + "/\xB1\xA8\xB1\xED.xlsx";  // "报表.xlsx"
  header.text(QX_DUAL_SPEC_HEADER_template_path, path)
      .text(QX_DUAL_SPEC_HEADER_primary_spec, "ab")
      .int32(QX_DUAL_SPEC_HEADER_start_row, 5);
  rows.add().text(QX_DUAL_SPEC_ROW_primary_b, "x");
  rows.add().text(QX_DUAL_SPEC_ROW_primary_b, "y");
  excelFile(header.data(), rows.first());
  EXPECT_EQ(messageLog(), "模板文件“" + platform::gbkToUtf8(path) + "”, 不存在!\n");
}

TEST_F(KestrelLibrary, ANullHeaderReturnsWithoutAWord) {
  ASSERT_NE(excelFile, nullptr);
  excelFile(nullptr, nullptr);
  EXPECT_EQ(messageLog(), "");
}

#ifndef KESTREL_EMBEDDED_ENGINE
TEST_F(KestrelLibrary, WithoutAServerTheUserIsToldItCannotStart) {
  ASSERT_NE(excelFile, nullptr);
  const std::string path = platform::hostTextFromPath(dir.write("t.xlsx", "PK"));
  header.text(QX_DUAL_SPEC_HEADER_template_path, path);
  excelFile(header.data(), nullptr);
  EXPECT_EQ(messageLog(), "无法启动Excel服务器!\n");
}
#endif

}  // namespace
}  // namespace qx::testing
