#pragma once
// One field's value laid into its slot of a record: the checks and conversions every record
// field goes through, whether it comes from a parsed object or straight from the parser.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/field_tables.h"

namespace qx::host {

// A value as the parser gives it. Null, booleans, objects and arrays are all Other: no field
// takes them.
struct FieldValue {
  enum class Kind { Other, Integer, Unsigned, Float, Text };
  Kind kind = Kind::Other;
  std::int64_t integer = 0;
  std::uint64_t unsignedInteger = 0;
  double number = 0;
  std::string_view text;  // UTF-8
};

// Lays `value` into the slot of `spec` in `record`, a slot of zeros. Returns why the value is
// refused, or nothing: besides the kind and the room, a text with a NUL inside, a character
// code page 936 cannot hold (named, with its place) and a text longer than `cell` allows. A
// non-empty text of a field named "*_path" is a path, taken relative to `folder`.
std::optional<std::string> encodeField(const FieldSpec& spec, const FieldValue& value,
                                       const std::filesystem::path& folder, std::uint8_t* record,
                                       const CellTextLimit& cell);

// Why a member that names no field of `layout` is refused.
std::string unknownFieldRefusal(const RecordLayout& layout);

}  // namespace qx::host
