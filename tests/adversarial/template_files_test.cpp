// Templates the host names that are no workbook the server can fill, or that it cannot save
// over: each run ends with one clear message, the file stays as it was, the host's thread comes
// back (heron exits without a signal) and nothing leaks.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <tuple>

#include "tests/adversarial/deliverables.h"
#include "tests/adversarial/small_reports.h"
#include "tests/support/corpus.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

enum class Told {
  TemplateMissing,  // the exporter's own "does not exist" message, before any server starts
  OpenRefused,      // the one message for a call the server refused: Workbooks.Open
  SaveRefused,      // the same for Workbook.Save, after the whole report was written
};

// How the template is kept from being replaced, as a read-only file is for the user.
enum class Locked { No, File, Folder };

struct TemplateKind {
  const char* name;
  // Makes the template in the case folder; an empty path when this machine cannot (the case is
  // then skipped).
  std::function<fs::path(const HostSetting&, Exporter)> make;
  Told told;
  Locked locked = Locked::No;
};

fs::path fromCorpus(const HostSetting& setting, const char* name) {
  return setting.copy(corpusFile(name), "报表.xlsx");
}

const TemplateKind kKinds[] = {
    {"Absent", [](const HostSetting& s, Exporter) { return s.folder() / "无此报表.xlsx"; },
     Told::TemplateMissing},
    // 256 bytes, the whole room, with no NUL after them: the message shows the whole path.
    {"AbsentAtFullLength",
     [](const HostSetting& s, Exporter) {
       const std::string folder = hostText(s.folder()) + "/";
       return s.folder() / std::string(256 - folder.size(), 'n');
     },
     Told::TemplateMissing},
    {"Directory",
     [](const HostSetting& s, Exporter) {
       fs::create_directory(s.folder() / "报表.xlsx");
       return s.folder() / "报表.xlsx";
     },
     Told::TemplateMissing},
    {"ZeroBytes", [](const HostSetting& s, Exporter) { return s.write("报表.xlsx", ""); },
     Told::OpenRefused},
    {"TextNamedXlsx",
     [](const HostSetting& s, Exporter) { return s.write("报表.xlsx", "名称,数量\n甲,1\n"); },
     Told::OpenRefused},
    {"LegacyBinaryXls",
     [](const HostSetting& s, Exporter) {
       return s.copy(fs::path(QX_ADVERSARIAL_DATA) / "legacy_binary.xls", "报表.xls");
     },
     Told::OpenRefused},
    {"Encrypted",
     [](const HostSetting& s, Exporter) { return fromCorpus(s, "odd-encrypted-password.xlsx"); },
     Told::OpenRefused},
    {"TruncatedZip",
     [](const HostSetting& s, Exporter) { return fromCorpus(s, "broken-truncated-zip.xlsx"); },
     Told::OpenRefused},
    {"EntityBomb",
     [](const HostSetting& s, Exporter) { return fromCorpus(s, "odd-xml-entity-bomb.xlsx"); },
     Told::OpenRefused},
    // A template that opens and fills, but that the save may not replace.
    {"ReadOnlyFile",
     [](const HostSetting& s, Exporter e) {
       return exampleTemplate(s, exampleFolder(e), "报表.xlsx");
     },
     Told::SaveRefused, Locked::File},
    {"InReadOnlyFolder",
     [](const HostSetting& s, Exporter e) {
       return exampleTemplate(s, exampleFolder(e), "只读/报表.xlsx");
     },
     Told::SaveRefused, Locked::Folder},
};

void PrintTo(const TemplateKind& kind, std::ostream* out) {
  *out << kind.name;
}

class TemplateFiles : public ::testing::TestWithParam<std::tuple<TemplateKind, Exporter>> {
 protected:
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }
};

TEST_P(TemplateFiles, EndWithOneMessageAndLeaveTheFileAlone) {
  const auto& [kind, exporter] = GetParam();
  const HostSetting setting;
  const fs::path workbook = kind.make(setting, exporter);
  if (workbook.empty()) GTEST_SKIP() << "no such file on this machine";
  const bool wasFile = fs::is_regular_file(workbook);
  const std::string before = wasFile ? fileBytes(workbook) : std::string();
  std::optional<Immutable> lock;
  if (kind.locked != Locked::No) {
    lock.emplace(kind.locked == Locked::File ? workbook : workbook.parent_path());
    if (!lock->applied()) GTEST_SKIP() << "this file system cannot make a file read-only for root";
  }

  const std::optional<ProgramEnd> end = runSmallReport(exporter, setting, workbook);

  const std::vector<std::string> messages = setting.messages();
  ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(messages);
  if (kind.told == Told::TemplateMissing) {
    EXPECT_EQ(messages[0], templateMissingMessage(shownText(workbook)));
  } else {
    const std::string member =
        kind.told == Told::OpenRefused ? "Workbooks.Open: " : "Workbook.Save: ";
    EXPECT_TRUE(startsWith(messages[0], std::string(kServerFailurePrefix) + member)) << messages[0];
    EXPECT_NE(messages[0].find(shownText(workbook)), std::string::npos) << messages[0];
  }
  if (wasFile) {
    EXPECT_EQ(fileBytes(workbook), before);
  } else if (fs::is_directory(workbook)) {
    EXPECT_TRUE(fs::is_empty(workbook));  // nothing was saved into it
  }
  if (end) {
    EXPECT_TRUE(end->exited) << "signal " << end->signal;
    EXPECT_EQ(end->code, kind.told == Told::TemplateMissing ? 0 : 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, TemplateFiles,
                         ::testing::Combine(::testing::ValuesIn(kKinds),
                                            ::testing::Values(Exporter::Heron, Exporter::Vellum,
                                                              Exporter::VellumX, Exporter::Kestrel,
                                                              Exporter::Tamarack)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  exporterName(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace qx::testing
