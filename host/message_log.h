#pragma once
// The user's message log, $QX_MESSAGE_LOG: every message an exporter showed is appended as one
// UTF-8 line after a time stamp and the run's process id, so that the lines of runs that share
// a log can be told apart ("2026-12-08T12:00:00.250Z qx_host[4711]: <message>").

#include <string>
#include <vector>

namespace qx::host {

class MessageLog {
 public:
  // Takes $QX_MESSAGE_LOG as it is now. A log that cannot be written is told once, on standard
  // error, and not tried again.
  MessageLog();

  bool named() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

  // Appends `messages`, a line each.
  void append(const std::vector<std::string>& messages);

  // The line of one message, stamped with `unixMillis` and `pid`.
  static std::string line(const std::string& message, long long unixMillis, long pid);

 private:
  void tell(const std::string& why);
  std::string path_;
  bool usable_ = false;
};

}  // namespace qx::host
