#include "report/failure_report.h"

namespace qx::report {

std::string automationFailureText(const automation::AutomationError& error) {
  return std::string(kFailurePrefix) + error.what();
}

void reportAutomationFailure(platform::Messages& messages,
                             const automation::AutomationError& error) {
  messages.show(automationFailureText(error), platform::Buttons::Ok);
}

void reportRunFailure(platform::Messages& messages, const std::exception& error,
                      std::string_view otherPrefix) {
  if (const auto* failedCall = dynamic_cast<const automation::AutomationError*>(&error)) {
    reportAutomationFailure(messages, *failedCall);
  } else {
    messages.show(std::string(otherPrefix) + error.what(), platform::Buttons::Ok);
  }
}

}  // namespace qx::report
