// Every run, good or cut short by the server, releases every engine object it was handed: the
// exporters' run code linked with the embedded engine in this process, whose live objects can
// be counted after each run (the built libraries keep the engine's count to themselves).

#include <gtest/gtest.h>

#include <optional>

#include "automation/apartment.h"
#include "automation/automation_object.h"
#include "automation/operations.h"
#include "engine/objects/objects.h"
#include "heron/check_point_run.h"
#include "kestrel/dual_spec_run.h"
#include "platform/code_page.h"
#include "tamarack/export_run.h"
#include "tests/adversarial/deliverables.h"
#include "tests/adversarial/small_reports.h"
#include "tests/support/captured_messages.h"
#include "tests/support/record_bytes.h"
#include "vellum/build_rules.h"
#include "vellum/group_table_run.h"

namespace qx::testing {
namespace {

using namespace qx::testing::layouts;

namespace fs = std::filesystem;
using platform::utf8ToGbk;

enum class Trouble {
  None,          // a good report: saved
  OpenRefused,   // the template is no workbook
  CellRefused,   // a header text at row 0
  FrameRefused,  // a border weight the server has no line for
  SaveRefused,   // the template may not be replaced
  LoopingRows,   // the row list leads back to its first record (heron has none)
};

const char* troubleName(Trouble trouble) {
  switch (trouble) {
    case Trouble::None:
      return "None";
    case Trouble::OpenRefused:
      return "OpenRefused";
    case Trouble::CellRefused:
      return "CellRefused";
    case Trouble::FrameRefused:
      return "FrameRefused";
    case Trouble::SaveRefused:
      return "SaveRefused";
    case Trouble::LoopingRows:
      return "LoopingRows";
  }
  return "?";
}

void PrintTo(Trouble trouble, std::ostream* out) {
  *out << troubleName(trouble);
}

struct Outcome {
  std::size_t messages = 0;
  int apartmentDepth = 0;  // on the host's thread after the run
};

// One run of the exporter's run code on a thread of its own, with `trouble` in its input.
class CoreRun {
 public:
  CoreRun(Exporter exporter, Trouble trouble) : exporter_(exporter), trouble_(trouble) {
    workbook_ = exampleTemplate(setting_, exampleFolder(exporter));
    if (trouble == Trouble::OpenRefused) setting_.write(workbook_.filename().string(), "");
  }

  Outcome run() {
    Outcome outcome;
    callOnHostThread([&] {
      switch (exporter_) {
        case Exporter::Heron:
          heron();
          break;
        case Exporter::Vellum:
        case Exporter::VellumX:
          vellum();
          break;
        case Exporter::Kestrel:
          kestrel();
          break;
        case Exporter::Tamarack:
          tamarack();
          break;
      }
      outcome.apartmentDepth = automation::apartmentDepthForTesting();
    });
    outcome.messages = messages_.shown.size();
    return outcome;
  }
  const fs::path& workbook() const { return workbook_; }

 private:
  std::int32_t headerRow() const { return trouble_ == Trouble::CellRefused ? 0 : 2; }
  std::int32_t weight() const { return trouble_ == Trouble::FrameRefused ? 3 : 2; }

  void heron() {
    RecordBytes header{cp::kSize};
    header.slot(slots::kCheckPoint[0], utf8ToGbk("标题"), headerRow(), 1)
        .int32(cp::first_row, 5)
        .int32(cp::border_weight, weight())
        .int32(cp::row_count, 2)
        .text(cp::column_spec, "ab")
        .text(cp::template_path, hostText(workbook_))
        .text(cp::picture_cell1, "F2")
        .text(cp::picture_cell2, "H12");
    const std::string row = checkPointRow("1", "B", "", "");
    heron::RunFiles files;
    files.dataFile = setting_.write("check_point_temp.dat", checkPointFile(header, {row, row}));
    files.picture = hostText(examplePicture());
    heron::runCheckPointExport(files, messages_);
  }

  void vellum() {
    RecordBytes header{gt::kSize};
    header.slot(slots::kGroupTable[0], platform::utf8ToGbk("标题"), headerRow(), 1, true);
    header.utf8Text(gt::template_path, shownText(workbook_));
    header.int32(gt::start_row, 5);
    header.int32(gt::group_column, 3);
    header.int32(gt::border_weight, weight());
    header.utf8Text(gt::column_spec, "al");
    RecordBlock rows(2, platform::records::group_table_row::kSize,
                     platform::records::group_table_row::next);
    if (trouble_ == Trouble::LoopingRows) rows.link(1, rows.record(0));
    const vellum::BuildRules& rules =
        exporter_ == Exporter::Vellum ? vellum::kVellumRules : vellum::kVellumXRules;
    vellum::exportGroupTable(header.data(), rows.first(), rules, messages_);
  }

  void kestrel() {
    RecordBytes header{ds::kSize};
    header.text(ds::template_path, hostText(workbook_))
        .slot(slots::kDualSpec[0], utf8ToGbk("标题"), headerRow(), 1, 1)
        .text(ds::primary_spec, "ab")
        .int32(ds::start_row, 5)
        .int32(ds::border_weight, weight());
    RecordBlock rows(2, platform::records::dual_spec_row::kSize,
                     platform::records::dual_spec_row::next);
    if (trouble_ == Trouble::LoopingRows) rows.link(1, rows.record(0));
    kestrel::runDualSpecExport(kestrel::decodeDualSpecHeader(header.bytes()), rows.first(),
                               messages_);
  }

  void tamarack() {
    ResultHost host;
    host.header.slot(slots::kResult[0], utf8ToGbk("标题"), headerRow(), 1);
    host.header.text(rs::workbook_path, hostText(workbook_));
    host.header.text(rs::column_spec, "ae");
    host.bodyRows(5, 9);
    host.header.int32(rs::border_weight, weight());
    host.addRow().text(rr::field_a, "1");
    host.addRow().text(rr::field_a, "2");
    if (trouble_ == Trouble::LoopingRows) {
      host.rows[1].address(rr::next, host.rows[0].data());
    }
    tamarack::RunFiles files;
    files.languageFile = TAMARACK_LANGUAGE_FILE;
    files.dataFile = setting_.write("pinebrook_temp.dat", host.transferRecord());
    tamarack::runExport(files, messages_);
  }

  Exporter exporter_;
  Trouble trouble_;
  HostSetting setting_;
  fs::path workbook_;
  CapturedMessages messages_;
};

// The count sees what a holder keeps: without it, a leak would pass unnoticed.
TEST(EngineObjectCount, CountsWhatIsHeld) {
  automation::AutomationObject application;
  ASSERT_TRUE(application.createByProgId("Excel.Application"));
  const automation::AutomationObject workbooks = automation::applicationWorkbooks(application);
  EXPECT_EQ(engine::liveEngineObjects(), 2u);
  application.release();
  EXPECT_EQ(engine::liveEngineObjects(), 1u);  // the collection keeps what it needs
}

class ReleasedReferences : public ::testing::TestWithParam<std::tuple<Trouble, Exporter>> {};

TEST_P(ReleasedReferences, NoEngineObjectOutlivesTheRun) {
  const auto [trouble, exporter] = GetParam();
  if (trouble == Trouble::LoopingRows && exporter == Exporter::Heron) GTEST_SKIP();
  ASSERT_EQ(engine::liveEngineObjects(), 0u);
  CoreRun run(exporter, trouble);
  std::optional<Immutable> lock;
  if (trouble == Trouble::SaveRefused) {
    lock.emplace(run.workbook());
    if (!lock->applied()) GTEST_SKIP() << "this file system cannot make a file read-only";
  }

  const Outcome outcome = run.run();

  EXPECT_EQ(outcome.messages, trouble == Trouble::None ? 0u : 1u);
  EXPECT_EQ(engine::liveEngineObjects(), 0u);
  // heron hands the apartment back on every path; the libraries keep it after a good run.
  if (exporter == Exporter::Heron) {
    EXPECT_EQ(outcome.apartmentDepth, 0);
  } else if (trouble == Trouble::None) {
    EXPECT_EQ(outcome.apartmentDepth, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ReleasedReferences,
    ::testing::Combine(::testing::Values(Trouble::None, Trouble::OpenRefused, Trouble::CellRefused,
                                         Trouble::FrameRefused, Trouble::SaveRefused,
                                         Trouble::LoopingRows),
                       ::testing::Values(Exporter::Heron, Exporter::Vellum, Exporter::VellumX,
                                         Exporter::Kestrel, Exporter::Tamarack)),
    [](const auto& info) {
      return std::string(troubleName(std::get<0>(info.param))) + "_" +
             exporterName(std::get<1>(info.param));
    });

}  // namespace
}  // namespace qx::testing
