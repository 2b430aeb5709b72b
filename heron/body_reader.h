#pragma once
// The body records of the data file, read and turned into UTF-16 ahead of the fill. On a
// machine with a second core a thread of its own reads and converts while the calls of the
// rows before it go on, so the run's own thread only writes; the records arrive in file order
// and a short record ends them at the same place either way.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "heron/check_point_file.h"

namespace qx::heron {

// One body record: fields a to d as UTF-16. A field the column spec never selects stays empty.
struct BodyRecord {
  std::array<std::u16string, 4> fields;
};

// Whether a reader runs ahead: when the machine has a second core, unless QX_SAVE_THREADS=1
// keeps the whole run on one thread.
bool readAheadByDefault();

class BodyReader {
 public:
  // Reads up to `count` records of `file`, whose header has been read; `spec` names the fields
  // that are converted. With `ahead` a thread starts reading at once.
  BodyReader(CheckPointFile& file, std::int32_t count, std::string_view spec, bool ahead);
  // Stops the thread (mid-file when the fill ended early) and waits for it.
  ~BodyReader();
  BodyReader(const BodyReader&) = delete;
  BodyReader& operator=(const BodyReader&) = delete;

  // The next record in file order, valid until the next call; null when the file ended before
  // it. A failure of the reading thread is thrown here, at the record it reached.
  const BodyRecord* next();

 private:
  // Records handed over together, so the threads meet once per batch and not per record.
  struct Batch {
    std::vector<BodyRecord> records;
    std::size_t filled = 0;
    bool endedShort = false;  // the file ended after `filled` records
    std::exception_ptr error;
    bool ready = false;  // filled by the reader, not yet given back by the fill
  };
  static constexpr std::size_t kBatches = 4;
  static constexpr std::size_t kBatchRecords = 256;

  bool readInto(BodyRecord& record);
  void fill(Batch& batch, std::int64_t records);
  void readAhead();

  CheckPointFile& file_;
  std::int64_t left_;         // records not yet read (by the reading thread, when it runs)
  std::int64_t undelivered_;  // records the fill has not yet been given
  std::array<bool, 4> selected_{};
  CheckPointRow raw_;

  std::array<Batch, kBatches> batches_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  Batch* current_ = nullptr;  // the batch the fill reads from
  std::size_t nextBatch_ = 0;
  std::size_t position_ = 0;
  BodyRecord inline_;  // the one record of a reader that does not run ahead
  std::thread thread_;
};

}  // namespace qx::heron
