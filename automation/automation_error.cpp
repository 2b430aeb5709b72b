#include "automation/automation_error.h"

#include <cstdio>

#include "platform/code_page.h"

namespace qx::automation {

namespace {
std::string compose(const std::string& operation, std::int32_t hresult,
                    const std::optional<ExceptionInfo>& exception) {
  std::string description = exception && !exception->description.empty()
                                ? platform::utf16ToUtf8(exception->description)
                                : describeHresult(hresult);
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hresult));
  return operation + ": " + description + " (" + code + ")";
}
}  // namespace

AutomationError::AutomationError(std::string operation, std::int32_t hresult,
                                 std::optional<ExceptionInfo> exception)
    : std::runtime_error(compose(operation, hresult, exception)),
      operation_(std::move(operation)),
      hresult_(hresult),
      exception_(std::move(exception)) {}

std::string AutomationError::description() const {
  if (exception_ && !exception_->description.empty())
    return platform::utf16ToUtf8(exception_->description);
  return describeHresult(hresult_);
}

std::string describeHresult(std::int32_t hresult) {
  switch (hresult) {
    case hr::kFail:
      return "Unspecified failure.";
    case hr::kNoInterface:
      return "No such interface supported.";
    case hr::kInvalidArg:
      return "One or more arguments are invalid.";
    case hr::kOutOfMemory:
      return "Not enough memory.";
    case hr::kMemberNotFound:
      return "Member not found.";
    case hr::kTypeMismatch:
      return "Type mismatch.";
    case hr::kException:
      return "Exception occurred.";
    case hr::kBadIndex:
      return "Invalid index.";
    case hr::kBadParamCount:
      return "Invalid number of parameters.";
    case hr::kClassNotRegistered:
      return "Class not registered.";
    default:
      return "The server reported a failure.";
  }
}

}  // namespace qx::automation
