#pragma once
// Host records seen through their field tables. A field carries its own offset and width, and
// its kind is its type, so a decoder or an encoder names fields and never restates where they
// lie or how wide they are.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "platform/byte_fields.h"

namespace qx::platform {

enum class FieldKind { Int32, Double, Text, Address };

template <FieldKind Kind>
struct Field {
  std::size_t offset;
  std::size_t width;
  constexpr std::size_t end() const { return offset + width; }
};

using Int32Field = Field<FieldKind::Int32>;
using DoubleField = Field<FieldKind::Double>;
using TextField = Field<FieldKind::Text>;
using AddressField = Field<FieldKind::Address>;

// A record's bytes, read field by field. The bytes must cover every field asked for.
class RecordView {
 public:
  explicit RecordView(Bytes bytes) : bytes_(bytes) {}

  std::int32_t int32(Int32Field field) const { return int32At(bytes_, field.offset); }
  double real(DoubleField field) const { return doubleAt(bytes_, field.offset); }
  // Up to the first NUL inside the slot, or the whole slot when it holds none.
  std::string_view text(TextField field) const { return textAt(bytes_, field.offset, field.width); }
  std::uintptr_t address(AddressField field) const {
    return addressAt(bytes_, field.offset, field.width);
  }

 private:
  Bytes bytes_;
};

// A record's bytes, written field by field: the host's side of a record, and the header fields
// an exporter writes back.
class RecordWriter {
 public:
  explicit RecordWriter(std::span<std::uint8_t> bytes) : bytes_(bytes) {}

  void int32(Int32Field field, std::int32_t value) {
    storeInt32(bytes_.data(), field.offset, value);
  }
  void real(DoubleField field, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    storeLittleEndian(field.offset, bits, 8);
  }
  // Copies `text` into the slot and ends it with a NUL when there is room; never writes past
  // the slot.
  void text(TextField field, std::string_view text) {
    const std::size_t count = text.size() < field.width ? text.size() : field.width;
    std::memcpy(bytes_.data() + field.offset, text.data(), count);
    if (count < field.width) bytes_[field.offset + count] = 0;
  }
  void address(AddressField field, std::uintptr_t value) {
    storeLittleEndian(field.offset, value, field.width);
  }

 private:
  void storeLittleEndian(std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i, value >>= 8) {
      bytes_[offset + i] = static_cast<std::uint8_t>(value & 0xFF);
    }
  }

  std::span<std::uint8_t> bytes_;
};

}  // namespace qx::platform
