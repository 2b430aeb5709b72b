#include "engine/package/sheet_text.h"

#include "engine/package/xml_part.h"

namespace qx::engine {

namespace {
bool isNameEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}
}  // namespace

std::optional<std::size_t> ElementScanner::openChild() const {
  if (state_ == State::Inside && depth_ > top_ + 1) return childBegin_;
  return std::nullopt;
}

std::optional<std::size_t> ElementScanner::contentBegin() const {
  if (state_ == State::Inside || state_ == State::Done) return content_.begin;
  return std::nullopt;
}

std::optional<TextSpan> ElementScanner::content() const {
  if (state_ == State::Done) return content_;
  return std::nullopt;
}

void ElementScanner::scan(std::string_view text, bool last,
                          const std::function<void(TextSpan)>& each) {
  const std::size_t base = resume_;  // offset of the window's first byte
  const std::size_t inner = top_ + 1;
  constexpr std::size_t npos = std::string_view::npos;
  // A construct the window cuts: the next window starts with it, unless the text has ended.
  auto cut = [&](std::size_t at) {
    resume_ = base + at;
    if (last) state_ = State::Broken;
  };
  if (finished()) return;
  std::size_t at = text.find('<');
  for (; at != npos; at = text.find('<', at)) {
    const std::string_view rest = text.substr(at);
    if (rest.size() < 9 && !last &&
        (std::string_view("<![CDATA[").starts_with(rest) ||
         std::string_view("<!--").starts_with(rest))) {
      return cut(at);
    }
    if (rest.starts_with("<!--") || rest.starts_with("<![CDATA[") || rest.starts_with("<?")) {
      const std::string_view close = rest[1] == '?' ? "?>" : rest[2] == '-' ? "-->" : "]]>";
      const std::size_t end = text.find(close, at + 2);
      if (end == npos) return cut(at);
      at = end + close.size();
      continue;
    }
    if (rest.starts_with("<!")) {  // a DOCTYPE: the parser refuses it
      state_ = State::Broken;
      return;
    }
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
    if (end >= text.size()) return cut(at);
    const std::size_t after = end + 1;
    const bool inside = state_ == State::Inside;
    if (endTag) {
      if (depth_ == 0) {
        state_ = State::Broken;
        return;
      }
      --depth_;
      if (inside && depth_ == inner && name == child_ && each) each({childBegin_, base + after});
      if (inside && depth_ == top_) {
        if (name != container_) {
          state_ = State::Broken;
          return;
        }
        content_.end = base + at;
        state_ = State::Done;
        resume_ = base + after;
        return;
      }
    } else {
      const bool empty = text[end - 1] == '/';
      if (!inside && depth_ == top_ && name == container_) {
        content_ = {base + after, base + after};
        if (empty) {
          state_ = State::Done;
          resume_ = base + after;
          return;
        }
        state_ = State::Inside;
      } else if (inside && depth_ == inner && name == child_) {
        childBegin_ = base + at;
        if (empty && each) each({base + at, base + after});
      }
      if (!empty) ++depth_;
    }
    at = after;
  }
  resume_ = base + text.size();
  if (last) state_ = State::Broken;
}

std::optional<TextSpan> elementContent(std::string_view text, std::size_t containerDepth,
                                       std::string_view container, std::string_view child,
                                       const std::function<void(TextSpan)>& each) {
  ElementScanner scanner(containerDepth, container, child);
  scanner.scan(text, true, each);
  return scanner.content();
}

std::optional<TextSpan> sheetDataContent(std::string_view text,
                                         const std::function<void(TextSpan)>& row) {
  return elementContent(text, 1, "sheetData", "row", row);
}

}  // namespace qx::engine
