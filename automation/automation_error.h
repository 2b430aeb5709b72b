#pragma once
// The error raised by a failed automation call.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "automation/dispatch.h"

namespace qx::automation {

// A failed invocation: the operation that failed, its HRESULT and, when the server raised an
// exception, its code, source and description. what() reads
// "<operation>: <description> (0x80020009)" in UTF-8.
class AutomationError : public std::runtime_error {
 public:
  AutomationError(std::string operation, std::int32_t hresult,
                  std::optional<ExceptionInfo> exception = std::nullopt);

  const std::string& operation() const { return operation_; }
  std::int32_t hresult() const { return hresult_; }
  // The server's exception, when it reported one.
  const std::optional<ExceptionInfo>& exception() const { return exception_; }
  // The server's description, or a text for the HRESULT when there is none (UTF-8).
  std::string description() const;

 private:
  std::string operation_;
  std::int32_t hresult_;
  std::optional<ExceptionInfo> exception_;
};

// A short English text for the HRESULT values the layer knows ("Type mismatch.").
std::string describeHresult(std::int32_t hresult);

}  // namespace qx::automation
