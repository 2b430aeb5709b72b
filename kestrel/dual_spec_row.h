#pragma once
// The row records of the host's row list: fixed-size records chained by an 8-byte address.

#include <cstddef>
#include <cstdint>

#include "platform/byte_fields.h"
#include "platform/record_fields.h"

namespace qx::kestrel {

inline constexpr std::size_t kDualSpecRowSize = platform::records::dual_spec_row::kSize;
inline constexpr platform::AddressField kDualSpecRowLink = platform::records::dual_spec_row::next;
inline constexpr std::size_t kDualSpecRowLinkOffset = kDualSpecRowLink.offset;

// The bytes of the row record at `record` (not null).
inline platform::Bytes rowBytes(const std::uint8_t* record) {
  return platform::Bytes(record, kDualSpecRowSize);
}

// The record that follows in the list, or null after the last one.
inline const std::uint8_t* nextRow(platform::Bytes row) {
  return reinterpret_cast<const std::uint8_t*>(platform::RecordView(row).address(kDualSpecRowLink));
}

}  // namespace qx::kestrel
