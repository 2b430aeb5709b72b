#include "tests/com/fake_server_access.h"

#include <windows.h>

#include <cstring>

#include "automation/com_dispatch.h"
#include "automation/operations.h"
#include "platform/code_page.h"

namespace qx::testing {

namespace {
template <class Function>
bool bind(HMODULE module, const char* name, Function& function) {
  // Through a generic function pointer: FARPROC itself has no parameters.
  auto generic = reinterpret_cast<void (*)()>(GetProcAddress(module, name));
  function = reinterpret_cast<Function>(generic);
  return function != nullptr;
}
}  // namespace

bool FakeServer::connect() {
  HMODULE module = GetModuleHandleW(QX_FAKE_MODULE);
  if (module == nullptr) return false;
  return bind(module, "qx_fake_call_count", callCount_) && bind(module, "qx_fake_call", call_) &&
         bind(module, "qx_fake_outstanding", outstanding_) &&
         bind(module, "qx_fake_reset", reset_) && bind(module, "qx_fake_fail_next", failNext_) &&
         bind(module, "qx_fake_answer_next", answerNext_);
}

bool FakeServer::connectOutOfProcess(const automation::AutomationObject& served) {
  automation::Variant control =
      automation::invoke(served,
                         automation::Operation{"Control", control::kControlOfThisServer,
                                               automation::InvokeKind::PropertyGet},
                         {});
  if (control.type() != automation::VarType::Dispatch || control.objectValue() == nullptr) {
    return false;
  }
  control_.attach(control.takeObject());
  return !control_.empty();
}

namespace {
automation::Variant callControl(const automation::AutomationObject& control, std::int32_t dispid,
                                automation::InvokeKind kind,
                                std::span<const automation::Variant> arguments = {}) {
  return automation::invoke(control, automation::Operation{"Control", dispid, kind}, arguments);
}
}  // namespace

std::vector<RecordedCall> FakeServer::calls() const {
  std::vector<RecordedCall> out;
  if (!control_.empty()) {
    // The records travel as the bytes of a BSTR: both sides are built by the same compiler.
    const std::u16string bytes =
        callControl(control_, control::kCalls, automation::InvokeKind::PropertyGet).textValue();
    out.resize(bytes.size() * sizeof(char16_t) / sizeof(RecordedCall));
    std::memcpy(static_cast<void*>(out.data()), bytes.data(), out.size() * sizeof(RecordedCall));
    return out;
  }
  const int count = callCount_();
  for (int i = 0; i < count; ++i) out.push_back(*call_(i));
  return out;
}

long FakeServer::outstanding() const {
  if (control_.empty()) return outstanding_();
  return callControl(control_, control::kOutstanding, automation::InvokeKind::PropertyGet)
      .integerValue();
}

void FakeServer::reset() const {
  if (control_.empty()) return reset_();
  callControl(control_, control::kReset, automation::InvokeKind::Method);
}

void FakeServer::failNext(std::int32_t dispid, std::int32_t hresult, std::int32_t scode,
                          std::uint16_t wCode, const std::u16string& source,
                          const std::u16string& description, bool deferred) const {
  if (control_.empty()) {
    return failNext_(dispid, hresult, scode, wCode, source.c_str(), description.c_str(),
                     deferred ? 1 : 0);
  }
  using automation::Variant;
  const Variant arguments[] = {Variant::integer(dispid),  Variant::integer(hresult),
                               Variant::integer(scode),   Variant::integer(wCode),
                               Variant::text(source),     Variant::text(description),
                               Variant::boolean(deferred)};
  callControl(control_, control::kFailNext, automation::InvokeKind::Method, arguments);
}

void FakeServer::answerNext(std::int32_t dispid, Answer answer) const {
  if (control_.empty()) return answerNext_(dispid, answer);
  using automation::Variant;
  const Variant arguments[] = {Variant::integer(dispid),
                               Variant::integer(static_cast<std::int32_t>(answer))};
  callControl(control_, control::kAnswerNext, automation::InvokeKind::Method, arguments);
}

std::uint32_t FakeServer::serverProcessId() const {
  if (control_.empty()) return 0;
  return static_cast<std::uint32_t>(
      callControl(control_, control::kProcessId, automation::InvokeKind::PropertyGet)
          .integerValue());
}

bool sameArgument(const RecordedArgument& recorded, const automation::Variant& expected) {
  using automation::VarType;
  if (recorded.vt != static_cast<std::uint16_t>(expected.type())) return false;
  switch (expected.type()) {
    case VarType::I2:
      return recorded.integer == expected.smallIntegerValue();
    case VarType::I4:
      return recorded.integer == expected.integerValue();
    case VarType::UI4:
      return recorded.integer == expected.unsignedValue();
    case VarType::Bool:
      return recorded.integer == expected.booleanValue();
    case VarType::Error:
      return recorded.integer == expected.errorValue();
    case VarType::R4:
      return static_cast<float>(recorded.real) == expected.singleValue();
    case VarType::R8:
      return recorded.real == expected.realValue();
    case VarType::Bstr:
      return recorded.textLength == static_cast<std::int32_t>(expected.textValue().size()) &&
             std::u16string(recorded.text) == expected.textValue().substr(0, kMaxText - 1);
    case VarType::Dispatch:
      return (recorded.isNullObject != 0) == (expected.objectValue() == nullptr);
    case VarType::Empty:
      return true;
  }
  return false;
}

std::string describeArguments(const RecordedCall& call) {
  std::string out;
  for (std::uint32_t i = 0; i < call.argumentCount && i < kMaxArguments; ++i) {
    const RecordedArgument& argument = call.arguments[i];
    if (i > 0) out += ", ";
    out += "vt=";
    out += std::to_string(argument.vt);
    out += ' ';
    if (argument.vt == VT_BSTR) {
      out += '"';
      out += platform::utf16ToUtf8(argument.text);
      out += '"';
    } else if (argument.vt == VT_R4 || argument.vt == VT_R8) {
      out += std::to_string(argument.real);
    } else {
      out += std::to_string(argument.integer);
    }
  }
  return out;
}

}  // namespace qx::testing
