#include "host/interruption.h"

#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "host/leftovers.h"

namespace qx::host {

namespace {

struct State {
  std::mutex mutex;
  std::filesystem::path workingFolder;
  std::filesystem::path privateFolder;
  pid_t child = 0;
  int messageFd = -1;
  pthread_t runThread{};
  std::atomic<bool> parked{false};
};

// Never destroyed: the signal thread may still use it while the process exits.
State& state() {
  static State* const s = new State;
  return *s;
}

sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

// The run's thread is parked with a signal no one else sends.
int parkSignal() {
  return SIGRTMIN + 3;
}

void park(int) {
  state().parked.store(true);
  for (;;) ::pause();
}

const char* nameOf(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
  }
  return "a signal";
}

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<std::size_t>(written);
  }
}

[[noreturn]] void stop(int signal) {
  State& s = state();
  const std::lock_guard lock(s.mutex);  // the run registers nothing more
  ::pthread_kill(s.runThread, parkSignal());
  for (int waited = 0; waited < 400 && !s.parked.load(); ++waited) ::usleep(5000);
  if (s.child > 0) {
    ::kill(s.child, SIGKILL);
    while (::waitpid(s.child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (!s.workingFolder.empty()) removeWorkingCopiesOf(s.workingFolder, ::getpid());
  if (!s.privateFolder.empty()) removeTree(s.privateFolder);
  writeAll(s.messageFd >= 0 ? s.messageFd : STDERR_FILENO,
           std::string("qx_host: stopped by ") + nameOf(signal) +
               "; the working copy and the private configuration folder are removed, and "
               "--output was not written\n");
  ::_exit(128 + signal);
}

void watch() {
  const sigset_t set = stopSignals();
  for (;;) {
    int signal = 0;
    if (::sigwait(&set, &signal) == 0) stop(signal);
  }
}

}  // namespace

void Interruption::install() {
  State& s = state();
  s.runThread = ::pthread_self();
  struct sigaction parking {};
  parking.sa_handler = park;
  sigfillset(&parking.sa_mask);
  ::sigaction(parkSignal(), &parking, nullptr);
  const sigset_t set = stopSignals();
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(watch).detach();
}

void Interruption::restoreInChild() {
  const sigset_t set = stopSignals();
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void Interruption::setWorkingFolder(const std::filesystem::path& folder) {
  const std::lock_guard lock(state().mutex);
  state().workingFolder = folder;
}

void Interruption::clearWorkingFolder() {
  setWorkingFolder({});
}

void Interruption::setPrivateFolder(const std::filesystem::path& folder) {
  const std::lock_guard lock(state().mutex);
  state().privateFolder = folder;
}

void Interruption::clearPrivateFolder() {
  setPrivateFolder({});
}

void Interruption::setChild(pid_t child) {
  const std::lock_guard lock(state().mutex);
  state().child = child;
}

void Interruption::setMessageFd(int fd) {
  const std::lock_guard lock(state().mutex);
  state().messageFd = fd;
}

}  // namespace qx::host
