#pragma once
// Where a worksheet's rows lie in its text, found without parsing it: the sheet's rows are most
// of its bytes, and those the run leaves alone are written back as they were read.

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace qx::engine {

struct TextSpan {
  std::size_t begin = 0, end = 0;  // byte offsets, end excluded
};

// Where the content of <sheetData> lies in a worksheet's UTF-8 text: after its start tag up to
// its end tag (empty for <sheetData/>); nullopt when the text has no <sheetData> child of its
// root element or is too broken to find one (a parser then says what is wrong). `row`, when
// given, is called with each <row> child of <sheetData>, in order. Comments, processing
// instructions, CDATA sections and quoted attribute values are skipped as the XML grammar says;
// well-formedness is left to the parser.
std::optional<TextSpan> sheetDataContent(std::string_view text,
                                         const std::function<void(TextSpan)>& row = {});

}  // namespace qx::engine
