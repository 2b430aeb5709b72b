// A million rows: heron fills a million records of ten framed GBK text cells into the example
// template, as the large-report benchmark does, and the saved report, ten million cells in
// one sheet part, passes the strict check with no finding its template did not have.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/adversarial/deliverables.h"
#include "tests/support/record_bytes.h"
#include "tests/support/strict_check_run.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;
namespace header_fields = platform::records::check_point_header;

constexpr int kRows = 1000000;

TEST(MillionRows, TheSavedReportPassesTheStrictCheck) {
  const HostSetting setting;
  setting.copy(examplePicture(), "temp/set_check_point_pictrue.bmp");
  const fs::path example = fs::path(QX_EXAMPLES_DIR) / "heron" / "template.xlsx";
  const fs::path workbook = setting.copy(example, "template.xlsx");
  RecordBytes header{header_fields::kSize};
  header.int32(header_fields::first_row, 5)
      .int32(header_fields::border_weight, 2)
      .int32(header_fields::row_count, kRows)
      .text(header_fields::column_spec, "abcdabcdab");
  header.text(header_fields::picture_cell1, "L2")
      .text(header_fields::picture_cell2, "N12")
      .text(header_fields::template_path, hostText(workbook));
  {
    // Written as it goes: the file is 328 MB.
    std::ofstream out(setting.temp("check_point_temp.dat"), std::ios::binary);
    out << checkPointFile(header);
    for (int r = 1; r <= kRows; ++r) {
      const std::string n = std::to_string(r);
      out << checkPointRow("\xB2\xE2\xB5\xE3" + n, "\xB8\xD6\xBD\xEE" + n, "c" + n, "d" + n);
    }
    ASSERT_TRUE(out.good());
  }
  const ProgramEnd end = runHeron(setting, nullptr);
  ASSERT_TRUE(end.exited && end.code == 0) << "heron ended with " << end.code;
  EXPECT_EQ(setting.messages(), std::vector<std::string>());
  fs::remove(setting.temp("check_point_temp.dat"));

  const StrictCheck check = strictCheck({{example, workbook}}, setting.folder());
  std::printf("%s", check.report.c_str());
  EXPECT_EQ(check.status, 0) << "findings the fill introduced above";
  EXPECT_NE(check.report.find("checked 2 packages (1 templates)"), std::string::npos);
}

}  // namespace
}  // namespace qx::testing
