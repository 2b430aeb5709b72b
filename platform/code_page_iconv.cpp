// GBK <-> UTF-16 through iconv's CP936, for every system but Windows.
#include <iconv.h>

#include <algorithm>
#include <atomic>
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
// Code page 936 is stateless: a text converts character by character. ASCII is the same in
// UTF-16; double-byte characters already converted are remembered by their two bytes (0 while
// unknown), so a report's recurring characters reach iconv once. The table is the process's:
// an entry is written whole, threads that race write the same value, and the common case
// needs neither a lock nor a thread-local lookup.
std::atomic<char16_t> knownUnits[std::size_t{1} << 16];

Converter& toUtf16() {
  thread_local Converter converter("UTF-16LE", "CP936");
  return converter;
}

// The unit iconv makes of the double-byte character at `pair` (the table's `key`), kept in
// the table; 0 when iconv does not make it one unit.
char16_t learnUnit(const char* pair, std::size_t key) {
  unsigned char little[2];
  if (!toUtf16().one(pair, 2, reinterpret_cast<char*>(little), 2)) return 0;
  const auto unit = static_cast<char16_t>(little[0] | little[1] << 8);
  if (unit != 0) knownUnits[key].store(unit, std::memory_order_relaxed);
  return unit;
}

// The whole text through iconv, which replaces what forms no character.
void convertWhole(std::string_view gbk, std::u16string& out) {
  static constexpr char kReplacementLe[] = {'\xFD', '\xFF'};
  const std::vector<char> bytes =
      toUtf16().run(gbk.data(), gbk.size(), std::string_view(kReplacementLe, 2), 1);
  out.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
}
}  // namespace

std::u16string gbkToUtf16(std::string_view gbk) {
  std::u16string out;
  gbkToUtf16(gbk, out);
  return out;
}

void gbkToUtf16(std::string_view gbk, std::u16string& out) {
  out.resize(gbk.size());  // never more units than bytes
  char16_t* const first = out.data();
  char16_t* next = first;
  const char* in = gbk.data();
  const char* const end = in + gbk.size();
  while (in != end) {
    const auto lead = static_cast<unsigned char>(*in);
    if (lead < 0x80) {
      *next++ = lead;
      ++in;
      continue;
    }
    char16_t unit = 0;
    if (end - in > 1) {
      const auto key = static_cast<std::size_t>(lead << 8 | static_cast<unsigned char>(in[1]));
      unit = knownUnits[key].load(std::memory_order_relaxed);
      if (unit == 0) unit = learnUnit(in, key);
    }
    if (unit == 0) {
      // A byte that forms no character of the table: iconv decides what replaces it.
      convertWhole(gbk, out);
      return;
    }
    *next++ = unit;
    in += 2;
  }
  out.resize(static_cast<std::size_t>(next - first));
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
