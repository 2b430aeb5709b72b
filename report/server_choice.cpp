#include "report/server_choice.h"

#include <cctype>
#include <cstdlib>

#include "platform/code_page.h"
#include "platform/process_once.h"

namespace qx::report {

namespace {

constexpr const char* kUnknownChoice =
    "环境变量 QX_SPREADSHEET_SERVER 的值“%s”无效 (可用 com、embedded、auto), 使用 COM!";

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool sameIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != lower[i]) return false;
  }
  return true;
}

}  // namespace

ServerSetting parseServerSetting(const char* server, const char* openReport) {
  ServerSetting setting;
  const std::string_view choice = trimmed(server != nullptr ? server : "");
  if (sameIgnoringCase(choice, "embedded")) {
    setting.choice = ServerChoice::Embedded;
  } else if (sameIgnoringCase(choice, "auto")) {
    setting.choice = ServerChoice::Auto;
  } else if (!choice.empty() && !sameIgnoringCase(choice, "com")) {
    setting.unknownChoice = std::string(server);
  }
  const std::string_view open = trimmed(openReport != nullptr ? openReport : "");
  for (std::string_view no : {"0", "no", "off", "false"}) {
    if (sameIgnoringCase(open, no)) setting.openReport = false;
  }
  return setting;
}

ServerSetting serverSettingFromEnvironment() {
  return parseServerSetting(std::getenv("QX_SPREADSHEET_SERVER"), std::getenv("QX_OPEN_REPORT"));
}

void tellUnknownChoiceOnce(const ServerSetting& setting, platform::Messages& messages) {
  if (setting.unknownChoice.empty()) return;
  if (!platform::claimOncePerProcess("unknown-spreadsheet-server")) return;
  // The environment holds the system's code page, as the host's texts do.
  messages.show(
      platform::format(kUnknownChoice, platform::gbkToUtf8(setting.unknownChoice).c_str()),
      platform::Buttons::Ok);
}

}  // namespace qx::report
