// Every workbook of the corpus through the engine: saved untouched, each part comes back byte
// for byte (compressed bytes included); filled like a report, only the parts a report changes
// differ, and an independent reader finds the texts, frames and picture.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "automation/automation_error.h"
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

namespace fs = std::filesystem;
using automation::AutomationError;
using automation::AutomationObject;
using automation::Variant;

// Files that are no usable workbooks: the engine must refuse them with an AutomationError.
const std::set<std::string> kRefused = {
    "broken-empty-zip.xlsx",       "broken-missing-content-types.xlsx", "broken-truncated-zip.xlsx",
    "broken-zero-bytes.xlsx",      "odd-encrypted-password.xlsx",       "odd-xml-entity-bomb.xlsx",
    "odd-duplicate-zip-entry.xlsx"};
// Readable packages whose active sheet cannot be filled (malformed sheet XML).
const std::set<std::string> kUnfillable = {"odd-invalid-xml-sheet.xlsx"};

void expectSameEntries(const std::map<std::string, std::string>& saved,
                       const std::map<std::string, std::string>& original, const char* what) {
  for (const auto& [name, bytes] : original) {
    const auto it = saved.find(name);
    if (it == saved.end()) {
      ADD_FAILURE() << name << " is missing";
    } else if (it->second != bytes) {
      ADD_FAILURE() << name << ": " << what << " bytes differ (" << it->second.size() << " vs "
                    << bytes.size() << ")";
    }
  }
  EXPECT_EQ(saved.size(), original.size());
}

class CorpusRoundTrip : public ::testing::TestWithParam<std::string> {
 protected:
  fs::path copy() {
    const fs::path file = dir.path() / GetParam();
    fs::copy_file(corpusFile(GetParam()), file);
    return file;
  }
  TempDir dir;
};

TEST_P(CorpusRoundTrip, SavedUntouchedEveryPartIsByteIdentical) {
  const fs::path file = copy();
  report::WorkbookSession session;
  ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
  session.workbooks = automation::applicationWorkbooks(session.application);
  try {
    session.workbook =
        automation::workbooksOpen(session.workbooks, file.string(), automation::OpenArguments());
    automation::workbookSave(session.workbook);
  } catch (const AutomationError& e) {
    EXPECT_EQ(kRefused.count(GetParam()), 1u) << e.what();
    EXPECT_NE(e.description().find(GetParam()), std::string::npos) << e.description();
    return;
  }
  EXPECT_EQ(kRefused.count(GetParam()), 0u) << "opened a file that should be refused";
  const fs::path original = corpusFile(GetParam());
  expectSameEntries(readRawEntries(file), readRawEntries(original), "stored");
  expectSameEntries(readPackage(file), readPackage(original), "content");
}

std::string normalised(std::string name) {
  for (char& c : name)
    c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

bool reportPart(const std::string& name) {
  const std::string n = normalised(name);
  return n == "[content_types].xml" || n == "xl/styles.xml" || n == "xl/sharedstrings.xml" ||
         n.starts_with("xl/drawings/") || n.starts_with("xl/worksheets/_rels/") ||
         n.starts_with("xl/media/");
}

TEST_P(CorpusRoundTrip, FilledLikeAReportOnlyTheReportPartsChange) {
  if (kRefused.count(GetParam()) != 0) GTEST_SKIP() << "refused package";
  const fs::path file = copy();
  const fs::path picture = dir.write("picture.png", tinyPng());
  report::WorkbookSession session;
  CapturedMessages messages;
  ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
  int firstRow = 0;
  try {
    report::openTemplate(session, file.string());
    AutomationObject a1 =
        automation::worksheetRange(session.sheet, Variant::text(u"A1"), Variant::missing());
    // Rows below anything a template of the corpus uses, so that no template cell (a formula
    // in the calculation chain, say) is overwritten.
    firstRow = 1040000;
    report::FramedCell cell;
    for (int r = firstRow; r < firstRow + 5; ++r) {
      for (int c = 1; c <= 10; ++c) {
        const std::string text = "单元" + std::to_string(r) + "-" + std::to_string(c);
        report::writeCell(a1, r, c, platform::utf8ToGbk(text));
        report::frameCell(session.sheet, c, r, 2, cell);
      }
    }
    const std::string top = "$B$" + std::to_string(firstRow);
    const std::string bottomRight = "$D$" + std::to_string(firstRow + 3);
    ASSERT_TRUE(report::placePicture(session.sheet.copy(), top, bottomRight, picture.string(),
                                     report::PictureStyle::NearestSingle, messages));
    automation::workbookSave(session.workbook);
  } catch (const AutomationError& e) {
    EXPECT_EQ(kUnfillable.count(GetParam()), 1u) << e.what();
    return;
  }
  EXPECT_EQ(kUnfillable.count(GetParam()), 0u);
  if (const char* keep = std::getenv("QX_KEEP_FILLED")) {
    fs::copy_file(file, fs::path(keep) / GetParam(), fs::copy_options::overwrite_existing);
  }
  const Parts before = readPackage(corpusFile(GetParam()));
  const Parts after = readPackage(file);
  int sheetsChanged = 0;
  for (const auto& [name, bytes] : after) {
    const auto old = before.find(name);
    if (old != before.end() && old->second == bytes) continue;
    if (normalised(name).starts_with("xl/worksheets/") && name.find("_rels") == std::string::npos) {
      ++sheetsChanged;
      continue;
    }
    EXPECT_TRUE(reportPart(name)) << name << " changed";
  }
  EXPECT_EQ(sheetsChanged, 1);
  for (const auto& [name, bytes] : before) EXPECT_EQ(after.count(name), 1u) << name << " lost";

  // openpyxl reads Strict packages and a few producers' quirks poorly: check with it where it
  // reads the original.
  const std::string python = "/usr/bin/python3";
  const std::string script = QX_READ_BACK_SCRIPT;
  const std::string probe =
      python + " -c \"import openpyxl,sys; assert openpyxl.load_workbook(sys.argv[1]).active\" '" +
      (corpusFile(GetParam())).string() + "' >/dev/null 2>&1";
  if (std::system(probe.c_str()) != 0) {
    GTEST_SKIP() << "openpyxl cannot read the original " << GetParam();
  }
  const std::string check = python + " '" + script + "' '" + file.string() + "' " +
                            std::to_string(firstRow) + " 5 10 2>&1";
  EXPECT_EQ(std::system(check.c_str()), 0) << check;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusRoundTrip, ::testing::ValuesIn(corpusFiles(false)),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name;
                           for (const char c : info.param) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace qx::testing
