#include "host/field_encoding.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/code_page.h"

namespace qx::host {

namespace {

struct RefusedCharacter {
  std::uint32_t code;     // the Unicode code point
  std::size_t character;  // its place in the text, counted in characters from 1
};

struct GbkResult {
  std::size_t size;  // of the whole text in GBK
  std::optional<RefusedCharacter> refused;
};

// UTF-8 to GBK, refusing what code page 936 cannot hold (a character that does not come back
// the same). The code page is stateless, so texts convert a character at a time, and each
// character is converted and checked once: a report's characters recur in every row.
class StrictGbk {
 public:
  // Writes the GBK text into `out`, each character only if it fits wholly in `room` bytes.
  // The GBK size of the whole text, or the refused character.
  GbkResult convert(std::string_view utf8, std::uint8_t* out, std::size_t room) {
    // Locals throughout: the output bytes may alias anything, members would be reloaded.
    const auto* at = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto* const end = at + utf8.size();
    std::size_t size = 0;
    while (at < end) {
      const std::uint32_t lead = *at;
      if (lead < 0x80) {
        if (size < room) out[size] = static_cast<std::uint8_t>(lead);
        ++size;
        ++at;
        continue;
      }
      std::uint32_t unit = 0;
      const std::ptrdiff_t left = end - at;
      const auto* const start = at;
      if (lead >= 0xC2 && lead <= 0xDF && left >= 2 && (at[1] & 0xC0) == 0x80) {
        unit = (lead & 0x1F) << 6 | (at[1] & 0x3F);
        at += 2;
      } else if ((lead & 0xF0) == 0xE0 && left >= 3 && (at[1] & 0xC0) == 0x80 &&
                 (at[2] & 0xC0) == 0x80) {
        unit = (lead & 0x0F) << 12 | (at[1] & 0x3F) << 6 | (at[2] & 0x3F);
        if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF))
          return convertUnits(utf8, out, room);
        at += 3;
      } else {
        // Beyond the basic plane, or malformed: the general decoder says which units it is.
        return convertUnits(utf8, out, room);
      }
      const std::uint32_t code = known(static_cast<char16_t>(unit));
      if (!put(code, out, room, size)) {
        const auto* const begin = reinterpret_cast<const std::uint8_t*>(utf8.data());
        return GbkResult{0, RefusedCharacter{unit, characterCount(begin, start) + 1}};
      }
    }
    return GbkResult{size, std::nullopt};
  }

 private:
  static constexpr std::uint32_t kUnknown = 0, kRefused = 1, kOneByte = 1u << 16,
                                 kTwoBytes = 1u << 17;

  // Appends one character's bytes at `size` if they fit; false for a refused one.
  static bool put(std::uint32_t code, std::uint8_t* out, std::size_t room, std::size_t& size) {
    if (code == kRefused) return false;
    if (code & kTwoBytes) {
      if (size + 2 <= room) {
        out[size] = static_cast<std::uint8_t>(code >> 8 & 0xFF);
        out[size + 1] = static_cast<std::uint8_t>(code & 0xFF);
      }
      size += 2;
    } else {
      if (size < room) out[size] = static_cast<std::uint8_t>(code & 0xFF);
      ++size;
    }
    return true;
  }

  GbkResult convertUnits(std::string_view utf8, std::uint8_t* out, std::size_t room) {
    std::size_t size = 0;
    std::size_t character = 0;
    const std::u16string units = platform::utf8ToUtf16(utf8);
    for (std::size_t i = 0; i < units.size(); ++i) {
      ++character;
      const char16_t unit = units[i];
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
          units[i + 1] <= 0xDFFF) {
        // No character beyond the basic plane is in code page 936.
        const std::uint32_t code = 0x10000 + ((unit - 0xD800u) << 10) + (units[i + 1] - 0xDC00u);
        return GbkResult{0, RefusedCharacter{code, character}};
      }
      if (!put(known(unit), out, room, size)) {
        return GbkResult{0, RefusedCharacter{unit, character}};
      }
    }
    return GbkResult{size, std::nullopt};
  }

  // Characters of the UTF-8 text from `begin` up to `end`.
  static std::size_t characterCount(const std::uint8_t* begin, const std::uint8_t* end) {
    std::size_t count = 0;
    for (const std::uint8_t* at = begin; at < end; ++at) count += (*at & 0xC0) != 0x80;
    return count;
  }

  std::uint32_t known(char16_t unit) {
    std::uint32_t& code = units_[unit];
    if (code == kUnknown) code = look(unit);
    return code;
  }

  static std::uint32_t look(char16_t unit) {
    const std::u16string text(1, unit);
    const std::string gbk = platform::utf16ToGbk(text);
    if (gbk.empty() || gbk.size() > 2 || platform::gbkToUtf16(gbk) != text) return kRefused;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(gbk[i]); };
    return gbk.size() == 1 ? kOneByte | byte(0) : kTwoBytes | byte(0) << 8 | byte(1);
  }

  std::vector<std::uint32_t> units_ = std::vector<std::uint32_t>(std::size_t{1} << 16, kUnknown);
};

void storeBits(std::uint8_t* at, std::uint64_t bits, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) at[i] = (bits >> (8 * i)) & 0xFF;
}

// "U+1F600 (😀)"; control characters by their code alone.
std::string characterName(std::uint32_t code) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
  std::string text(name);
  if (code >= 0x20 && code != 0x7F && (code < 0x80 || code >= 0xA0)) {
    std::u16string units;
    if (code >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
    text.append(" (").append(platform::utf16ToUtf8(units)).append(")");
  }
  return text;
}

std::optional<std::string> encodeText(const FieldSpec& spec, std::string_view utf8,
                                      std::uint8_t* slot, const CellTextLimit& cell) {
  if (const std::size_t nul = utf8.find('\0'); nul != std::string_view::npos) {
    const auto* begin = reinterpret_cast<const std::uint8_t*>(utf8.data());
    std::size_t character = 1;
    for (const auto* at = begin; at < begin + nul; ++at) character += (*at & 0xC0) != 0x80;
    return "holds a NUL character (\\u0000) at character " + std::to_string(character) +
           "; a text in a record ends at its first NUL, so what follows would be lost";
  }
  static StrictGbk gbk;
  const GbkResult result = gbk.convert(utf8, slot, spec.width - 1);
  if (result.refused) {
    return "holds " + characterName(result.refused->code) + " at character " +
           std::to_string(result.refused->character) + ", which code page 936 cannot hold";
  }
  if (result.size + 1 > spec.width) {
    return "is " + std::to_string(result.size) + " bytes in GBK; its slot holds " +
           std::to_string(spec.width - 1);
  }
  if (cell.bytes != 0 && result.size > cell.bytes) {
    return "is " + std::to_string(result.size) + " bytes in GBK; " + std::string(cell.writer) +
           " at most " + std::to_string(cell.bytes) + " bytes of a text into a cell";
  }
  return std::nullopt;
}

}  // namespace

std::string unknownFieldRefusal(const RecordLayout& layout) {
  return "no field of that name in " + std::string(layout.name);
}

std::optional<std::string> encodeField(const FieldSpec& spec, const FieldValue& value,
                                       const std::filesystem::path& folder, std::uint8_t* record,
                                       const CellTextLimit& cell) {
  using Kind = FieldValue::Kind;
  std::uint8_t* slot = record + spec.offset;
  switch (spec.kind) {
    case FieldKind::Int32: {
      if (value.kind != Kind::Integer && value.kind != Kind::Unsigned) {
        return "must be a whole number";
      }
      const bool fits = value.kind == Kind::Integer
                            ? value.integer >= INT32_MIN && value.integer <= INT32_MAX
                            : value.unsignedInteger <= INT32_MAX;
      if (!fits) return "outside 32-bit integers";
      const std::int64_t number = value.kind == Kind::Integer
                                      ? value.integer
                                      : static_cast<std::int64_t>(value.unsignedInteger);
      storeBits(slot, static_cast<std::uint32_t>(number), 4);
      return std::nullopt;
    }
    case FieldKind::Double: {
      double number = value.number;
      if (value.kind == Kind::Integer) {
        number = static_cast<double>(value.integer);
      } else if (value.kind == Kind::Unsigned) {
        number = static_cast<double>(value.unsignedInteger);
      } else if (value.kind != Kind::Float) {
        return "must be a number";
      }
      std::uint64_t bits;
      std::memcpy(&bits, &number, sizeof bits);
      storeBits(slot, bits, 8);
      return std::nullopt;
    }
    case FieldKind::Text: {
      if (value.kind != Kind::Text) return "must be a text";
      const bool path = spec.name.size() > 5 && spec.name.ends_with("_path") && !value.text.empty();
      if (!path) return encodeText(spec, value.text, slot, cell);
      const std::filesystem::path named(value.text);
      return encodeText(spec, (named.is_absolute() ? named : folder / named).string(), slot, {});
    }
    case FieldKind::Address:
      return "is an address that the host sets itself";
  }
  return std::nullopt;
}

}  // namespace qx::host
