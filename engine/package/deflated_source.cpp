#include "engine/package/deflated_source.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/package/function_source.h"
#include "engine/package/part_deflater.h"

namespace qx::engine {

namespace {

// -1: as the machine and QX_SAVE_THREADS say; 0 or 1: as a test set it.
std::atomic<int> beside{-1};

bool deflateBesideByDefault() {
  const char* threads = std::getenv("QX_SAVE_THREADS");
  if (threads != nullptr && std::strcmp(threads, "1") == 0) return false;
  return std::thread::hardware_concurrency() > 1;
}

// A piece of the part on its way through: produced (XML), deflated, then read by libzip.
struct Slot {
  enum class State { free, produced, deflated };
  State state = State::free;
  std::string xml;
  std::vector<std::uint8_t> deflated;
  bool last = false;
  std::exception_ptr error;  // the deflater's failure on this piece
};

// The pieces in flight: one being read, one being deflated, one being produced. Their buffers
// are reused, so a part of any size takes the same memory.
constexpr std::size_t kSlots = 3;

struct DeflatedPart {
  ChunkSource source;
  std::string* failure = nullptr;
  std::unique_ptr<PartDeflater> deflater = newPartDeflater();
  bool threaded = false;
  std::array<Slot, kSlots> slots;
  std::size_t produceAt = 0;  // the next slot the source fills
  std::size_t readAt = 0;     // the slot libzip reads from
  std::size_t offset = 0;     // in slots[readAt].deflated
  bool sourceEnded = false;   // the source said it has nothing more
  bool ended = false;         // every deflated byte has been read
  std::uint32_t crc = 0;      // the deflater's, of the pieces it took
  std::uint64_t size = 0;
  std::uint64_t compressedSize = 0;
  zip_error_t error{};

  std::mutex mutex;
  std::condition_variable changed;
  std::thread worker;
  bool stopping = false;

  ~DeflatedPart() { stop(); }

  void start() {
    stop();
    deflater->start();
    for (Slot& slot : slots) slot.state = Slot::State::free, slot.error = nullptr;
    produceAt = readAt = offset = 0;
    sourceEnded = ended = false;
    crc = 0;
    size = compressedSize = 0;
    threaded = beside.load() < 0 ? deflateBesideByDefault() : beside.load() == 1;
    if (threaded) {
      stopping = false;
      worker = std::thread([this] { work(); });
    }
  }

  void stop() {
    if (!worker.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    changed.notify_all();
    worker.join();
  }

  // Deflates one piece; the pieces come in the order they were produced, so the stream and its
  // CRC are the same on one thread or two.
  void deflate(Slot& slot) {
    crc = deflater->crc32(crc, slot.xml);
    slot.deflated.clear();
    deflater->deflate(slot.xml, slot.last, slot.deflated);
  }

  // The second thread: deflates each produced piece in turn.
  void work() {
    for (std::size_t at = 0;; at = (at + 1) % kSlots) {
      Slot& slot = slots[at];
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stopping || slot.state == Slot::State::produced; });
        if (stopping) return;
      }
      std::exception_ptr error;
      try {
        deflate(slot);
      } catch (...) {
        error = std::current_exception();
      }
      const bool last = slot.last;
      {
        std::lock_guard<std::mutex> lock(mutex);
        slot.error = error;
        slot.state = Slot::State::deflated;
      }
      changed.notify_all();
      if (last || error) return;
    }
  }

  // Fills the next slot with the source's next piece and hands it to the deflater.
  void produce() {
    Slot& slot = slots[produceAt];
    slot.xml.clear();
    slot.last = !source(slot.xml);
    size += slot.xml.size();
    sourceEnded = slot.last;
    produceAt = (produceAt + 1) % kSlots;
    if (!threaded) {
      deflate(slot);
      slot.state = Slot::State::deflated;
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      slot.state = Slot::State::produced;
    }
    changed.notify_all();
  }

  // The slot libzip reads next, once deflated; while the deflater works on it, the source
  // produces the pieces after it into the free slots.
  Slot& deflatedHead() {
    Slot& head = slots[readAt];
    for (;;) {
      Slot::State headState, nextState;
      {
        std::lock_guard<std::mutex> lock(mutex);
        headState = head.state;
        nextState = slots[produceAt].state;
      }
      if (headState == Slot::State::deflated) break;
      if (headState == Slot::State::free || (!sourceEnded && nextState == Slot::State::free)) {
        produce();
        continue;
      }
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return head.state == Slot::State::deflated; });
      break;
    }
    if (head.error) std::rethrow_exception(head.error);
    return head;
  }

  zip_int64_t read(char* out, zip_uint64_t length) {
    zip_uint64_t written = 0;
    while (written < length && !ended) {
      Slot& head = deflatedHead();
      const std::size_t n = std::min<std::size_t>(head.deflated.size() - offset,
                                                  static_cast<std::size_t>(length - written));
      std::copy_n(head.deflated.data() + offset, n, out + written);
      offset += n;
      written += n;
      if (offset < head.deflated.size()) continue;
      compressedSize += head.deflated.size();
      offset = 0;
      ended = head.last;
      {
        std::lock_guard<std::mutex> lock(mutex);
        head.state = Slot::State::free;
      }
      readAt = (readAt + 1) % kSlots;
    }
    if (ended) stop();
    return static_cast<zip_int64_t>(written);
  }
};

zip_int64_t deflatedCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
  auto* part = static_cast<DeflatedPart*>(state);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      try {
        part->start();
        return 0;
      } catch (const std::exception& e) {
        if (part->failure->empty()) *part->failure = e.what();
        zip_error_set(&part->error, ZIP_ER_INTERNAL, 0);
        return -1;
      }
    case ZIP_SOURCE_READ:
      try {
        return part->read(static_cast<char*>(data), length);
      } catch (const std::exception& e) {
        if (part->failure->empty()) *part->failure = e.what();
        zip_error_set(&part->error, ZIP_ER_INTERNAL, 0);
        return -1;
      }
    case ZIP_SOURCE_CLOSE:
      part->stop();
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* stat = static_cast<zip_stat_t*>(data);
      zip_stat_init(stat);
      stat->mtime = std::time(nullptr);
      stat->comp_method = ZIP_CM_DEFLATE;
      stat->valid |= ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
      if (part->ended) {
        // Read to the end: libzip takes the entry's CRC and sizes from here.
        stat->size = part->size;
        stat->comp_size = part->compressedSize;
        stat->crc = part->crc;
        stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
      }
      return sizeof(*stat);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&part->error, data, length);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&part->error);
      delete part;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&part->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

}  // namespace

void setDeflateBeside(std::optional<bool> on) {
  beside.store(on ? (*on ? 1 : 0) : -1);
}

zip_source_t* newDeflatedSource(ChunkSource source, std::string& failure) {
  auto* part = new DeflatedPart;
  part->source = std::move(source);
  part->failure = &failure;
  return newFunctionSource(deflatedCallback, part);
}

}  // namespace qx::engine
