#pragma once
// What the user is told when the server fails a call in the middle of a run.

#include <string>

#include "automation/automation_error.h"
#include "platform/messages.h"

namespace qx::automation {

// "Excel 操作失败: <operation>: <the server's description> (0x80020009)" (UTF-8).
std::string automationFailureText(const AutomationError& error);

// Shows automationFailureText(error) with an OK button.
void reportAutomationFailure(platform::Messages& messages, const AutomationError& error);

}  // namespace qx::automation
