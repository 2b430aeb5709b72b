#pragma once
// A save file system that counts the writes, fsyncs and renames of a save and makes the n-th
// one of a kind fail with an errno, as a full disk, a failing device or a read-only folder
// would.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/save/save_file_system.h"

namespace qx::testing {

enum class Fault { Write, Sync, Rename };

const char* faultName(Fault fault);

class FailingFileSystem : public engine::SaveFileSystem {
 public:
  // Fails the `nth` (from 1) operation of `fault` with `error`; 0 fails none. A failing write
  // first writes half of its bytes, as a disk that fills up mid-write does.
  void failAt(Fault fault, int nth, int error);
  // Operations so far of that kind, the failed one included. Syncing the folder counts as
  // an fsync.
  int count(Fault fault) const { return counts_[static_cast<int>(fault)]; }
  // A small buffer multiplies the writes of a save, so that faults land everywhere in it.
  void setWriteBufferBytes(std::size_t bytes) { bufferBytes_ = bytes; }

  ssize_t writeAt(int fd, const void* data, std::size_t size, std::int64_t offset) override;
  int sync(int fd) override;
  int syncDirectory(const std::string& path) override;
  int rename(const std::string& from, const std::string& to) override;
  std::size_t writeBufferBytes() const override { return bufferBytes_; }

 private:
  // Counts one operation of `fault`; true when it is the one to fail (errno is then set).
  bool failsNow(Fault fault);

  int counts_[3] = {};
  Fault fault_ = Fault::Write;
  int nth_ = 0;
  int error_ = 0;
  std::size_t bufferBytes_ = std::size_t{256} << 10;
};

}  // namespace qx::testing
