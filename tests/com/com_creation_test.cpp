// Creation by ProgID through COM, and what comes before it.
#include <windows.h>

#include <gtest/gtest.h>

#include "automation/com_dispatch.h"
#include "automation/server_registry.h"
#include "tests/com/com_fixture.h"

namespace qx::fake {
namespace {

using automation::AutomationObject;

TEST_F(ComTest, TheTestProgIdNamesTheFakeServerClass) {
  CLSID classId;
  ASSERT_EQ(CLSIDFromProgID(L"" QX_FAKE_PROGID, &classId), S_OK);
  const CLSID expected = QX_FAKE_CLSID_INIT;
  EXPECT_TRUE(IsEqualCLSID(classId, expected));
}

TEST_F(ComTest, CreationHoldsExactlyOneReferenceOfAComObject) {
  EXPECT_EQ(fake.outstanding(), 1);
  EXPECT_NE(automation::comDispatchOf(application.get()), nullptr);
  AutomationObject second = application.copy();
  EXPECT_EQ(fake.outstanding(), 2);
  second.release();
  application.release();
  EXPECT_EQ(fake.outstanding(), 0);
  EXPECT_TRUE(fake.calls().empty());  // creating invokes nothing
}

TEST_F(ComTest, UnknownOrMalformedProgIdsGiveFalse) {
  AutomationObject other;
  EXPECT_FALSE(other.createByProgId("Qx.NoSuchServer"));
  EXPECT_FALSE(other.createByProgId(""));
  // The name before the NUL is registered; the whole name is not.
  EXPECT_FALSE(
      other.createByProgId(std::string_view(QX_FAKE_PROGID "\0x", sizeof QX_FAKE_PROGID + 1)));
  EXPECT_TRUE(other.empty());
  EXPECT_EQ(fake.outstanding(), 1);
}

// An in-process server registered under a ProgID is preferred to COM.
class Local final : public automation::DispatchBase {
 public:
  std::int32_t invoke(std::int32_t, automation::InvokeKind, std::span<const automation::Variant>,
                      automation::Variant&, automation::ExceptionInfo&) override {
    return automation::hr::kOk;
  }
};

TEST_F(ComTest, AnInProcessRegistrationComesBeforeCom) {
  automation::Dispatch* made = nullptr;
  automation::registerServer(QX_FAKE_PROGID, [&made] { return made = new Local; });
  AutomationObject local;
  const bool created = local.createByProgId(QX_FAKE_PROGID);
  automation::unregisterServer(QX_FAKE_PROGID);
  ASSERT_TRUE(created);
  EXPECT_EQ(local.get(), made);
  EXPECT_EQ(automation::comDispatchOf(local.get()), nullptr);
  EXPECT_EQ(fake.outstanding(), 1);  // only the fixture's application
}

TEST(ComCreation, FailsWithoutComOnTheThread) {
  AutomationObject application;
  EXPECT_FALSE(application.createByProgId(QX_FAKE_PROGID));
}

TEST(ComCreation, TheAnsiCodePageIsGbk) {
  // Texts from the host are converted through the ANSI code page; the tests run it as 936.
  EXPECT_EQ(GetACP(), 936u) << "run the Windows tests with LC_ALL=zh_CN.UTF-8";
}

}  // namespace
}  // namespace qx::fake
