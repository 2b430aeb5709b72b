#include "host/message_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace qx::host {

namespace {

int openForAppending(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}

}  // namespace

MessageLog::MessageLog() {
  const char* named = std::getenv("QX_MESSAGE_LOG");
  if (named == nullptr || *named == '\0') return;
  path_ = named;
  const int fd = openForAppending(path_);
  if (fd < 0) {
    tell(std::strerror(errno));
    return;
  }
  ::close(fd);
  usable_ = true;
}

void MessageLog::tell(const std::string& why) {
  std::fprintf(stderr,
               "qx_host: QX_MESSAGE_LOG %s: cannot be written (%s); messages are not logged\n",
               path_.c_str(), why.c_str());
  usable_ = false;
}

std::string MessageLog::line(const std::string& message, long long unixMillis, long pid) {
  const std::time_t seconds = static_cast<std::time_t>(unixMillis / 1000);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp,
                "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ qx_host[%ld]: ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(unixMillis % 1000), pid);
  return stamp + message + "\n";
}

void MessageLog::append(const std::vector<std::string>& messages) {
  if (!usable_ || messages.empty()) return;
  const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  std::string text;
  for (const std::string& message : messages) text += line(message, now, ::getpid());
  const int fd = openForAppending(path_);
  if (fd < 0) {
    tell(std::strerror(errno));
    return;
  }
  // One write: lines of runs sharing the log do not interleave.
  const ssize_t written = ::write(fd, text.data(), text.size());
  const int error = errno;
  ::close(fd);
  if (written != static_cast<ssize_t>(text.size()))
    tell(written < 0 ? std::strerror(error) : "short write");
}

}  // namespace qx::host
