#pragma once
// Captures what a run tells the user, in order.

#include <functional>
#include <string>
#include <vector>

#include "platform/messages.h"

namespace qx::testing {

struct ShownMessage {
  std::string text;  // UTF-8
  platform::Buttons buttons;
};

class CapturedMessages final : public platform::Messages {
 public:
  void show(std::string_view text, platform::Buttons buttons) override {
    shown.push_back({std::string(text), buttons});
    if (onShow) onShow(shown.back());
  }
  std::vector<ShownMessage> shown;
  // Called while each message is shown, so that a test can look at what the run holds then.
  std::function<void(const ShownMessage&)> onShow;
};

}  // namespace qx::testing
