// GBK <-> UTF-16 through iconv's CP936, for every system but Windows.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <vector>

#include "platform/code_page.h"

namespace qx::platform {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on an unconvertible or incomplete input unit, emits `substitute` and skips
  // `skip` input bytes.
  std::vector<char> run(const char* in, std::size_t length, std::string_view substitute,
                        std::size_t skip) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> out(length * 2 + 16);
    char* source = const_cast<char*>(in);
    std::size_t left = length;
    std::size_t used = 0;
    while (left > 0) {
      char* target = out.data() + used;
      std::size_t room = out.size() - used;
      const std::size_t result = iconv(handle_, &source, &left, &target, &room);
      used = out.size() - room;
      if (result != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ or EINVAL: substitute and step over the offending unit.
      if (out.size() - used < substitute.size()) out.resize(out.size() * 2 + substitute.size());
      std::copy(substitute.begin(), substitute.end(), out.begin() + used);
      used += substitute.size();
      const std::size_t step = std::min(skip, left);
      source += step;
      left -= step;
    }
    out.resize(used);
    return out;
  }

  // Converts one whole input unit to exactly one output unit of `width` bytes; false when the
  // unit is not convertible that way.
  bool one(const char* in, std::size_t length, char* out, std::size_t width) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in);
    char* target = out;
    std::size_t left = length;
    std::size_t room = width;
    return iconv(handle_, &source, &left, &target, &room) != static_cast<std::size_t>(-1) &&
           left == 0 && room == 0;
  }

 private:
  iconv_t handle_;
};

}  // namespace

namespace {
// ASCII is the same in code page 936 and UTF-16; most cell texts and every address are ASCII,
// so they skip iconv.
bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
}  // namespace

namespace {
// Code page 936 is stateless: a text converts character by character. Double-byte characters
// already converted are remembered by their two bytes, so a report's recurring characters
// reach iconv once; a text with anything else goes through iconv whole.
class DoubleByteCache {
 public:
  // The text converted, or false when it holds a character the cache cannot answer.
  bool convert(std::string_view gbk, std::u16string& out, Converter& converter) {
    out.resize(gbk.size());
    std::size_t used = 0;
    for (std::size_t i = 0; i < gbk.size(); ++i) {
      const auto lead = static_cast<unsigned char>(gbk[i]);
      if (lead < 0x80) {
        out[used++] = lead;
        continue;
      }
      if (i + 1 == gbk.size()) return false;
      const auto key = static_cast<std::size_t>(lead << 8 | static_cast<unsigned char>(gbk[i + 1]));
      char16_t& known = units_[key];
      if (known == 0) {
        unsigned char little[2];
        if (!converter.one(gbk.data() + i, 2, reinterpret_cast<char*>(little), 2)) return false;
        known = static_cast<char16_t>(little[0] | little[1] << 8);
        if (known == 0) return false;
      }
      out[used++] = known;
      ++i;
    }
    out.resize(used);
    return true;
  }

 private:
  std::vector<char16_t> units_ = std::vector<char16_t>(std::size_t{1} << 16, 0);
};
}  // namespace

std::u16string gbkToUtf16(std::string_view gbk) {
  std::u16string out;
  gbkToUtf16(gbk, out);
  return out;
}

void gbkToUtf16(std::string_view gbk, std::u16string& out) {
  if (isAscii(gbk)) {
    out.assign(gbk.begin(), gbk.end());
    return;
  }
  thread_local Converter converter("UTF-16LE", "CP936");
  thread_local DoubleByteCache cache;
  if (cache.convert(gbk, out, converter)) return;
  static constexpr char kReplacementLe[] = {'\xFD', '\xFF'};
  const std::vector<char> bytes =
      converter.run(gbk.data(), gbk.size(), std::string_view(kReplacementLe, 2), 1);
  out.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
}

std::string utf16ToGbk(std::u16string_view text) {
  if (text.empty()) return {};
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    return std::string(text.begin(), text.end());
  }
  thread_local Converter converter("CP936", "UTF-16LE");
  std::vector<char> little(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    little[2 * i] = static_cast<char>(text[i] & 0xFF);
    little[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  const std::vector<char> bytes = converter.run(little.data(), little.size(), "?", 2);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace qx::platform
