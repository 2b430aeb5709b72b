#pragma once
// Where a worksheet's rows lie in its text, found without parsing it: the sheet's rows are most
// of its bytes, and those the run leaves alone are written back as they were read.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace qx::engine {

struct TextSpan {
  std::size_t begin = 0, end = 0;  // byte offsets, end excluded
};

struct SheetLayout {
  // The content of <sheetData>: after its start tag up to its end tag (empty for <sheetData/>).
  TextSpan content;
  // Each <row> element that is a child of <sheetData>, in order.
  std::vector<TextSpan> rows;
};

// The layout of a worksheet's UTF-8 text; nullopt when the text has no <sheetData> child of its
// root element or is too broken to find one (a parser then says what is wrong). Comments,
// processing instructions, CDATA sections and quoted attribute values are skipped as the XML
// grammar says; well-formedness is left to the parser.
std::optional<SheetLayout> sheetLayout(std::string_view text);

}  // namespace qx::engine
