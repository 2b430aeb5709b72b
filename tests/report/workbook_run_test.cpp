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
#include "vellum/run_policy.h"

namespace qx::report {
namespace {

using automation::apartmentDepthForTesting;
using testing::CapturedMessages;

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
    EXPECT_TRUE(run.guarded([] {}, [] { FAIL() << "no failure to clean up after"; }));
  }
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(leftHeld(before), policy.uninitializeAfterGoodRun ? 0 : 1);
}

TEST_P(WorkbookRunEnds, AFailureIsToldOnceThenCleanedUpAfter) {
  const ExporterPolicy& policy = GetParam().policy;
  struct Failure {
    std::function<void()> raise;
    std::string told;
  };
  const automation::AutomationError failedCall("Range.Item", automation::hr::kBadIndex);
  const Failure failures[] = {
      {[&] { throw failedCall; }, automationFailureText(failedCall)},
      {[] { throw std::out_of_range("no cell address"); },
       std::string(policy.otherFailurePrefix) + "no cell address"},
  };
  for (const Failure& failure : failures) {
    messages.shown.clear();
    const int before = apartmentDepthForTesting();
    int cleanedUp = 0;
    {
      WorkbookRun run(policy, messages);
      ASSERT_TRUE(run.leaseApartment());
      EXPECT_FALSE(run.guarded(failure.raise, [&] { ++cleanedUp; }));
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

INSTANTIATE_TEST_SUITE_P(Exporters, WorkbookRunEnds, ::testing::ValuesIn(kExporters),
                         [](const auto& info) { return std::string(info.param.name); });

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
}  // namespace qx::report
