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

std::u16string gbkToUtf16(std::string_view gbk) {
  if (gbk.empty()) return {};
  if (isAscii(gbk)) return std::u16string(gbk.begin(), gbk.end());
  thread_local Converter converter("UTF-16LE", "CP936");
  static constexpr char kReplacementLe[] = {'\xFD', '\xFF'};
  const std::vector<char> bytes =
      converter.run(gbk.data(), gbk.size(), std::string_view(kReplacementLe, 2), 1);
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
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
