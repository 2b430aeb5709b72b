#pragma once
// What the exporter told the user during one call. The exporters report no result to the host;
// what they show (a message each, also written to the QX_MESSAGE_LOG file) is what the host can
// observe. While the call runs, standard error and the message log go to files of the run, so
// that the host can print them with the user's file names in place of its internal copies, and
// then append the messages to the user's own QX_MESSAGE_LOG file (message_log.h).

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace qx::host {

class ExporterMessages {
 public:
  // Takes over standard error and QX_MESSAGE_LOG until finish(); files go into `folder`.
  explicit ExporterMessages(const std::filesystem::path& folder);
  ~ExporterMessages();
  ExporterMessages(const ExporterMessages&) = delete;
  ExporterMessages& operator=(const ExporterMessages&) = delete;

  // Gives standard error and QX_MESSAGE_LOG back. Every text that names the first of a pair is
  // rewritten to name the second, and everything the exporter wrote to standard error is
  // printed there now.
  void finish(const std::vector<std::pair<std::string, std::string>>& names);

  // The messages shown, one UTF-8 text each (after finish).
  const std::vector<std::string>& shown() const { return shown_; }

  // Where standard error goes while the exporter runs; -1 before and after.
  int userErrorFd() const { return savedError_; }

 private:
  std::filesystem::path log_;
  std::filesystem::path errors_;
  std::string userLog_;
  bool hadUserLog_ = false;
  int savedError_ = -1;
  std::vector<std::string> shown_;
};

}  // namespace qx::host
