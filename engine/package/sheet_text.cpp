#include "engine/package/sheet_text.h"

#include "engine/package/xml_part.h"

namespace qx::engine {

namespace {
bool isNameEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}
}  // namespace

std::optional<TextSpan> elementContent(std::string_view text, std::size_t containerDepth,
                                       std::string_view container, std::string_view child,
                                       const std::function<void(TextSpan)>& each) {
  TextSpan content;
  const std::size_t top = containerDepth, inner = containerDepth + 1;
  constexpr std::size_t npos = std::string_view::npos;
  std::size_t depth = 0;  // elements open around the position
  bool inside = false;
  std::size_t childBegin = 0;
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
      if (inside && depth == inner && name == child && each) each({childBegin, after});
      if (inside && depth == top) {
        if (name != container) return std::nullopt;
        content.end = at;
        return content;
      }
    } else {
      const bool empty = text[end - 1] == '/';
      if (!inside && depth == top && name == container) {
        content = {after, after};
        if (empty) return content;
        inside = true;
      } else if (inside && depth == inner && name == child) {
        childBegin = at;
        if (empty && each) each({at, after});
      }
      if (!empty) ++depth;
    }
    at = after;
  }
  return std::nullopt;
}

std::optional<TextSpan> sheetDataContent(std::string_view text,
                                         const std::function<void(TextSpan)>& row) {
  return elementContent(text, 1, "sheetData", "row", row);
}

}  // namespace qx::engine
