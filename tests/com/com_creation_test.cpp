// Creation by ProgID through COM, and what comes before it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "automation/com_dispatch.h"
#include "automation/server_registry.h"
#include "platform/code_page.h"
#include "tests/com/com_fixture.h"

namespace qx::testing {
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

// A server context takes in-process, local and remote servers, never an in-process handler:
// the class registered only with a handler is there (a handler context makes it), yet a
// creation by its ProgID finds no server.
TEST_F(ComTest, AClassServedOnlyByAHandlerIsNotCreated) {
  const CLSID handlerClass = QX_FAKE_HANDLER_CLSID_INIT;
  IUnknown* handler = nullptr;
  ASSERT_EQ(CoCreateInstance(handlerClass, nullptr, CLSCTX_INPROC_HANDLER, IID_IUnknown,
                             reinterpret_cast<void**>(&handler)),
            S_OK)
      << "register the test servers (scripts/register-test-servers.sh)";
  handler->Release();
  AutomationObject other;
  EXPECT_FALSE(other.createByProgId(QX_FAKE_HANDLER_PROGID));
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

// A host thread with a locale of its own hands over texts in that locale's code page; the
// conversion follows the thread, not the system (here 936).
TEST(ComCreation, TextsFollowTheThreadsCodePage) {
  const LCID system = GetThreadLocale();
  ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
  const std::u16string cyrillic = platform::gbkToUtf16("\xC0\xFF");  // in code page 1251
  const std::string back = platform::utf16ToGbk(u"\u0410\u044F");
  SetThreadLocale(system);
  EXPECT_EQ(cyrillic, u"\u0410\u044F");
  EXPECT_EQ(back, "\xC0\xFF");
  // Back in the system's locale, the same bytes are GBK again.
  EXPECT_EQ(platform::gbkToUtf16("\xD6\xD0"), u"\u4E2D");
}

}  // namespace
}  // namespace qx::testing
