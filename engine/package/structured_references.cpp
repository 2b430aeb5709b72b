#include "engine/package/structured_references.h"

#include <cstdint>
#include <vector>

namespace qx::engine {

namespace {

// Appends one code point as UTF-8.
void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::uint32_t lowerCase(std::uint32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB) ||
      (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A)) {
    return c + 32;
  }
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  // Latin Extended-A pairs its capitals with the small letter after them, from an even or
  // an odd code point by block.
  const bool evenCapitals =
      (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if ((evenCapitals && c % 2 == 0) || (oddCapitals && c % 2 == 1)) return c + 1;
  return c;
}

bool identifierByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x80 || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
         b == '_' || b == '.' || b == '\\';
}

// The end of the bracketed group that opens at `open` (one past its ']'), honouring nested
// groups and the ' escape; npos when it does not close.
std::size_t groupEnd(std::string_view f, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < f.size(); ++i) {
    if (f[i] == '\'') {
      ++i;
    } else if (f[i] == '[') {
      ++depth;
    } else if (f[i] == ']' && --depth == 0) {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

// A column specifier's text in the formula: [begin, end), bare when it stands alone in the
// reference's brackets (Table1[Amount]) rather than in brackets of its own.
struct Specifier {
  std::size_t begin, end;
  bool bare;
};

// Skips a text in quotes (a string or a quoted sheet name); doubled quotes stay inside.
std::size_t pastQuoted(std::string_view f, std::size_t i) {
  const char quote = f[i];
  for (++i; i < f.size(); ++i) {
    if (f[i] != quote) continue;
    if (i + 1 < f.size() && f[i + 1] == quote) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return f.size();
}

void innerSpecifiers(std::string_view f, std::size_t from, std::size_t to,
                     std::vector<Specifier>& out) {
  for (std::size_t i = from; i < to; ++i) {
    if (f[i] != '[') continue;
    const std::size_t end = groupEnd(f, i);
    if (end == std::string_view::npos || end > to) return;
    if (end - i > 2 && f[i + 1] != '#') out.push_back({i + 1, end - 1, false});
    i = end - 1;
  }
}

// The column specifiers of every reference to `table` in the formula.
std::vector<Specifier> columnSpecifiers(std::string_view f, std::string_view table) {
  std::vector<Specifier> out;
  const std::string wanted = foldedName(table);
  for (std::size_t i = 0; i < f.size();) {
    if (f[i] == '"' || f[i] == '\'') {
      i = pastQuoted(f, i);
      continue;
    }
    if (!identifierByte(f[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < f.size() && identifierByte(f[i])) ++i;
    if (i >= f.size() || f[i] != '[' || foldedName(f.substr(start, i - start)) != wanted) {
      continue;
    }
    const std::size_t end = groupEnd(f, i);
    if (end == std::string_view::npos) return out;
    std::size_t content = i + 1;
    while (content < end - 1 && f[content] == ' ') ++content;
    std::size_t last = end - 1;
    while (last > content && f[last - 1] == ' ') --last;
    if (content < last && f[content] == '[') {
      innerSpecifiers(f, content, last, out);
    } else if (content < last && f[content] != '#') {
      out.push_back({content, last, true});
    }
    i = end;
  }
  return out;
}

// The specifier text that names `name`: special characters escaped, and in brackets of its
// own where a bare specifier needs them.
std::string specifierFor(std::string_view name, bool bare) {
  std::string escaped;
  bool special = false;
  for (const char c : name) {
    if (c == '[' || c == ']' || c == '#' || c == '\'') escaped += '\'';
    escaped += c;
    static constexpr std::string_view kSpecial = "\t\n\r,:.[]#'\"{}$^&*+=-<>/";
    if (kSpecial.find(c) != std::string_view::npos) special = true;
  }
  return bare && special ? "[" + escaped + "]" : escaped;
}

}  // namespace

std::string foldedName(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
    if (i + length > s.size() || length == 4 || (length > 1 && (b >> 6) != 3)) {
      out += s[i++];  // not a character this folds: kept as it is
      continue;
    }
    std::uint32_t code = length == 1 ? b : length == 2 ? b & 0x1F : b & 0x0F;
    for (std::size_t k = 1; k < length; ++k) {
      code = (code << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    appendUtf8(out, lowerCase(code));
    i += length;
  }
  return out;
}

bool refersToColumn(std::string_view formula, std::string_view table, std::string_view column) {
  const std::string wanted = foldedName(column);
  for (const Specifier& s : columnSpecifiers(formula, table)) {
    if (foldedName(unescaped(formula.substr(s.begin, s.end - s.begin))) == wanted) return true;
  }
  return false;
}

bool renameColumnReferences(std::string& formula, std::string_view table, std::string_view from,
                            std::string_view to) {
  const std::string wanted = foldedName(from);
  const std::vector<Specifier> found = columnSpecifiers(formula, table);
  bool changed = false;
  for (auto s = found.rbegin(); s != found.rend(); ++s) {
    if (foldedName(unescaped(std::string_view(formula).substr(s->begin, s->end - s->begin))) !=
        wanted) {
      continue;
    }
    formula.replace(s->begin, s->end - s->begin, specifierFor(to, s->bare));
    changed = true;
  }
  return changed;
}

}  // namespace qx::engine
