#include "host/field_encoding.h"

#include <climits>
#include <cstring>
#include <vector>

#include "platform/code_page.h"

namespace qx::host {

namespace {

// UTF-8 to GBK, refusing what code page 936 cannot hold (a character that does not come back
// the same). The code page is stateless, so texts convert a character at a time, and each
// character is converted and checked once: a report's characters recur in every row.
class StrictGbk {
 public:
  // Writes the GBK text into `out`, each character only if it fits wholly in `room` bytes.
  // The GBK size of the whole text, or nothing when a character is refused.
  std::optional<std::size_t> convert(std::string_view utf8, std::uint8_t* out, std::size_t room) {
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
      if (!put(code, out, room, size)) return std::nullopt;
    }
    return size;
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

  std::optional<std::size_t> convertUnits(std::string_view utf8, std::uint8_t* out,
                                          std::size_t room) {
    std::size_t size = 0;
    for (const char16_t unit : platform::utf8ToUtf16(utf8)) {
      if (!put(known(unit), out, room, size)) return std::nullopt;
    }
    return size;
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

std::optional<std::string> encodeText(const FieldSpec& spec, std::string_view utf8,
                                      std::uint8_t* slot) {
  static StrictGbk gbk;
  const std::optional<std::size_t> size = gbk.convert(utf8, slot, spec.width - 1);
  if (!size) return "holds characters that code page 936 cannot hold";
  if (*size + 1 > spec.width) {
    return "is " + std::to_string(*size) + " bytes in GBK; its slot holds " +
           std::to_string(spec.width - 1);
  }
  return std::nullopt;
}

}  // namespace

std::string unknownFieldRefusal(const RecordLayout& layout) {
  return "no field of that name in " + std::string(layout.name);
}

std::optional<std::string> encodeField(const FieldSpec& spec, const FieldValue& value,
                                       const std::filesystem::path& folder, std::uint8_t* record) {
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
      if (!path) return encodeText(spec, value.text, slot);
      const std::filesystem::path named(value.text);
      return encodeText(spec, (named.is_absolute() ? named : folder / named).string(), slot);
    }
    case FieldKind::Address:
      return "is an address that the host sets itself";
  }
  return std::nullopt;
}

}  // namespace qx::host
