#pragma once
// A part's bytes inflated in order, a piece at a time, so that a large part is never held whole
// and can be read again from its start as often as needed.

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qx::engine {

class ZipPackage;

// Reads the part of `package`, which must outlive the stream. EngineError naming the part when
// it is missing, too large, damaged (libzip checks its CRC once its last byte is read), or
// longer or shorter than its entry says.
class PartStream {
 public:
  PartStream(const ZipPackage& package, std::string partName);
  ~PartStream();
  PartStream(const PartStream&) = delete;
  PartStream& operator=(const PartStream&) = delete;

  // Up to `size` next bytes into `into`; 0 once the part has ended.
  std::size_t read(char* into, std::size_t size);
  // Back to the part's first byte.
  void restart();
  // Bytes the part holds inflated, as its entry says.
  std::uint64_t size() const { return size_; }
  // Bytes read since the start.
  std::uint64_t position() const { return position_; }
  const std::string& part() const { return part_; }

 private:
  void open();

  const ZipPackage& package_;
  std::string part_;
  zip_file_t* file_ = nullptr;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
  bool ended_ = false;
};

}  // namespace qx::engine
