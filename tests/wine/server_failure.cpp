#include "tests/wine/server_failure.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/code_page.h"

namespace qx::testing {

bool planFailure(RecordingServer& server, std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t bar = line.find('|', start);
    if (bar == std::string_view::npos) return false;
    fields.emplace_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  fields.emplace_back(line.substr(start));
  char* end = nullptr;
  const long occurrence = std::strtol(fields[1].c_str(), &end, 10);
  if (fields[0].empty() || end == fields[1].c_str() || *end != '\0' || occurrence < 1) {
    return false;
  }
  const unsigned long code = std::strtoul(fields[2].c_str(), &end, 0);
  if (end == fields[2].c_str() || *end != '\0') return false;
  const auto hresult = static_cast<std::int32_t>(static_cast<std::uint32_t>(code));
  std::optional<automation::ExceptionInfo> exception;
  if (hresult == automation::hr::kException) {
    exception = automation::ExceptionInfo{hresult, u"Recorder", platform::utf8ToUtf16(fields[3])};
  }
  server.failCall(fields[0], static_cast<int>(occurrence), hresult, std::move(exception));
  return true;
}

}  // namespace qx::testing
