#include "report/workbook_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "automation/apartment.h"
#include "automation/automation_error.h"
#include "automation/dispatch.h"
#include "heron/run_policy.h"
#include "kestrel/run_policy.h"
#include "report/sheet_row.h"
#include "tamarack/run_policy.h"
#include "tests/support/captured_messages.h"
#include "tests/support/recording_server.h"
#include "tests/support/temp_dir.h"
#include "vellum/run_policy.h"

namespace qx::testing {

using namespace qx::report;

namespace {

using automation::apartmentDepthForTesting;

struct Exporter {
  const char* name;
  const ExporterPolicy& policy;
};

const Exporter kExporters[] = {
    {"heron", heron::kRunPolicy},
    {"vellum", vellum::kRunPolicy},
    {"kestrel", kestrel::kRunPolicy},
    {"tamarack", tamarack::kRunPolicy},
};

class WorkbookRunEnds : public ::testing::TestWithParam<Exporter> {
 protected:
  // The apartments the run left held on this thread, handed back so that the next case starts
  // from the same depth.
  int leftHeld(int before) {
    const int held = apartmentDepthForTesting() - before;
    for (int i = 0; i < held; ++i) automation::uninitializeApartment();
    return held;
  }
  CapturedMessages messages;
};

TEST_P(WorkbookRunEnds, AGoodFillTellsNothingAndKeepsTheApartmentAsThePolicySays) {
  const ExporterPolicy& policy = GetParam().policy;
  const int before = apartmentDepthForTesting();
  {
    WorkbookRun run(policy, messages);
    ASSERT_TRUE(run.leaseApartment());
    EXPECT_EQ(run.guarded([] { return Outcome::Saved; },
                          [] { FAIL() << "no failure to clean up after"; }),
              Outcome::Saved);
    EXPECT_EQ(run.guarded([] { return Outcome::Stopped; }), Outcome::Stopped);
  }
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(leftHeld(before), policy.uninitializeAfterGoodRun ? 0 : 1);
}

TEST_P(WorkbookRunEnds, AFailureIsToldOnceThenCleanedUpAfter) {
  const ExporterPolicy& policy = GetParam().policy;
  struct Failure {
    std::function<Outcome()> raise;
    std::string told;
  };
  const automation::AutomationError failedCall("Range.Item", automation::hr::kBadIndex);
  const Failure failures[] = {
      {[&]() -> Outcome { throw failedCall; }, automationFailureText(failedCall)},
      {[]() -> Outcome { throw std::out_of_range("no cell address"); },
       std::string(policy.otherFailurePrefix) + "no cell address"},
  };
  for (const Failure& failure : failures) {
    messages.shown.clear();
    const int before = apartmentDepthForTesting();
    int cleanedUp = 0;
    {
      WorkbookRun run(policy, messages);
      ASSERT_TRUE(run.leaseApartment());
      EXPECT_EQ(run.guarded(failure.raise, [&] { ++cleanedUp; }), Outcome::Failed);
      EXPECT_EQ(apartmentDepthForTesting() - before, policy.uninitializeAfterFailure ? 0 : 1);
    }
    EXPECT_EQ(cleanedUp, 1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, failure.told);
    EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
    EXPECT_EQ(leftHeld(before), policy.uninitializeAfterFailure ? 0 : 1);
  }
}

TEST_P(WorkbookRunEnds, AnApartmentHandedBackEarlyIsNotHandedBackAgain) {
  const int before = apartmentDepthForTesting();
  {
    WorkbookRun run(GetParam().policy, messages);
    ASSERT_TRUE(run.leaseApartment());
    run.handBackApartment();
    run.handBackApartment();
    EXPECT_EQ(apartmentDepthForTesting(), before);
  }
  EXPECT_EQ(apartmentDepthForTesting(), before);
}

// A run that stops after the template was opened closes the workbooks, quits the server and
// leaves nothing held, the apartment included, whatever the policy keeps after a good run.
TEST_P(WorkbookRunEnds, AbandonClosesQuitsReleasesAndHandsBack) {
  RecordingServer server;
  server.registerAs("Excel.Application");
  const int before = apartmentDepthForTesting();
  {
    WorkbookRun run(GetParam().policy, messages);
    ASSERT_TRUE(run.start());
    run.openTemplate("t.xlsx");
    run.table().frame(1, 1, 2);
    run.abandon();
    EXPECT_EQ(apartmentDepthForTesting(), before);
    EXPECT_EQ(server.outstandingReferences(), 0);
  }
  EXPECT_EQ(server.operations(),
            (std::vector<std::string>{
                "Application.Visible put", "Application.Workbooks", "Workbooks.Open",
                "Workbook.ActiveSheet", "Worksheet.UsedRange", "Worksheet.Range",
                "Range.BorderAround", "Workbooks.Close", "Application.Quit"}));
  EXPECT_EQ(server.referencesReleased(), server.objectsCreated() + server.referencesAdded());
  EXPECT_EQ(apartmentDepthForTesting(), before);
  EXPECT_TRUE(messages.shown.empty());
}

// The start-up texts come from the policy: told with their buttons, and a server that does not
// start hands the apartment back after its text. Without texts nothing is told, and the
// apartment stays as it is.
TEST_P(WorkbookRunEnds, StartUpFailuresTellThePolicysTexts) {
  const ExporterPolicy& policy = GetParam().policy;
  const bool told = policy.startTexts != nullptr;
  TempDir dir;
  const std::string missing = (dir.path() / "none.xlsx").string();
  {
    WorkbookRun run(policy, messages);
    EXPECT_TRUE(run.checkTemplate(dir.write("t.xlsx", "PK").string()));
    EXPECT_FALSE(run.checkTemplate(missing));
  }
  RecordingServer server;
  server.registerAs("Excel.Application");
  server.failCreation();
  const int before = apartmentDepthForTesting();
  {
    WorkbookRun run(policy, messages);
    EXPECT_FALSE(run.start());
    EXPECT_EQ(apartmentDepthForTesting() - before, told ? 0 : 1);
    run.handBackApartment();
  }
  automation::failNextApartmentInitializeForTesting(automation::hr::kOutOfMemory);
  {
    WorkbookRun run(policy, messages);
    EXPECT_FALSE(run.start());
    EXPECT_FALSE(server.created());
  }
  EXPECT_EQ(leftHeld(before), 0);
  std::vector<std::string> texts;
  for (const auto& shown : messages.shown) {
    EXPECT_EQ(shown.buttons, platform::Buttons::Ok);
    texts.push_back(shown.text);
  }
  if (!told) {
    EXPECT_TRUE(texts.empty());
    return;
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"模板文件“" + missing + "”, 不存在!",
                                             "无法启动Excel服务器!", "初始化环境失败!"}));
}

// Rows past 32 bits name no cell: the table refuses them with the policy's error and the
// operation's name before the server is asked. A frame above the first row is refused as the
// policy says: with its error, or as a cell without an address.
TEST_P(WorkbookRunEnds, TheTableRefusesRowsThatNameNoCell) {
  const ExporterPolicy& policy = GetParam().policy;
  RecordingServer server;
  server.registerAs("Excel.Application");
  const int before = apartmentDepthForTesting();
  {
    WorkbookRun run(policy, messages);
    ASSERT_TRUE(run.start());
    run.openTemplate("t.xlsx");
    Table& table = run.table();
    const std::size_t calls = server.calls().size();
    const std::int64_t beyond = std::int64_t{1} << 31, below = -beyond - 1;
    struct Case {
      const char* operation;
      std::function<void()> use;
    };
    const Case cases[] = {
        {"Range.Item", [&] { table.write(beyond, 1, "x"); }},
        {"Range.Item", [&] { table.readText(below, 1); }},
        {"Worksheet.Range", [&] { table.frame(1, beyond, 2); }},
        {"Worksheet.Range", [&] { table.placePicture(1, beyond, "p.bmp"); }},
    };
    for (const Case& c : cases) {
      try {
        c.use();
        ADD_FAILURE() << c.operation << " passed";
      } catch (const automation::AutomationError& error) {
        EXPECT_EQ(error.hresult(), policy.rowOutOfRange);
        EXPECT_EQ(error.operation(), c.operation);
      }
    }
    if (policy.frameAboveSheet) {
      try {
        table.frame(1, 0, 2);
        ADD_FAILURE() << "a frame above the sheet passed";
      } catch (const automation::AutomationError& error) {
        EXPECT_EQ(error.hresult(), *policy.frameAboveSheet);
        EXPECT_EQ(error.operation(), "Worksheet.Range");
      }
    } else {
      EXPECT_THROW(table.frame(1, 0, 2), std::out_of_range);
    }
    EXPECT_EQ(server.calls().size(), calls);
  }
  EXPECT_EQ(server.outstandingReferences(), 0);
  leftHeld(before);
}

INSTANTIATE_TEST_SUITE_P(Exporters, WorkbookRunEnds, ::testing::ValuesIn(kExporters),
                         [](const auto& info) { return std::string(info.param.name); });

// A page turn moves the table to the next worksheet and its own used range; after the last
// one the table stays where it was.
TEST(Table, NextSheetMovesOnUntilTheLastWorksheet) {
  CapturedMessages messages;
  RecordingServer server(2);
  server.registerAs("Excel.Application");
  const int before = apartmentDepthForTesting();
  {
    WorkbookRun run(heron::kRunPolicy, messages);
    ASSERT_TRUE(run.start());
    run.openTemplate("t.xlsx");
    Table& table = run.table();
    table.write(1, 1, "one");
    EXPECT_TRUE(table.nextSheet());
    table.write(1, 1, "two");
    table.frame(2, 1, 2);
    EXPECT_FALSE(table.nextSheet());
    table.write(2, 1, "still two");
  }
  EXPECT_EQ(server.cellUtf8(1, 1, 1), "one");
  EXPECT_EQ(server.cellUtf8(2, 1, 1), "two");
  EXPECT_EQ(server.cellUtf8(2, 2, 1), "still two");
  ASSERT_EQ(server.frames().size(), 1u);
  EXPECT_EQ(server.frames()[0].sheet, 2);
  EXPECT_EQ(server.outstandingReferences(), 0);
  EXPECT_EQ(apartmentDepthForTesting(), before);  // heron hands it back after a good run
}

TEST(SheetRow, RefusesRowsBeyondThirtyTwoBitsWithThePolicysError) {
  for (const ExporterPolicy* policy : {&heron::kRunPolicy, &kestrel::kRunPolicy}) {
    EXPECT_EQ(sheetRow(2147483647, automation::op::kRangeItemPut, *policy), 2147483647);
    for (const std::int64_t row : {std::int64_t{2147483648}, std::int64_t{-2147483649}}) {
      try {
        sheetRow(row, automation::op::kWorksheetRange, *policy);
        ADD_FAILURE() << row << " passed";
      } catch (const automation::AutomationError& error) {
        EXPECT_EQ(error.hresult(), policy->rowOutOfRange);
        EXPECT_EQ(error.operation(), "Worksheet.Range");
      }
    }
  }
}

}  // namespace
}  // namespace qx::testing
