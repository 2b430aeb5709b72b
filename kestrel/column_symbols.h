#pragma once
// The two column-spec alphabets: which row field each symbol puts into the next column, and the
// option block that may follow them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/byte_fields.h"
#include "platform/record_fields.h"

namespace qx::kestrel {

enum class FieldKind {
  Ordinal,  // the record's 1-based position in the row list
  Number,   // int32, written as "%d"
  Text,     // fixed text field
  Keep,     // nothing is written: the cell keeps the template's content but is still framed
};

struct ColumnField {
  FieldKind kind = FieldKind::Keep;
  std::size_t offset = 0;  // in the row record (Number and Text)
  std::size_t width = 0;   // Text only
};

// The field a symbol of the primary or the secondary spec selects; nullopt for a symbol outside
// that alphabet, which takes no column. Symbols are case-sensitive.
std::optional<ColumnField> primaryField(char symbol);
std::optional<ColumnField> secondaryField(char symbol);

// A cell takes at most this many bytes of text; longer values are cut at a character boundary.
inline constexpr std::size_t kCellTextLimit = 255;

// The text that `field` of `row` puts into its cell (code page 936, at most kCellTextLimit
// bytes). Empty for Keep.
std::string cellText(const ColumnField& field, platform::Bytes row, int ordinal);

// The seven option texts, written after the secondary columns when the first one is exactly the
// marker.
inline constexpr std::array<platform::TextField, 7> kOptions = {
    platform::records::dual_spec_row::option_1, platform::records::dual_spec_row::option_2,
    platform::records::dual_spec_row::option_3, platform::records::dual_spec_row::option_4,
    platform::records::dual_spec_row::option_5, platform::records::dual_spec_row::option_6,
    platform::records::dual_spec_row::option_7};
inline constexpr std::string_view kOptionMarker = "\xCA\xC7";  // "是" in code page 936

// True when the row's option block is switched on.
bool optionBlockShown(platform::Bytes row);

}  // namespace qx::kestrel
