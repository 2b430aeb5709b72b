#pragma once
// What the user is told when a run fails in the middle.

#include <exception>
#include <string>
#include <string_view>

#include "automation/automation_error.h"
#include "platform/messages.h"

namespace qx::report {

// What the user reads before the reason of a failed call (UTF-8).
inline constexpr std::string_view kFailurePrefix = "Excel 操作失败: ";

// "Excel 操作失败: <operation>: <the server's description> (0x80020009)" (UTF-8).
std::string automationFailureText(const automation::AutomationError& error);

// Shows automationFailureText(error) with an OK button.
void reportAutomationFailure(platform::Messages& messages,
                             const automation::AutomationError& error);

// Shows one message with an OK button for whatever ended a run: a failed call as above, any
// other failure as `otherPrefix` followed by its reason.
void reportRunFailure(platform::Messages& messages, const std::exception& error,
                      std::string_view otherPrefix);

}  // namespace qx::report
