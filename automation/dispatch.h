#pragma once
// The dispatch interface: how the automation layer reaches one object of a server.

#include <cstdint>
#include <span>
#include <string>

#include "automation/variant.h"

namespace qx::automation {

enum class InvokeKind : std::uint16_t {
  Method = 1,       // DISPATCH_METHOD
  PropertyGet = 2,  // DISPATCH_PROPERTYGET
  PropertyPut = 4,  // DISPATCH_PROPERTYPUT
};

const char* invokeKindName(InvokeKind kind);

// HRESULT values the layer and the servers use.
namespace hr {
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kFalse = 1;
inline constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t kNoInterface = static_cast<std::int32_t>(0x80004002u);
inline constexpr std::int32_t kInvalidArg = static_cast<std::int32_t>(0x80070057u);
inline constexpr std::int32_t kOutOfMemory = static_cast<std::int32_t>(0x8007000Eu);
inline constexpr std::int32_t kMemberNotFound = static_cast<std::int32_t>(0x80020003u);
inline constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005u);
inline constexpr std::int32_t kException = static_cast<std::int32_t>(0x80020009u);
inline constexpr std::int32_t kBadIndex = static_cast<std::int32_t>(0x8002000Bu);
inline constexpr std::int32_t kBadParamCount = static_cast<std::int32_t>(0x8002000Eu);
inline constexpr std::int32_t kClassNotRegistered = static_cast<std::int32_t>(0x80040154u);
constexpr bool failed(std::int32_t status) {
  return status < 0;
}
}  // namespace hr

// What a server reports with DISP_E_EXCEPTION (the EXCEPINFO of COM).
struct ExceptionInfo {
  std::int32_t code = 0;  // scode, or wCode widened
  std::u16string source;
  std::u16string description;
};

// One object of a server, reference counted. invoke() receives the arguments in positional
// order (the first argument first; a put's value last) and returns an HRESULT; when it returns
// DISP_E_EXCEPTION, `exception` says what the server reported.
class Dispatch {
 public:
  virtual std::uint32_t addRef() = 0;
  virtual std::uint32_t release() = 0;
  virtual std::int32_t invoke(std::int32_t dispid, InvokeKind kind,
                              std::span<const Variant> arguments, Variant& result,
                              ExceptionInfo& exception) = 0;

 protected:
  virtual ~Dispatch() = default;
};

// Reference counting for in-process servers: starts at one reference, deletes itself at zero.
class DispatchBase : public Dispatch {
 public:
  std::uint32_t addRef() override { return ++references_; }
  std::uint32_t release() override {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  DispatchBase() = default;
  DispatchBase(const DispatchBase&) = delete;
  DispatchBase& operator=(const DispatchBase&) = delete;

 private:
  std::uint32_t references_ = 1;
};

}  // namespace qx::automation
