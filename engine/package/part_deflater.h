#pragma once
// Raw deflate (no zlib or gzip wrapper) of a part handed over piece by piece, at the fastest
// level of the library the build chose: ISA-L where Debian has it, zlib elsewhere (Windows).

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qx::engine {

class PartDeflater {
 public:
  virtual ~PartDeflater() = default;
  // Starts a new part.
  virtual void start() = 0;
  // Appends to `out` the deflated bytes of `piece`; `last` ends the stream. Throws on failure.
  virtual void deflate(std::string_view piece, bool last, std::vector<std::uint8_t>& out) = 0;
  // The CRC-32 of `piece` continued from `crc`, as a zip entry records it.
  virtual std::uint32_t crc32(std::uint32_t crc, std::string_view piece) const = 0;
};

// The build's deflater.
std::unique_ptr<PartDeflater> newPartDeflater();

}  // namespace qx::engine
