// The COM face of the recording server, called the way IDispatch::Invoke is called.
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <gtest/gtest.h>

#include <vector>

#include "automation/operations.h"
#include "automation/server_registry.h"
#include "tests/support/recording_server.h"
#include "tests/wine/call_log.h"
#include "tests/wine/dispatch_adapter.h"

namespace qx::testing {
namespace {

constexpr DISPID kWorkbooks = automation::op::kApplicationWorkbooks.dispid,
                 kVisible = automation::op::kApplicationVisible.dispid,
                 kOpen = automation::op::kWorkbooksOpen.dispid;

class DispatchAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.registerAs("Excel.Application");
    application = adaptDispatch(automation::createServerObject("Excel.Application"));
    ASSERT_NE(application, nullptr);
  }
  void TearDown() override {
    if (application != nullptr) application->Release();
    EXPECT_EQ(server.outstandingReferences(), 0);
  }

  // Invoke with `reversed` as rgvarg (last argument first), a put's value named.
  HRESULT invoke(IDispatch* object, DISPID member, WORD flags, std::vector<VARIANT> reversed,
                 VARIANT* result = nullptr, EXCEPINFO* exception = nullptr,
                 UINT* argumentError = nullptr, bool namePut = true) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT && namePut) {
      parameters.rgdispidNamedArgs = &named;
      parameters.cNamedArgs = 1;
    }
    return object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result,
                          exception, argumentError);
  }
  static VARIANT integer(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
  }
  static VARIANT boolean(VARIANT_BOOL value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value;
    return v;
  }

  RecordingServer server;
  IDispatch* application = nullptr;
};

TEST_F(DispatchAdapterTest, ArgumentsArriveInPositionalOrder) {
  VARIANT workbooks;
  VariantInit(&workbooks);
  ASSERT_EQ(invoke(application, kWorkbooks, DISPATCH_PROPERTYGET, {}, &workbooks), S_OK);
  ASSERT_EQ(workbooks.vt, VT_DISPATCH);
  BSTR name = SysAllocString(L"模板.xlsx");
  VARIANT path;
  VariantInit(&path);
  path.vt = VT_BSTR;
  path.bstrVal = name;
  VARIANT result;
  VariantInit(&result);
  // rgvarg holds the last argument first: Open(path, 7, 9).
  EXPECT_EQ(
      invoke(workbooks.pdispVal, kOpen, DISPATCH_METHOD, {integer(9), integer(7), path}, &result),
      S_OK);
  EXPECT_EQ(logLine(server.calls().back()),
            "Workbooks.Open 1923 method (BSTR \"模板.xlsx\", I4 7, I4 9)");
  VariantClear(&result);
  VariantClear(&path);
  VariantClear(&workbooks);
}

TEST_F(DispatchAdapterTest, ObjectReferencesAreTheServersOwn) {
  const int before = server.outstandingReferences();
  VARIANT workbooks;
  VariantInit(&workbooks);
  ASSERT_EQ(invoke(application, kWorkbooks, DISPATCH_PROPERTYGET, {}, &workbooks), S_OK);
  EXPECT_EQ(server.outstandingReferences(), before + 1);
  workbooks.pdispVal->AddRef();
  EXPECT_EQ(server.outstandingReferences(), before + 2);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(workbooks.pdispVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)),
            S_OK);
  EXPECT_EQ(server.outstandingReferences(), before + 3);
  unknown->Release();
  workbooks.pdispVal->Release();
  VariantClear(&workbooks);
  EXPECT_EQ(server.outstandingReferences(), before);
}

TEST_F(DispatchAdapterTest, CallsNoClientShouldMakeAreRefusedUnlogged) {
  UINT argumentError = 99;
  const struct {
    const char* name;
    std::vector<VARIANT> reversed;
    bool namePut;
    HRESULT expected;
  } cases[] = {
      {"a put without its named value", {boolean(VARIANT_TRUE)}, false, DISP_E_PARAMNOTFOUND},
      {"a Boolean true that is 1", {boolean(1)}, true, DISP_E_TYPEMISMATCH},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(invoke(application, kVisible, DISPATCH_PROPERTYPUT, c.reversed, nullptr, nullptr,
                     &argumentError, c.namePut),
              c.expected)
        << c.name;
  }
  EXPECT_EQ(argumentError, 0u);
  DISPPARAMS none{};
  EXPECT_EQ(application->Invoke(kVisible, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, nullptr,
                                nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_TRUE(server.calls().empty());
  EXPECT_EQ(invoke(application, kVisible, DISPATCH_PROPERTYPUT, {boolean(VARIANT_TRUE)}), S_OK);
  EXPECT_TRUE(server.visible());
}

TEST_F(DispatchAdapterTest, ServerExceptionsFillExcepinfo) {
  server.failCall(
      "Application.Workbooks", 1, automation::hr::kException,
      automation::ExceptionInfo{static_cast<std::int32_t>(0x800A03ECu), u"Recorder", u"不行"});
  EXCEPINFO info{};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(invoke(application, kWorkbooks, DISPATCH_PROPERTYGET, {}, &result, &info),
            DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<unsigned long>(info.scode), 0x800A03ECul);
  EXPECT_STREQ(info.bstrSource, L"Recorder");
  EXPECT_STREQ(info.bstrDescription, L"不行");
  EXPECT_EQ(result.vt, VT_EMPTY);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
}

}  // namespace
}  // namespace qx::testing
