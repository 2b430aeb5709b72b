// A million rows: heron fills a million records of ten framed GBK text cells into the example
// template, as the large-report benchmark does, and the saved report, ten million cells in
// one sheet part, passes the strict check with no finding its template did not have.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/adversarial/deliverables.h"
#include "tests/heron/check_point_bytes.h"
#include "tests/support/strict_check_run.h"

namespace qx::adversarial {
namespace {

namespace fs = std::filesystem;
using heron::testing::HeaderBytes;
using heron::testing::rowBytes;

constexpr int kRows = 1000000;

TEST(MillionRows, TheSavedReportPassesTheStrictCheck) {
  const HostSetting setting;
  setting.copy(examplePicture(), "temp/set_check_point_pictrue.bmp");
  const fs::path example = fs::path(QX_EXAMPLES_DIR) / "heron" / "template.xlsx";
  const fs::path workbook = setting.copy(example, "template.xlsx");
  HeaderBytes header;
  header.firstRow(5).borderWeight(2).rowCount(kRows).columnSpec("abcdabcdab");
  header.pictureCells("L2", "N12").templatePath(hostText(workbook));
  {
    // Written as it goes: the file is 328 MB.
    std::ofstream out(setting.temp("check_point_temp.dat"), std::ios::binary);
    out << heron::testing::fileBytes(header);
    for (int r = 1; r <= kRows; ++r) {
      const std::string n = std::to_string(r);
      out << rowBytes("\xB2\xE2\xB5\xE3" + n, "\xB8\xD6\xBD\xEE" + n, "c" + n, "d" + n);
    }
    ASSERT_TRUE(out.good());
  }
  const ProgramEnd end = runHeron(setting, nullptr);
  ASSERT_TRUE(end.exited && end.code == 0) << "heron ended with " << end.code;
  EXPECT_EQ(setting.messages(), std::vector<std::string>());
  fs::remove(setting.temp("check_point_temp.dat"));

  const ::qx::testing::StrictCheck check =
      ::qx::testing::strictCheck({{example, workbook}}, setting.folder());
  std::printf("%s", check.report.c_str());
  EXPECT_EQ(check.status, 0) << "findings the fill introduced above";
  EXPECT_NE(check.report.find("checked 2 packages (1 templates)"), std::string::npos);
}

}  // namespace
}  // namespace qx::adversarial
