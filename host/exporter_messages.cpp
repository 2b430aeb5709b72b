#include "host/exporter_messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/interruption.h"

namespace qx::host {

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string rename(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& names) {
  for (const auto& [internal, user] : names) {
    if (internal.empty()) continue;
    for (std::size_t at = text.find(internal); at != std::string::npos;
         at = text.find(internal, at + user.size())) {
      text.replace(at, internal.size(), user);
    }
  }
  return text;
}

}  // namespace

ExporterMessages::ExporterMessages(const fs::path& folder)
    : log_(folder / "messages.log"), errors_(folder / "stderr.txt") {
  fs::create_directories(folder);
  if (const char* user = std::getenv("QX_MESSAGE_LOG")) {
    hadUserLog_ = true;
    userLog_ = user;
  }
  std::error_code ignored;
  fs::remove(log_, ignored);
  setenv("QX_MESSAGE_LOG", log_.c_str(), 1);
  std::fflush(stderr);
  const int errors = ::open(errors_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (errors < 0) throw std::runtime_error("cannot write " + errors_.string());
  savedError_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  Interruption::setMessageFd(savedError_);
  ::dup2(errors, STDERR_FILENO);
  ::close(errors);
}

ExporterMessages::~ExporterMessages() {
  if (savedError_ >= 0) finish({});
}

void ExporterMessages::finish(const std::vector<std::pair<std::string, std::string>>& names) {
  if (savedError_ < 0) return;
  std::fflush(stderr);
  ::dup2(savedError_, STDERR_FILENO);
  ::close(savedError_);
  savedError_ = -1;
  if (hadUserLog_) {
    setenv("QX_MESSAGE_LOG", userLog_.c_str(), 1);
  } else {
    unsetenv("QX_MESSAGE_LOG");
  }

  Interruption::setMessageFd(-1);
  std::istringstream lines(rename(readAll(log_), names));
  for (std::string line; std::getline(lines, line);) shown_.push_back(line);
  const std::string printed = rename(readAll(errors_), names);
  std::fwrite(printed.data(), 1, printed.size(), stderr);
  std::error_code ignored;
  fs::remove(log_, ignored);
  fs::remove(errors_, ignored);
}

}  // namespace qx::host
