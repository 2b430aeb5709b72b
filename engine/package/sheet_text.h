#pragma once
// Where the many children of a part's one large element lie in its text (a worksheet's rows,
// the shared strings' items), found without parsing it: they are most of its bytes, and those
// the run leaves alone are written back as they were read or kept compactly.

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace qx::engine {

struct TextSpan {
  std::size_t begin = 0, end = 0;  // byte offsets, end excluded
};

// Where the content of the first element named `container` (local name) at `containerDepth`
// (0: the root, 1: a child of the root) lies in the UTF-8 text: after its start tag up to its
// end tag (empty for an empty-element tag); nullopt when there is none or the text is too
// broken to find it (a parser then says what is wrong). `each`, when given, is called with the
// span of each of its children named `child`, in order. Comments, processing instructions,
// CDATA sections and quoted attribute values are skipped as the XML grammar says;
// well-formedness is left to the parser.
std::optional<TextSpan> elementContent(std::string_view text, std::size_t containerDepth,
                                       std::string_view container, std::string_view child,
                                       const std::function<void(TextSpan)>& each = {});

// Where the content of <sheetData> lies in a worksheet's UTF-8 text: after its start tag up to
// its end tag (empty for <sheetData/>); nullopt when the text has no <sheetData> child of its
// root element or is too broken to find one. `row`, when given, is called with each <row> child
// of <sheetData>, in order.
std::optional<TextSpan> sheetDataContent(std::string_view text,
                                         const std::function<void(TextSpan)>& row = {});

}  // namespace qx::engine
