#pragma once
// SIGINT, SIGTERM and SIGHUP stop a run without leaving anything behind. The exporters run on
// the host's thread and cannot be asked to stop, so the signals are taken by a thread of their
// own: it freezes the run where it is (the run's thread is parked by a signal of its own, so no
// file is renamed or written any more), stops heron, removes the working copy beside --output
// with what the engine was saving beside it and the private configuration folder, and ends the
// process with 128 + the signal's number.

#include <sys/types.h>

#include <filesystem>

namespace qx::host {

class Interruption {
 public:
  // Blocks the three signals on the calling thread, which must be the run's thread and the
  // only one so far (threads made later inherit the mask), and starts the thread that takes
  // them. Call once, first thing.
  static void install();

  // What a stop removes; each is set while it exists and cleared once it is gone or kept.
  static void setWorkingFolder(const std::filesystem::path& folder);  // beside --output
  static void clearWorkingFolder();
  static void setPrivateFolder(const std::filesystem::path& folder);
  static void clearPrivateFolder();
  static void setChild(pid_t child);  // heron, stopped first; 0: none
  // Where the line telling of the stop goes (standard error is redirected while the exporter
  // runs); -1: standard error.
  static void setMessageFd(int fd);

  // In a child between fork and exec: takes the signals back as a program expects them. Only
  // calls that are safe there.
  static void restoreInChild();
};

}  // namespace qx::host
