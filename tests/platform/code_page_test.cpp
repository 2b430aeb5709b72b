#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace qx::platform {
namespace {

// 中文测试 in code page 936.
constexpr char kGbk[] = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";

TEST(CodePage, GbkRoundTripOfChineseCharacters) {
  const std::u16string wide = gbkToUtf16(kGbk);
  EXPECT_EQ(wide, u"\u4E2D\u6587\u6D4B\u8BD5");
  EXPECT_EQ(utf16ToGbk(wide), kGbk);
}

TEST(CodePage, MixedAsciiAndChineseKeepTheirOrder) {
  const std::string gbk = std::string("A1 ") + kGbk + " z";
  EXPECT_EQ(utf16ToGbk(gbkToUtf16(gbk)), gbk);
}

TEST(CodePage, EmptyGivesEmpty) {
  EXPECT_TRUE(gbkToUtf16("").empty());
  EXPECT_TRUE(utf16ToGbk(u"").empty());
}

TEST(CodePage, UnconvertibleInputIsReplacedNotDropped) {
  // A lone lead byte at the end cannot form a character.
  const std::u16string wide = gbkToUtf16("ab\xD6");
  ASSERT_EQ(wide.size(), 3u);
  EXPECT_EQ(wide.substr(0, 2), u"ab");
  // A character outside code page 936 comes back as '?'.
  EXPECT_EQ(utf16ToGbk(u"x\U0001F600y"), "x??y");
}

TEST(CodePage, RepeatedTextsConvertAsTheFirstTime) {
  // Each text twice: the second conversion may take its characters from those already seen.
  // What replaces a byte that forms no character is the system's (U+FFFD from iconv; Windows
  // has its own), so those texts are held to their first conversion only.
  const std::pair<std::string, std::u16string> cases[] = {
      {kGbk, u"\u4E2D\u6587\u6D4B\u8BD5"},
      {std::string("\x81\x40") + "a\xA1\xA1" + "1", u"\u4E02a\u30001"},  // first and space
      {"\xD6\xD0\xD6", u""},  // a lead byte left at the end
      {"\xD6 \xD0", u""},     // a lead byte before ASCII
      {"\xFF\xFFz", u""},     // no lead byte at all
      {"\xD6\xD0\xFF\xD6\xD0", u""},
  };
  std::vector<std::u16string> first;
  for (const auto& [gbk, wide] : cases) {
    first.push_back(gbkToUtf16(gbk));
    if (!wide.empty()) {
      EXPECT_EQ(first.back(), wide);
    }
  }
#ifndef _WIN32
  EXPECT_EQ(first[2], u"\u4E2D\uFFFD");
  EXPECT_EQ(first[3], u"\uFFFD \uFFFD");
  EXPECT_EQ(first[4], u"\uFFFD\uFFFDz");
  EXPECT_EQ(first[5], u"\u4E2D\uFFFD\u4E2D");
#endif
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(gbkToUtf16(cases[i].first), first[i]) << i;
  }
}

TEST(CodePage, Utf8RoundTrip) {
  const std::string utf8 = "\xE6\xA8\xA1\xE6\x9D\xBF \xF0\x9F\x98\x80";  // 模板 and an emoji
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(utf8)), utf8);
  EXPECT_EQ(utf8ToUtf16("\xFF"), u"\uFFFD");
  EXPECT_EQ(gbkToUtf8(kGbk), "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95");
}

TEST(CodePage, PrefixNeverEndsInsideACharacter) {
  const std::string text = std::string("ab") + kGbk;  // 2 + 8 bytes
  EXPECT_EQ(gbkPrefixLength(text, 10), 10u);
  EXPECT_EQ(gbkPrefixLength(text, 5), 4u);
  EXPECT_EQ(gbkPrefixLength(text, 4), 4u);
  EXPECT_EQ(gbkPrefixLength(text, 1), 1u);
}

}  // namespace
}  // namespace qx::platform
