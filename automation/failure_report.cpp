#include "automation/failure_report.h"

namespace qx::automation {

std::string automationFailureText(const AutomationError& error) {
  return std::string("Excel 操作失败: ") + error.what();
}

void reportAutomationFailure(platform::Messages& messages, const AutomationError& error) {
  messages.show(automationFailureText(error), platform::Buttons::Ok);
}

}  // namespace qx::automation
