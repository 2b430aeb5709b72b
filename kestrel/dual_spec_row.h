#pragma once
// The row records of the host's row list: fixed 5464-byte records chained by the address at
// offset 5456.

#include <cstddef>
#include <cstdint>

#include "platform/byte_fields.h"

namespace qx::kestrel {

inline constexpr std::size_t kDualSpecRowSize = 5464;
inline constexpr std::size_t kDualSpecRowLinkOffset = 5456;

// The bytes of the row record at `record` (not null).
inline platform::Bytes rowBytes(const std::uint8_t* record) {
  return platform::Bytes(record, kDualSpecRowSize);
}

// The record that follows in the list, or null after the last one.
inline const std::uint8_t* nextRow(platform::Bytes row) {
  return reinterpret_cast<const std::uint8_t*>(platform::addressAt(row, kDualSpecRowLinkOffset, 8));
}

}  // namespace qx::kestrel
