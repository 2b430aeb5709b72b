#pragma once
// Fields of the records shared with the host, read by explicit offsets: little-endian
// integers, IEEE doubles, fixed text fields and addresses. Never by structure layout.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace qx::platform {

using Bytes = std::span<const std::uint8_t>;

inline std::int32_t int32At(Bytes record, std::size_t offset) {
  return static_cast<std::int32_t>(
      std::uint32_t(record[offset]) | (std::uint32_t(record[offset + 1]) << 8) |
      (std::uint32_t(record[offset + 2]) << 16) | (std::uint32_t(record[offset + 3]) << 24));
}

inline std::uint64_t uint64At(Bytes record, std::size_t offset) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | record[offset + static_cast<std::size_t>(i)];
  return value;
}

inline std::uint32_t uint32At(Bytes record, std::size_t offset) {
  return static_cast<std::uint32_t>(int32At(record, offset));
}

inline double doubleAt(Bytes record, std::size_t offset) {
  const std::uint64_t bits = uint64At(record, offset);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// An address of `width` bytes (4 or 8), little-endian.
inline std::uintptr_t addressAt(Bytes record, std::size_t offset, std::size_t width) {
  return width == 8 ? static_cast<std::uintptr_t>(uint64At(record, offset))
                    : static_cast<std::uintptr_t>(uint32At(record, offset));
}

// A fixed text field: the bytes up to the first NUL inside the slot, or the whole slot when it
// holds no NUL. Never reads past the slot.
inline std::string_view textAt(Bytes record, std::size_t offset, std::size_t width) {
  const auto* start = reinterpret_cast<const char*>(record.data() + offset);
  const void* nul = std::memchr(start, 0, width);
  return std::string_view(start, nul ? static_cast<const char*>(nul) - start : width);
}

// Writes a little-endian int32 into a record (the host's header blocks that are written back).
inline void storeInt32(std::uint8_t* record, std::size_t offset, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i)
    record[offset + static_cast<std::size_t>(i)] = (bits >> (8 * i)) & 0xFF;
}

}  // namespace qx::platform
