// Failed calls over COM: the EXCEPINFO a server fills becomes the AutomationError.
#include <windows.h>

#include <gtest/gtest.h>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "tests/com/com_fixture.h"

namespace qx::testing {
namespace {

using namespace automation;

struct ExceptionRow {
  const char* name;
  std::int32_t scode;
  std::uint16_t wCode;
  bool deferred;
  std::int32_t expectedCode;
};

TEST_P(ComTransportTest, ServerExceptionsAreCarriedIntoAutomationError) {
  const std::u16string description = u"\u65E0\u6CD5\u6253\u5F00\u6587\u4EF6";  // 无法打开文件
  const ExceptionRow rows[] = {
      {"scode", static_cast<std::int32_t>(0x800A03ECu), 0, false,
       static_cast<std::int32_t>(0x800A03ECu)},
      {"wCode", 0, 1004, false, 1004},
      {"deferred fill-in", 0, 1004, true, 1004},
  };
  AutomationObject workbooks = applicationWorkbooks(application);
  for (const ExceptionRow& row : rows) {
    SCOPED_TRACE(row.name);
    fake.failNext(op::kWorkbooksOpen.dispid, DISP_E_EXCEPTION, row.scode, row.wCode,
                  u"Microsoft Excel", description, row.deferred);
    try {
      workbooksOpen(workbooks, "t.xlsx", OpenArguments());
      FAIL() << "no error";
    } catch (const AutomationError& error) {
      EXPECT_EQ(error.operation(), "Workbooks.Open");
      EXPECT_EQ(error.hresult(), hr::kException);
      ASSERT_TRUE(error.exception().has_value());
      EXPECT_EQ(error.exception()->code, row.expectedCode);
      EXPECT_EQ(error.exception()->source, u"Microsoft Excel");
      EXPECT_EQ(error.exception()->description, description);
      EXPECT_STREQ(error.what(),
                   "Workbooks.Open: \xE6\x97\xA0\xE6\xB3\x95\xE6\x89\x93\xE5\xBC\x80\xE6\x96\x87"
                   "\xE4\xBB\xB6 (0x80020009)");
    }
  }
}

TEST_P(ComTransportTest, FailuresWithoutAnExceptionCarryTheHresultOnly) {
  AutomationObject workbooks = applicationWorkbooks(application);
  AutomationObject workbook = workbooksOpen(workbooks, "t.xlsx", OpenArguments());
  fake.failNext(op::kWorkbookSave.dispid, E_FAIL, 0, 0, u"", u"");
  try {
    workbookSave(workbook);
    FAIL() << "no error";
  } catch (const AutomationError& error) {
    EXPECT_FALSE(error.exception().has_value());
    EXPECT_STREQ(error.what(), "Workbook.Save: Unspecified failure. (0x80004005)");
  }
  try {
    invoke(application, Operation{"Application.Missing", 9999, InvokeKind::Method});
    FAIL() << "no error";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.hresult(), hr::kMemberNotFound);
  }
  // The session goes on after a failure.
  workbookSave(workbook);
}

}  // namespace
}  // namespace qx::testing
