#include "tests/adversarial/hostile_host.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <thread>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace qx::testing {

namespace {
std::string quoted(const std::filesystem::path& path) {
  std::string text = "'";
  for (const char c : path.string()) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

// Standard output of a shell command; empty when it fails.
std::string commandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  if (pclose(pipe) != 0) return {};
  return out;
}

std::string readBackCommand(const char* verb, const std::filesystem::path& workbook) {
  return std::string("/usr/bin/python3 ") + QX_ADVERSARIAL_READ_BACK + " " + verb + " " +
         quoted(workbook);
}
}  // namespace

HostSetting::HostSetting()
    : conf_("QX_CONF_DIR", dir_.path().string()),
      log_("QX_MESSAGE_LOG", (dir_.path() / "messages.log").string()) {
  std::filesystem::create_directories(dir_.path() / "temp");
  std::filesystem::create_directories(dir_.path() / "lang");
}

std::filesystem::path HostSetting::temp(std::string_view name) const {
  return dir_.path() / "temp" / std::string(name);
}

std::filesystem::path HostSetting::write(std::string_view name, std::string_view bytes) const {
  return dir_.write(name, bytes);
}

std::filesystem::path HostSetting::copy(const std::filesystem::path& from,
                                        std::string_view name) const {
  const std::filesystem::path to = dir_.path() / std::string(name);
  std::filesystem::create_directories(to.parent_path());
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  return to;
}

std::vector<std::string> HostSetting::messages() const {
  std::vector<std::string> lines;
  std::ifstream in(dir_.path() / "messages.log", std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool callOnHostThread(const std::function<void()>& call, std::chrono::seconds deadline) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
  };
  auto shared = std::make_shared<Shared>();
  std::thread host([shared, &call] {
    call();
    const std::lock_guard lock(shared->mutex);
    shared->done = true;
    shared->ended.notify_all();
  });
  std::unique_lock lock(shared->mutex);
  if (!shared->ended.wait_for(lock, deadline, [&] { return shared->done; })) {
    // The call still runs on records this test owns; nothing can end it safely.
    std::cerr << "the export did not return to the host's thread\n";
    std::_Exit(3);
  }
  lock.unlock();
  host.join();
  return true;
}

ProgramEnd runProgram(const std::filesystem::path& program, std::chrono::seconds deadline) {
  ProgramEnd end;
  const pid_t child = fork();
  if (child < 0) return end;
  if (child == 0) {
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto until = std::chrono::steady_clock::now() + deadline;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > until) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return end;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(status)) {
    end.exited = true;
    end.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    end.signal = WTERMSIG(status);
  }
  return end;
}

std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

namespace {
std::map<std::string, ShownCell> parseCells(const std::string& text) {
  std::map<std::string, ShownCell> cells;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    const std::size_t tab1 = line.find('\t'), tab2 = line.rfind('\t');
    if (tab1 == std::string::npos || tab1 == tab2) continue;
    cells[line.substr(0, tab1)] = {line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)};
  }
  return cells;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> parts;
  if (line.empty()) return parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return parts;
    start = tab + 1;
  }
}
}  // namespace

std::map<std::string, ShownCell> readBack(const std::filesystem::path& workbook, int sheet) {
  return parseCells(
      commandOutput(readBackCommand("cells", workbook) + " " + std::to_string(sheet)));
}

std::map<std::string, ShownCell> readCells(const std::filesystem::path& workbook, int sheet,
                                           const std::vector<std::string>& names) {
  std::string command = readBackCommand("cell", workbook) + " " + std::to_string(sheet);
  for (const std::string& name : names) command += " " + name;
  return parseCells(commandOutput(command));
}

RowSummary summarizeRows(const std::filesystem::path& workbook, int sheet) {
  const std::string text =
      commandOutput(readBackCommand("rows", workbook) + " " + std::to_string(sheet));
  RowSummary summary;
  const std::size_t end = text.find('\n');
  if (end == std::string::npos) return summary;
  summary.rowsWithValues = std::atoi(text.substr(0, end).c_str());
  std::string last = text.substr(end + 1);
  if (!last.empty() && last.back() == '\n') last.pop_back();
  summary.lastRow = splitTabs(last);
  return summary;
}

void writeOffsetTemplate(const std::filesystem::path& workbook) {
  commandOutput(readBackCommand("offset", workbook));
}

int sheetCount(const std::filesystem::path& workbook) {
  const std::string text = commandOutput(readBackCommand("sheets", workbook));
  return text.empty() ? -1 : std::atoi(text.c_str());
}

bool leaksSinceLastCheck() {
#ifdef __SANITIZE_ADDRESS__
  return __lsan_do_recoverable_leak_check() != 0;
#else
  return false;
#endif
}

Immutable::Immutable(std::filesystem::path path) : path_(std::move(path)) {
  applied_ = std::system(("chattr +i " + quoted(path_) + " 2>/dev/null").c_str()) == 0;
}

Immutable::~Immutable() {
  if (applied_) std::system(("chattr -i " + quoted(path_) + " 2>/dev/null").c_str());
}

std::string templateMissingMessage(std::string_view utf8Path) {
  return "模板文件“" + std::string(utf8Path) + "”, 不存在!";
}

}  // namespace qx::testing
