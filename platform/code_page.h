#pragma once
// Text conversions. Texts from the host and into cells are code page 936 (GBK); the server
// speaks UTF-16; messages and logs are UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

namespace qx::platform {

// GBK bytes to UTF-16. Windows converts through the ANSI code page, elsewhere through iconv's
// CP936. Bytes that do not form a character become U+FFFD; empty gives empty.
std::u16string gbkToUtf16(std::string_view gbk);
// The same into `out`, replacing what it held and reusing its room: a caller that converts one
// text after another allocates only for the longest.
void gbkToUtf16(std::string_view gbk, std::u16string& out);

// UTF-16 to GBK. Characters that code page 936 cannot hold become '?'; empty gives empty.
std::string utf16ToGbk(std::u16string_view text);

// UTF-8 and UTF-16 both ways; malformed input becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view text);
// UTF-16 to UTF-8 into `out`, which has room for three bytes per unit (a pair of units takes
// four); returns the bytes written. For a caller converting text after text into one buffer.
std::size_t utf16ToUtf8(std::u16string_view text, char* out);

inline std::string gbkToUtf8(std::string_view gbk) {
  return utf16ToUtf8(gbkToUtf16(gbk));
}
inline std::string utf8ToGbk(std::string_view utf8) {
  return utf16ToGbk(utf8ToUtf16(utf8));
}

// The length of the longest prefix of `gbk` that is at most `limit` bytes and does not end
// inside a two-byte GBK character.
std::size_t gbkPrefixLength(std::string_view gbk, std::size_t limit);

}  // namespace qx::platform
