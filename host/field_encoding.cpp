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
    Output gbk{out, room};
    const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(utf8[i]); };
    const auto follows = [&](std::size_t i) { return i < utf8.size() && (at(i) & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < utf8.size();) {
      const std::uint8_t lead = at(i);
      char16_t unit = 0;
      if (lead < 0x80) {
        gbk.put(kOneByte | lead);
        ++i;
        continue;
      }
      if (lead >= 0xC2 && lead <= 0xDF && follows(i + 1)) {
        unit = static_cast<char16_t>((lead & 0x1F) << 6 | (at(i + 1) & 0x3F));
        i += 2;
      } else if ((lead & 0xF0) == 0xE0 && follows(i + 1) && follows(i + 2)) {
        unit = static_cast<char16_t>((lead & 0x0F) << 12 | (at(i + 1) & 0x3F) << 6 |
                                     (at(i + 2) & 0x3F));
        if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF))
          return convertUnits(utf8, out, room);
        i += 3;
      } else {
        // Beyond the basic plane, or malformed: the general decoder says which units it is.
        return convertUnits(utf8, out, room);
      }
      if (!gbk.put(known(unit))) return std::nullopt;
    }
    return gbk.size;
  }

 private:
  static constexpr std::uint32_t kUnknown = 0, kRefused = 1, kOneByte = 1u << 16,
                                 kTwoBytes = 1u << 17;

  struct Output {
    std::uint8_t* at;
    std::size_t room;
    std::size_t size = 0;
    bool put(std::uint32_t code) {
      if (code == kRefused) return false;
      const std::size_t width = (code & kTwoBytes) ? 2 : 1;
      if (size + width <= room) {
        if (width == 2) at[size] = static_cast<std::uint8_t>(code >> 8 & 0xFF);
        at[size + width - 1] = static_cast<std::uint8_t>(code & 0xFF);
      }
      size += width;
      return true;
    }
  };

  std::optional<std::size_t> convertUnits(std::string_view utf8, std::uint8_t* out,
                                          std::size_t room) {
    Output gbk{out, room};
    for (const char16_t unit : platform::utf8ToUtf16(utf8)) {
      if (!gbk.put(known(unit))) return std::nullopt;
    }
    return gbk.size;
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

std::optional<std::string> encodeField(const FieldSpec& spec, const FieldValue& value,
                                       const std::filesystem::path& folder, std::uint8_t* record) {
  using Kind = FieldValue::Kind;
  std::uint8_t* slot = record + spec.offset;
  switch (spec.kind) {
    case FieldKind::Int32: {
      if (value.kind != Kind::Integer && value.kind != Kind::Unsigned) {
        return "must be a whole number";
      }
      const std::int64_t number = value.kind == Kind::Integer
                                      ? value.integer
                                      : static_cast<std::int64_t>(value.unsignedInteger);
      if (number < INT32_MIN || number > INT32_MAX) return "outside 32-bit integers";
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
