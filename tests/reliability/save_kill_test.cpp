// A child process fills 100,000 rows into a copy of a template and saves over it, and is
// killed (SIGKILL; TerminateProcess on Windows) at moments spread over its whole run, the save
// included. After every kill the template is the old file byte for byte or the whole new
// workbook, and the next save of it leaves no copy of the killed process behind.

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/save/replacement_file.h"
#include "tests/reliability/filled_rows.h"
#include "tests/reliability/workbook_checks.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace qx::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

const char* const kTemplate = "excel2013-report-template-placeholders.xlsx";
constexpr int kRows = 100000;
constexpr unsigned kSeed = 20261208;
// What the kills may take together; the clean run tells how many fit.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kBudgetSeconds = 60;
#else
constexpr double kBudgetSeconds = 75;
#endif

// What the saving child said on its standard output, and when.
class Phases {
 public:
  Phases() : started_(Clock::now()) {}
  double secondsSinceStart() const { return Seconds(Clock::now() - started_).count(); }
  bool said(const std::string& phase) const { return momentOf(phase) >= 0; }
  // Seconds after the start at which the child said `phase`; -1 when it did not.
  double momentOf(const std::string& phase) const {
    for (const auto& [said, at] : phases_) {
      if (said == phase) return at;
    }
    return -1;
  }

 protected:
  // Seconds left until `delay` after `phase` was said (after the start when `phase` is
  // empty); negative while `phase` is not said yet, 0 when the moment has passed.
  double secondsLeft(Seconds delay, const std::string& phase) const {
    const double from = phase.empty() ? 0 : momentOf(phase);
    if (from < 0) return -1;
    return std::max(0.0, from + delay.count() - secondsSinceStart());
  }
  void heard(const char* bytes, std::size_t size) {
    const double at = secondsSinceStart();
    for (std::size_t i = 0; i < size; ++i) {
      line_ += bytes[i];
      if (bytes[i] != '\n') continue;
      line_.pop_back();
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      phases_.emplace_back(line_, at);
      line_.clear();
    }
  }

 private:
  Clock::time_point started_;
  std::string line_;
  std::vector<std::pair<std::string, double>> phases_;
};

#ifdef _WIN32
// The saving child on Windows, its standard output a pipe that this process polls.
class Child : public Phases {
 public:
  explicit Child(const fs::path& workbook) {
    SECURITY_ATTRIBUTES inherited = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&out_, &write, &inherited, 0)) throw std::runtime_error("no pipe");
    SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
    const std::wstring program = fs::path(QX_SAVE_CHILD).wstring();
    std::wstring command =
        L"\"" + program + L"\" \"" + workbook.wstring() + L"\" " + std::to_wstring(kRows);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION started = {};
    const BOOL ok = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, &startup, &started);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(write);
    if (!ok) {
      CloseHandle(out_);
      throw std::runtime_error("cannot start " + std::string(QX_SAVE_CHILD) + " (error " +
                               std::to_string(error) + ")");
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    pid_ = static_cast<pid_t>(started.dwProcessId);
  }
  ~Child() {
    if (process_ != nullptr) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, INFINITE);
      CloseHandle(process_);
    }
    CloseHandle(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  // Reads what the child says until `delay` after it said `phase` (after its start when
  // `phase` is empty); false when it ended before.
  bool listenUntil(Seconds delay, const std::string& phase = "") {
    for (;;) {
      const double left = secondsLeft(delay, phase);
      if (left == 0) return true;
      DWORD available = 0;
      if (!PeekNamedPipe(out_, nullptr, 0, nullptr, &available, nullptr)) {
        return false;  // the child closed its output: it is ending
      }
      if (available == 0) {
        Sleep(left < 0 ? 1 : static_cast<DWORD>(std::min(left * 1000, 1.0)));
        continue;
      }
      char buffer[256];
      DWORD got = 0;
      if (!ReadFile(out_, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr)) {
        return false;
      }
      heard(buffer, got);
    }
  }
  // Waits for the child to end by itself; its exit code.
  int finish() {
    listenUntil(Seconds(1e9));
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    process_ = nullptr;
    return static_cast<int>(code);
  }
  void killNow() {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, INFINITE);
    CloseHandle(process_);
    process_ = nullptr;
    // What it said before it died is still in the pipe.
    listenUntil(Seconds(1e9));
  }

 private:
  pid_t pid_ = 0;
  HANDLE process_ = nullptr;
  HANDLE out_ = nullptr;
};
#else
// The saving child, with its standard output a pipe.
class Child : public Phases {
 public:
  explicit Child(const fs::path& workbook) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    const std::string rows = std::to_string(kRows);
    const std::string path = workbook.string();
    char* argv[] = {const_cast<char*>(QX_SAVE_CHILD), const_cast<char*>(path.c_str()),
                    const_cast<char*>(rows.c_str()), nullptr};
    const int status = ::posix_spawn(&pid_, QX_SAVE_CHILD, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    out_ = ends[0];
    if (status != 0) {
      ::close(out_);
      throw std::runtime_error("cannot start " + std::string(QX_SAVE_CHILD));
    }
  }
  ~Child() {
    if (!reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  // Reads what the child says until `delay` after it said `phase` (after its start when
  // `phase` is empty); false when it ended before.
  bool listenUntil(Seconds delay, const std::string& phase = "") {
    for (;;) {
      const double left = secondsLeft(delay, phase);
      if (left == 0) return true;
      const int timeout = left < 0 ? -1 : static_cast<int>(left * 1000) + 1;
      pollfd ready{out_, POLLIN, 0};
      if (::poll(&ready, 1, timeout) <= 0) continue;
      char buffer[256];
      const ssize_t got = ::read(out_, buffer, sizeof buffer);
      if (got <= 0) return false;  // the child closed its output: it is ending
      heard(buffer, static_cast<std::size_t>(got));
    }
  }
  // Waits for the child to end by itself; its exit code (128 + the signal that ended it).
  int finish() {
    listenUntil(Seconds(1e9));
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void killNow() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    reaped_ = true;
    // What it said before it died is still in the pipe.
    listenUntil(Seconds(1e9));
  }

 private:
  pid_t pid_ = 0;
  int out_ = -1;
  bool reaped_ = false;
};
#endif

std::vector<CellText> checkedCells() {
  std::vector<CellText> cells;
  for (const int row : {1, kRows / 2, kRows}) {
    for (CellText& cell : filledRow(row)) cells.push_back(std::move(cell));
  }
  return cells;
}

void restore(const fs::path& file, const std::string& bytes) {
  fs::remove(file);
  std::ofstream(file, std::ios::binary) << bytes;
}

TEST(SaveKills, AKilledSaveLeavesTheOldTemplateOrTheWholeNewOneAndNoCopyAfterTheNextSave) {
  const TempDir dir;
  const fs::path file = dir.path() / "template.xlsx";
  const std::string original = fileBytes(corpusFile(kTemplate));
  const std::vector<CellText> cells = checkedCells();

  // One clean run tells how long filling and saving take, and checking the result.
  restore(file, original);
  double saving = 0, saved = 0, total = 0, checking = 0;
  {
    Child child(file);
    ASSERT_EQ(child.finish(), 0);
    saving = child.momentOf("saving");
    saved = child.momentOf("saved");
    // A little past the child's end: some kills land after the rename, and some runs finish.
    total = saving + (child.secondsSinceStart() - saving) * 1.2;
    ASSERT_GT(saving, 0);
    ASSERT_GT(saved, saving);
    const auto started = Clock::now();
    ASSERT_EQ(problemsIn(file, cells), "");
    checking = Seconds(Clock::now() - started).count();
  }
  const int kills =
      std::clamp(static_cast<int>(kBudgetSeconds / (total * 0.5 + checking + 0.2)), 4, 60);
  std::printf("clean run: filling %.2f s, saving %.2f s, checking %.2f s; %d kills, seed %u\n",
              saving, saved - saving, checking, kills + 1, kSeed);

  std::mt19937 random(kSeed);
  std::uniform_real_distribution<double> within(0.0, 1.0);
  int killed = 0, duringSave = 0, finished = 0, oldFiles = 0, newFiles = 0, copiesRemoved = 0;
  for (int i = 0; i <= kills; ++i) {
    // Each kill falls in its own slice of the run, so that the kills cover all of it; one more
    // aims at the middle of the save, which may be too short for any slice to hit. A kill in
    // the save counts from the moment the child says it saves, which varies with the load.
    const double moment =
        i < kills ? (i + within(random)) / kills * total : saving + (saved - saving) / 2;
    SCOPED_TRACE("kill " + std::to_string(i + 1) + " at " + std::to_string(moment) + " s");
    restore(file, original);
    Child child(file);
    const bool alive = moment < saving ? child.listenUntil(Seconds(moment))
                                       : child.listenUntil(Seconds(moment - saving), "saving");
    if (!alive) {
      EXPECT_EQ(child.finish(), 0);
      ++finished;
    } else {
      child.killNow();
      ++killed;
      if (child.said("saving") && !child.said("saved")) ++duringSave;
    }

    const std::string copyPrefix = engine::replacementPrefix(file.string(), child.pid());
    bool copyLeft = false;
    for (const std::string& name : folderEntries(dir.path())) {
      if (name == "template.xlsx") continue;
      EXPECT_EQ(name.rfind(copyPrefix, 0), 0u) << "unexpected file " << name;
      copyLeft = true;
    }
    if (fileBytes(file) == original) {
      ++oldFiles;
      EXPECT_FALSE(child.said("saved"));
    } else {
      ++newFiles;
      EXPECT_TRUE(child.said("saving"));
      EXPECT_EQ(problemsIn(file, cells), "");
    }
    if (copyLeft) {
      EXPECT_TRUE(child.said("saving") && !child.said("saved"));
      EXPECT_EQ(OpenWorkbook(file).save(), "");
      EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"template.xlsx"});
      ++copiesRemoved;
    }
  }
  std::printf(
      "%d kills (%d during the save), %d runs finished first; template old %d times, new %d "
      "times; %d copies of killed savers removed by the next save\n",
      killed, duringSave, finished, oldFiles, newFiles, copiesRemoved);
  EXPECT_GT(duringSave, 0);
}

}  // namespace
}  // namespace qx::testing
