#include "host/record_watch.h"

#include <signal.h>
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

namespace qx::host {

namespace {

struct Watched {
  std::uintptr_t start;
  std::size_t index;
};

// Set before the handler is installed and left alone until it is removed.
struct Watch {
  std::vector<Watched> byAddress;  // sorted by start
  std::vector<std::uint8_t*> byIndex;
  std::size_t bytes = 0;
  std::size_t perBlock = 0;
  std::size_t records = 0;
  std::atomic<long> open[2] = {-1, -1};  // the two blocks open, the later one first
  std::atomic<long> reached{-1};         // the block the latest pass has reached
  struct sigaction previous {};
};

Watch* active = nullptr;

void closeBlock(Watch& w, long index) {
  if (index >= 0) ::mprotect(w.byIndex[static_cast<std::size_t>(index)], w.bytes, PROT_NONE);
}

void onFault(int signal, siginfo_t* info, void* context) {
  Watch* w = active;
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  const Watched* found = nullptr;
  if (w != nullptr) {
    const auto after =
        std::upper_bound(w->byAddress.begin(), w->byAddress.end(), address,
                         [](std::uintptr_t a, const Watched& block) { return a < block.start; });
    if (after != w->byAddress.begin() && address < (after - 1)->start + w->bytes) {
      found = &*(after - 1);
    }
  }
  if (found == nullptr) {
    // Not ours: the fault goes where it would have gone, and the access faults again there.
    ::sigaction(SIGSEGV, w != nullptr ? &w->previous : nullptr, nullptr);
    if (w == nullptr) ::signal(SIGSEGV, SIG_DFL);
    (void)signal;
    (void)context;
    return;
  }
  const long index = static_cast<long>(found->index);
  ::mprotect(w->byIndex[found->index], w->bytes, PROT_READ | PROT_WRITE);
  const long before = w->open[0].exchange(index);
  closeBlock(*w, w->open[1].exchange(before));
  w->reached.store(index);
}

}  // namespace

RecordWatch::RecordWatch(RecordList& records) {
  auto* w = new Watch;
  w->bytes = records.blockBytes();
  w->perBlock = records.recordsPerBlock();
  w->records = records.size();
  for (std::size_t i = 0; i < records.blockCount(); ++i) {
    w->byIndex.push_back(records.block(i));
    w->byAddress.push_back({reinterpret_cast<std::uintptr_t>(records.block(i)), i});
  }
  std::sort(w->byAddress.begin(), w->byAddress.end(),
            [](const Watched& a, const Watched& b) { return a.start < b.start; });
  struct sigaction handler {};
  handler.sa_sigaction = onFault;
  handler.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&handler.sa_mask);
  active = w;
  ::sigaction(SIGSEGV, &handler, &w->previous);
  for (std::uint8_t* block : w->byIndex) ::mprotect(block, w->bytes, PROT_NONE);
}

RecordWatch::~RecordWatch() {
  Watch* w = active;
  for (std::uint8_t* block : w->byIndex) ::mprotect(block, w->bytes, PROT_READ | PROT_WRITE);
  ::sigaction(SIGSEGV, &w->previous, nullptr);
  active = nullptr;
  delete w;
}

std::size_t RecordWatch::recordsPassed() const {
  const Watch* w = active;
  const long reached = w->reached.load();
  if (reached < 0) return 0;
  if (static_cast<std::size_t>(reached) + 1 >= w->byIndex.size()) return w->records;
  return std::min(w->records, static_cast<std::size_t>(reached) * w->perBlock);
}

}  // namespace qx::host
