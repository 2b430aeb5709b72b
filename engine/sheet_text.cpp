#include "engine/sheet_text.h"

#include "engine/xml_part.h"

namespace qx::engine {

namespace {
bool isNameEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}
}  // namespace

std::optional<TextSpan> sheetDataContent(std::string_view text,
                                         const std::function<void(TextSpan)>& row) {
  TextSpan content;
  constexpr std::size_t npos = std::string_view::npos;
  std::size_t depth = 0;  // elements open around the position
  bool inSheetData = false;
  std::size_t rowBegin = 0;
  for (std::size_t at = text.find('<'); at != npos; at = text.find('<', at)) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("<!--") || rest.starts_with("<![CDATA[") || rest.starts_with("<?")) {
      const std::string_view close = rest[1] == '?' ? "?>" : rest[2] == '-' ? "-->" : "]]>";
      const std::size_t end = text.find(close, at + 2);
      if (end == npos) return std::nullopt;
      at = end + close.size();
      continue;
    }
    if (rest.starts_with("<!")) return std::nullopt;  // a DOCTYPE: the parser refuses it
    const bool endTag = rest.starts_with("</");
    std::size_t nameEnd = at + (endTag ? 2 : 1);
    while (nameEnd < text.size() && !isNameEnd(text[nameEnd])) ++nameEnd;
    const std::string_view name =
        localName(text.substr(at + (endTag ? 2 : 1), nameEnd - at - (endTag ? 2 : 1)));
    // The tag ends at the first '>' outside a quoted attribute value.
    std::size_t end = nameEnd;
    for (char quote = 0; end < text.size(); ++end) {
      const char c = text[end];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      }
    }
    if (end >= text.size()) return std::nullopt;
    const std::size_t after = end + 1;
    if (endTag) {
      if (depth == 0) return std::nullopt;
      --depth;
      if (inSheetData && depth == 2 && name == "row" && row) row({rowBegin, after});
      if (inSheetData && depth == 1) {
        if (name != "sheetData") return std::nullopt;
        content.end = at;
        return content;
      }
    } else {
      const bool empty = text[end - 1] == '/';
      if (!inSheetData && depth == 1 && name == "sheetData") {
        content = {after, after};
        if (empty) return content;
        inSheetData = true;
      } else if (inSheetData && depth == 2 && name == "row") {
        rowBegin = at;
        if (empty && row) row({at, after});
      }
      if (!empty) ++depth;
    }
    at = after;
  }
  return std::nullopt;
}

}  // namespace qx::engine
