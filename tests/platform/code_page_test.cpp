#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qx::testing {

using namespace qx::platform;

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
  // Into one reused string: what a longer text left there never shows through a shorter one.
  std::u16string room;
  for (const std::string& text : {gbk, std::string("B2"), gbk.substr(0, 5), std::string()}) {
    gbkToUtf16(text, room);
    EXPECT_EQ(utf16ToGbk(room), text);
  }
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
  // Into one buffer, longest text first: each conversion replaces all the one before left.
  std::u16string room = u"a text longer than every case above";
  for (std::size_t i = std::size(cases); i-- > 0;) {
    gbkToUtf16(cases[i].first, room);
    EXPECT_EQ(room, first[i]) << i;
  }
  gbkToUtf16("", room);
  EXPECT_TRUE(room.empty());
}

TEST(CodePage, ThreadsConvertingTogetherAgreeWithOneThread) {
  // Every double-byte character of the first GB2312 rows, met by several threads at once.
  std::string gbk;
  for (int lead = 0xB0; lead <= 0xB7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      gbk += static_cast<char>(lead);
      gbk += static_cast<char>(trail);
      gbk += static_cast<char>('a' + trail % 26);
    }
  }
  std::vector<std::u16string> seen(4);
  {
    std::vector<std::thread> threads;
    for (std::u16string& out : seen) threads.emplace_back([&] { gbkToUtf16(gbk, out); });
    for (std::thread& thread : threads) thread.join();
  }
  const std::u16string expected = gbkToUtf16(gbk);
  EXPECT_EQ(expected.size(), gbk.size() / 3 * 2);
  EXPECT_EQ(utf16ToGbk(expected), gbk);
  for (const std::u16string& out : seen) EXPECT_EQ(out, expected);
}

TEST(CodePage, Utf8RoundTrip) {
  const std::string utf8 = "\xE6\xA8\xA1\xE6\x9D\xBF \xF0\x9F\x98\x80";  // 模板 and an emoji
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(utf8)), utf8);
  EXPECT_EQ(utf8ToUtf16("\xFF"), u"\uFFFD");
  EXPECT_EQ(gbkToUtf8(kGbk), "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95");
}

// Both forms of UTF-16 to UTF-8 agree, and the buffer form stays inside three bytes a unit.
TEST(CodePage, Utf16ToUtf8PairsSurrogatesAndReplacesLoneOnes) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"", ""},
      {u"A1", "A1"},
      {u"\u00E9\u07FF", "\xC3\xA9\xDF\xBF"},                               // two bytes
      {u"\u0800\u6D4B\uFFFF", "\xE0\xA0\x80\xE6\xB5\x8B\xEF\xBF\xBF"},     // three bytes
      {u"\U0001F600", "\xF0\x9F\x98\x80"},                                 // a pair: four bytes
      {std::u16string(1, u'\xD83D'), "\xEF\xBF\xBD"},                      // a lone high unit
      {std::u16string(1, u'\xDE00') + u"x", "\xEF\xBF\xBDx"},              // a lone low unit
      {std::u16string{u'\xDE00', u'\xD83D'}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // low, then high
      // Longer texts, with what is not ASCII early, late and across the eighth unit.
      {u"ABCDEFGH", "ABCDEFGH"},
      {u"ABCDEFGHI", "ABCDEFGHI"},
      {u"ABCDEFG\u00E9IJKLMNOP", "ABCDEFG\xC3\xA9IJKLMNOP"},  // the first block's last unit
      {u"ABCDEFGH\u6D4BJKLMNOPQ", "ABCDEFGH\xE6\xB5\x8BJKLMNOPQ"},
      {u"ABCDEFGHIJKLMNO\U0001F600", "ABCDEFGHIJKLMNO\xF0\x9F\x98\x80"},  // a pair across blocks
      {u"ABCDEFGHIJKLMNOP\x7F", "ABCDEFGHIJKLMNOP\x7F"},
  };
  for (const auto& [utf16, utf8] : cases) {
    EXPECT_EQ(utf16ToUtf8(utf16), utf8) << utf8;
    std::string room(utf16.size() * 3 + 1, '#');
    EXPECT_EQ(utf16ToUtf8(utf16, room.data()), utf8.size()) << utf8;
    EXPECT_EQ(room.substr(0, utf8.size()), utf8);
    EXPECT_EQ(room.back(), '#') << "wrote past three bytes a unit: " << utf8;
  }
}

TEST(CodePage, PrefixNeverEndsInsideACharacter) {
  const std::string text = std::string("ab") + kGbk;  // 2 + 8 bytes
  EXPECT_EQ(gbkPrefixLength(text, 10), 10u);
  EXPECT_EQ(gbkPrefixLength(text, 5), 4u);
  EXPECT_EQ(gbkPrefixLength(text, 4), 4u);
  EXPECT_EQ(gbkPrefixLength(text, 1), 1u);
  // A lone lead byte at the end counts as one byte, whether the limit reaches past it or not.
  EXPECT_EQ(gbkPrefixLength("ab\xD6", 3), 3u);
  EXPECT_EQ(gbkPrefixLength("ab\xD6", 80), 3u);
  EXPECT_EQ(gbkPrefixLength("a\xD6\xD0", 2), 1u);
  EXPECT_EQ(gbkPrefixLength("", 0), 0u);
}

}  // namespace
}  // namespace qx::testing
