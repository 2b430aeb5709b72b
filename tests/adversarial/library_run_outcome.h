#pragma once
// What a library run did to its template: the case folder, a copy of the example template and
// its bytes before the run, and the checks the library cases share.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/adversarial/deliverables.h"
#include "tests/adversarial/hostile_host.h"

namespace qx::testing {

class LibraryRunOutcome {
 protected:
  explicit LibraryRunOutcome(std::string_view exporter)
      : workbook(exampleTemplate(setting, exporter)), before(fileBytes(workbook)) {}

  // Exactly one message, starting with `prefix`, and the template untouched.
  void expectOneMessage(const std::string& prefix) {
    const std::vector<std::string> messages = setting.messages();
    ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(messages);
    EXPECT_TRUE(startsWith(messages[0], prefix)) << messages[0];
    EXPECT_EQ(fileBytes(workbook), before);
  }
  // The run ended with the one message for a refused call of `member`, nothing saved.
  void expectRefused(const std::string& member) {
    expectOneMessage(std::string(kServerFailurePrefix) + member + ": ");
  }
  // The workbook was saved, after the messages `told` (none by default).
  void expectSaved(const std::vector<std::string>& told = {}) {
    EXPECT_EQ(setting.messages(), told);
    EXPECT_NE(fileBytes(workbook), before);
  }

  HostSetting setting;
  std::filesystem::path workbook;
  std::string before;
};

}  // namespace qx::testing
