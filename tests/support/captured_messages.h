#pragma once
// Captures what a run tells the user, in order.

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
  }
  std::vector<ShownMessage> shown;
};

}  // namespace qx::testing
