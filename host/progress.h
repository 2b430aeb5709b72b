#pragma once
// Progress of a report on standard error, for a user watching a terminal: a bar with the
// records done, the percentage and the time left, redrawn in place. Scripts and logs (no
// terminal) and --quiet get nothing. Nothing shows for a report done in a moment.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qx::host {

// What one line of the bar shows.
struct ProgressState {
  std::string phase;      // "reading", "filling", "saving"
  std::size_t done = 0;   // records
  std::size_t total = 0;  // 0: not known yet
  double fraction = -1;   // of the phase's work when known otherwise (bytes read); -1: none
  double elapsed = 0;     // seconds in this phase
};

// The line for `state` in `columns` columns, without a line end: "filling [#####-----]  50%
// 100,000/200,000 records, 0:05 left". Tested on its own; the bar takes what room is left.
std::string progressLine(const ProgressState& state, int columns);

class Progress {
 public:
  // Shown only when `enabled` and `fd` is a terminal.
  Progress(bool enabled, int fd);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  bool shown() const { return shown_; }

  // Starts a phase: its name, the records it goes through (0: unknown) and where the records
  // done are read from; `fraction`, when given, tells how far the phase is otherwise.
  void phase(const std::string& name, std::size_t total, std::function<std::size_t()> done,
             std::function<double()> fraction = {});

  // Clears the line; nothing more is drawn.
  void finish();

 private:
  void run();
  void draw(bool clear);

  bool shown_;
  int fd_;
  std::mutex mutex_;
  std::string name_;
  std::size_t total_ = 0;
  std::function<std::size_t()> done_;
  std::function<double()> fraction_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point phaseStarted_ = started_;
  bool drawn_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// How many records heron has read of its data file, from the file's position in the process
// (Linux /proc); 0 while that cannot be seen.
std::size_t heronRecordsRead(pid_t heron, const std::filesystem::path& dataFile,
                             std::size_t headerBytes, std::size_t recordBytes);

}  // namespace qx::host
