// A workbook the engine filled, converted to CSV by LibreOffice (a second independent reader),
// shows the written texts. Skipped, visibly, where LibreOffice is not installed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "automation/operations.h"
#include "platform/code_page.h"
#include "report/sheet_writing.h"
#include "report/workbook_session.h"
#include "tests/engine/package_builder.h"
#include "tests/support/captured_messages.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

std::string findOffice() {
  for (const char* name : {"soffice", "libreoffice"}) {
    const std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return name;
  }
  return {};
}

TEST(LibreOfficeCsv, FindsTheTextsTheEngineWrote) {
  const std::string office = findOffice();
  if (office.empty()) GTEST_SKIP() << "LibreOffice (libreoffice-calc) is not installed";
  TempDir dir;
  const auto file = dir.path() / "report.xlsx";
  writePackage(file, minimalWorkbook());
  {
    report::WorkbookSession session;
    ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
    report::openTemplate(session, file.string());
    report::FramedCell cell;
    for (int column = 1; column <= 3; ++column) {
      report::writeCell(session.usedRange, 2, column,
                        platform::utf8ToGbk("检测" + std::to_string(column)));
      report::frameCell(session.sheet, column, 2, 2, cell);
    }
    report::writeCell(session.usedRange, 3, 1, "12.5");
    report::writeCell(session.usedRange, 3, 2, "1:10");
    automation::workbookSave(session.workbook);
  }
  const std::string command = "cd '" + dir.path().string() + "' && HOME='" + dir.path().string() +
                              "' " + office +
                              " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76'"
                              " --outdir out report.xlsx >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(dir.path() / "out" / "report.csv");
  const std::string csv{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(csv.find("检测1,检测2,检测3"), std::string::npos) << csv;
  EXPECT_NE(csv.find("12.5,1:10"), std::string::npos) << csv;
}

// Strict packages, which openpyxl cannot read: LibreOffice is the independent reader there.
TEST(LibreOfficeCsv, ReadsFilledStrictWorkbooksOfTheCorpus) {
  const std::string office = findOffice();
  if (office.empty()) GTEST_SKIP() << "LibreOffice (libreoffice-calc) is not installed";
  for (const char* name :
       {"excel365-strict-japanese-template.xlsx", "excel2013-strict-hidden-sheets.xlsx"}) {
    const std::filesystem::path original = corpusFile(name);
    TempDir dir;
    const auto file = dir.path() / "strict.xlsx";
    std::filesystem::copy_file(original, file);
    const auto picture = dir.write("p.png", tinyPng());
    {
      report::WorkbookSession session;
      CapturedMessages messages;
      ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
      report::openTemplate(session, file.string());
      automation::AutomationObject a1 = automation::worksheetRange(
          session.sheet, automation::Variant::text(u"A1"), automation::Variant::missing());
      report::FramedCell cell;
      for (int column = 1; column <= 3; ++column) {
        report::writeCell(a1, 5000, column, platform::utf8ToGbk("严格" + std::to_string(column)));
        report::frameCell(session.sheet, column, 5000, 2, cell);
      }
      ASSERT_TRUE(report::placePicture(session.sheet.copy(), "$B$5001", "$C$5003", picture.string(),
                                       report::PictureStyle::NearestSingle, messages));
      automation::workbookSave(session.workbook);
    }
    const std::string command =
        "cd '" + dir.path().string() + "' && HOME='" + dir.path().string() + "' " + office +
        " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,"
        "false,false,false,-1' --outdir out strict.xlsx >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "out")) {
      std::ifstream in(entry.path());
      all.append(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_NE(all.find("严格1,严格2,严格3"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace qx::testing
