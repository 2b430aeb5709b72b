#include "host/progress.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

namespace qx::host {

namespace {

// 200000 as "200,000".
std::string grouped(std::size_t n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
    text.push_back(digits[i]);
  }
  return text;
}

std::string clock(double seconds) {
  const long s = std::lround(std::max(0.0, seconds));
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

// A report done before this shows no bar at all, unless it is long enough to show one at once.
constexpr std::chrono::milliseconds kQuietStart{500};
constexpr std::size_t kShownAtOnce = 10000;
constexpr std::chrono::milliseconds kRedraw{200};

}  // namespace

std::string progressLine(const ProgressState& s, int columns) {
  double fraction = s.fraction;
  if (s.total > 0) fraction = std::min(1.0, static_cast<double>(s.done) / s.total);
  // The parts after the bar, the least needed last: dropped from the end where they do not fit.
  std::vector<std::pair<std::string, const char*>> parts;  // text, separator before it
  if (fraction >= 0) {
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(std::floor(fraction * 100)));
    parts.emplace_back(percent, "");
  }
  if (s.total > 0) {
    parts.emplace_back(grouped(s.done) + "/" + grouped(s.total) + " records", "  ");
  } else if (s.done > 0) {
    parts.emplace_back(grouped(s.done) + " records", "  ");
  }
  if (fraction > 0 && fraction < 1 && s.elapsed >= 1) {
    parts.emplace_back(clock(s.elapsed * (1 - fraction) / fraction) + " left", ", ");
  } else if (fraction < 1 && s.elapsed >= 1) {
    parts.emplace_back(clock(s.elapsed) + " so far", ", ");
  }
  std::string head = "qx_host: ";
  head.append(s.phase).append(" ");
  const auto tailOf = [&parts] {
    std::string tail;
    for (const auto& [text, separator] : parts)
      tail.append(tail.empty() ? "" : separator).append(text);
    return tail;
  };
  const int limit = columns - 1;  // the last column would wrap on some terminals
  std::string tail = tailOf();
  while (!parts.empty() && static_cast<int>(head.size() + tail.size()) > limit) {
    parts.pop_back();
    tail = tailOf();
  }
  const int room = limit - static_cast<int>(head.size() + tail.size()) - 3;
  std::string line = head;
  if (fraction >= 0 && room >= 10) {
    const int width = std::min(room, 40);
    const int filled = static_cast<int>(std::floor(fraction * width));
    line.append("[").append(filled, '#').append(width - filled, '-').append("] ");
  }
  line.append(tail);
  if (static_cast<int>(line.size()) > limit && limit > 0) line.resize(limit);
  return line;
}

Progress::Progress(bool enabled, int fd) : shown_(enabled && ::isatty(fd)), fd_(-1) {
  if (!shown_) return;
  // Its own handle: standard error is redirected while an exporter runs.
  fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  shown_ = fd_ >= 0;
  if (shown_) thread_ = std::thread([this] { run(); });
}

Progress::~Progress() {
  finish();
  if (fd_ >= 0) ::close(fd_);
}

void Progress::phase(const std::string& name, std::size_t total, std::function<std::size_t()> done,
                     std::function<double()> fraction) {
  if (!shown_) return;
  {
    const std::lock_guard lock(mutex_);
    name_ = name;
    total_ = total;
    done_ = std::move(done);
    fraction_ = std::move(fraction);
    phaseStarted_ = std::chrono::steady_clock::now();
  }
  // A long report shows its bar from its first record, however fast the machine.
  if (total >= kShownAtOnce && !stop_.load()) draw(false);
}

void Progress::finish() {
  if (!thread_.joinable()) return;
  stop_.store(true);
  thread_.join();
  draw(true);
}

void Progress::run() {
  while (!stop_.load()) {
    std::this_thread::sleep_for(kRedraw);
    if (std::chrono::steady_clock::now() - started_ >= kQuietStart && !stop_.load()) draw(false);
  }
}

void Progress::draw(bool clear) {
  const std::lock_guard lock(mutex_);
  std::string text;
  if (clear) {
    if (!drawn_) return;
    text.push_back('\r');
    text.append("\033[K");
  } else {
    if (name_.empty()) return;
    ProgressState state;
    state.phase = name_;
    state.total = total_;
    state.done = done_ ? done_() : 0;
    state.fraction = fraction_ ? fraction_() : -1;
    state.elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - phaseStarted_).count();
    // Every record written: what is left of the call is the save.
    if (state.total > 0 && state.done >= state.total) state.phase = "saving";
    winsize size{};
    const int columns = ::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    text.push_back('\r');
    text.append(progressLine(state, columns)).append("\033[K");
    drawn_ = true;
  }
  [[maybe_unused]] const ssize_t written = ::write(fd_, text.data(), text.size());
}

std::size_t heronRecordsRead(pid_t heron, const std::filesystem::path& dataFile,
                             std::size_t headerBytes, std::size_t recordBytes) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path fds = "/proc/" + std::to_string(heron) + "/fd";
  for (fs::directory_iterator it(fds, error), end; !error && it != end; it.increment(error)) {
    std::error_code linkError;
    if (fs::read_symlink(it->path(), linkError) != dataFile) continue;
    std::ifstream info("/proc/" + std::to_string(heron) + "/fdinfo/" +
                       it->path().filename().string());
    std::string key;
    long long position = 0;
    if (info >> key >> position && key == "pos:" &&
        position > static_cast<long long>(headerBytes)) {
      return (static_cast<std::size_t>(position) - headerBytes) / recordBytes;
    }
  }
  return 0;
}

}  // namespace qx::host
