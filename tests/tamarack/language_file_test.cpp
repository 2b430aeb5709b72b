#include "tamarack/language_file.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"
#include "tests/support/captured_messages.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::tamarack;

namespace {

constexpr const char* kKey = "excel_fil_01:";

std::string missingKeyMessage(const std::string& path, const std::string& key) {
  return "在 " + path + " 文件中找不到 " + key + " 标题,请查看标题否正确!";
}
std::string missingTextMessage(const std::string& path, const std::string& key) {
  return "在 " + path + " 文件中读数据错误,找不到 " + key + " 的数据,请查看是否有 " + key +
         " 的数据!";
}

struct Lookup {
  const char* name;
  std::string file;
  std::string key;
  bool found;
  std::string text;  // the text found, or "key" / "text" for the message expected
};

std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string repeat(char c, std::size_t n) {
  return std::string(n, c);
}

const Lookup kLookups[] = {
    {"TextAfterColon", "excel_fil_01:abc\n", kKey, true, "abc"},
    {"LeadingSpaceStays", "excel_fil_01: abc\n", kKey, true, " abc"},
    {"CommaAndSpaceInsideText", "excel_fil_01:a, b\n", kKey, true, "a, b"},
    {"CrLfReadsAsLf", "excel_fil_01:abc\r\nexcel_fil_02:x\r\n", kKey, true, "abc"},
    {"LoneCrIsOrdinary", "excel_fil_01:a\rb\n", kKey, true, "a\rb"},
    {"TabStaysInText", "excel_fil_01:\ta\n", kKey, true, "\ta"},
    {"KeyAloneThenEmptyLineThenText", "excel_fil_01:\n\nxyz\n", kKey, true, "xyz"},
    {"KeyAloneThenCrLfEmptyLines", "excel_fil_01:\r\n\r\nxyz\r\n", kKey, true, "xyz"},
    {"GbkBytesKept", "excel_fil_01:\xD0\xA1\xBC\xC6:\n", kKey, true, "\xD0\xA1\xBC\xC6:"},
    {"LastLineWithoutLineEnd", "excel_fil_01:abc", kKey, false, "text"},
    {"KeyAtEndOfFile", "excel_fil_01:", kKey, false, "text"},
    {"KeyThenOnlyEmptyLines", "excel_fil_01:\n\n\r\n", kKey, false, "text"},
    {"LetterBeforeKeyDoesNotMatch", "xexcel_fil_01:abc\n", kKey, false, "key"},
    {"CommaBeforeKeyMatches", "note,excel_fil_01:abc\n", kKey, true, "abc"},
    {"SpaceBeforeKeyMatches", "note excel_fil_01:abc\n", kKey, true, "abc"},
    {"TabBeforeKeyDoesNotMatch", "\texcel_fil_01:abc\n", kKey, false, "key"},
    {"FirstOccurrenceWins", "excel_fil_01:one\nexcel_fil_01:two\n", kKey, true, "one"},
    {"OccurrenceInsideEarlierText", "excel_fil_02:see excel_fil_01:inner\nexcel_fil_01:own\n", kKey,
     true, "inner"},
    {"KeyInsideAnotherEntrysLine", "excel_fil_01:abc excel_fil_02:x\n", "excel_fil_02:", true, "x"},
    {"CaseSensitive", "EXCEL_FIL_01:abc\n", kKey, false, "key"},
    {"ColonBelongsToKey", "excel_fil_01 abc\n", kKey, false, "key"},
    {"TextCutAt256Bytes", "excel_fil_01:" + repeat('t', 300) + "\n", kKey, true, repeat('t', 256)},
    {"TextOf256BytesExactly", "excel_fil_01:" + repeat('t', 256) + "\nnext\n", kKey, true,
     repeat('t', 256)},
    // The byte that arrives when the token holds 256 is dropped and matching starts afresh.
    {"RunOf257CutThenKeyMatches", repeat('x', 257) + "excel_fil_01:abc\n", kKey, true, "abc"},
    {"RunOf256DropsTheKeysFirstByte", repeat('x', 256) + "excel_fil_01:abc\n", kKey, false, "key"},
    {"EmptyFile", "", kKey, false, "key"},
};

class LanguageLookup : public ::testing::TestWithParam<Lookup> {};

TEST_P(LanguageLookup, FindsTheTextOrSaysWhy) {
  const Lookup& lookup = GetParam();
  TempDir dir;
  const auto path = dir.write("lang/pinebrook_exe.txt", lookup.file);
  CapturedMessages messages;
  std::string text = "unchanged";
  const int result = read_language_text(lookup.key, text, path, messages);
  const std::string shownPath = utf8Of(path);
  if (lookup.found) {
    EXPECT_EQ(result, 1);
    EXPECT_EQ(text, lookup.text);
    EXPECT_TRUE(messages.shown.empty());
    return;
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(text, "unchanged");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
  EXPECT_EQ(messages.shown[0].text, lookup.text == "key"
                                        ? missingKeyMessage(shownPath, lookup.key)
                                        : missingTextMessage(shownPath, lookup.key));
}

INSTANTIATE_TEST_SUITE_P(EveryRule, LanguageLookup, ::testing::ValuesIn(kLookups),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LanguageLookupFile, MissingFileIsReportedOncePerLookup) {
  TempDir dir;
  const auto path = dir.path() / "lang" / "pinebrook_exe.txt";
  CapturedMessages messages;
  std::string text;
  EXPECT_EQ(read_language_text("excel_fil_11:", text, path, messages), 0);
  EXPECT_EQ(read_language_text("excel_fil_12:", text, path, messages), 0);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, "找不到 " + utf8Of(path) + " 语言配置文件,请重新安装!");
  EXPECT_EQ(messages.shown[1].text, messages.shown[0].text);
  EXPECT_FALSE(std::filesystem::exists(path));  // never created
}

TEST(LanguageLookupFile, InstalledFileLiesInTheLangFolderOfTheConfigurationDirectory) {
  TempDir dir;
  ScopedEnv conf("QX_CONF_DIR", dir.path().string());
#ifdef _WIN32
  EXPECT_EQ(installedLanguageFile(), std::filesystem::path("D:\\qx_conf\\lang\\pinebrook_exe.txt"));
#else
  EXPECT_EQ(installedLanguageFile(), dir.path() / "lang" / "pinebrook_exe.txt");
#endif
}

// The file that ships with the installation answers every key the exporter asks for.
TEST(ShippedLanguageFile, HoldsAllElevenKeysInCodePage936) {
  CapturedMessages messages;
  const std::filesystem::path shipped = QX_TAMARACK_LANGUAGE_FILE;
  for (const char* key : {"excel_fil_01:", "excel_fil_02:", "excel_fil_03:", "excel_fil_04:",
                          "excel_fil_05:", "excel_fil_06:", "excel_fil_07:", "excel_fil_08:",
                          "excel_fil_09:", "excel_fil_11:", "excel_fil_12:"}) {
    std::string text;
    ASSERT_EQ(read_language_text(key, text, shipped, messages), 1) << key;
    // Round-trips through code page 936 unchanged and holds no replacement character.
    const std::string utf8 = platform::gbkToUtf8(text);
    EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos) << key;
    EXPECT_EQ(platform::utf8ToGbk(utf8), text) << key;
  }
  std::string subtotal, total;
  read_language_text("excel_fil_11:", subtotal, shipped, messages);
  read_language_text("excel_fil_12:", total, shipped, messages);
  EXPECT_EQ(platform::gbkToUtf8(subtotal), "小计:");
  EXPECT_EQ(platform::gbkToUtf8(total), "总计:");
  EXPECT_TRUE(messages.shown.empty());
}

// The lookup over bytes in memory, which the lookup over the file on disk uses.
using LookupResult = ::qx::tamarack::LanguageLookup;  // not the fixture above

TEST(LanguageLookupOverBytes, EndsAsTheFileLookupDoes) {
  struct Case {
    const char* bytes;
    LookupResult result;
    const char* text;
  } cases[] = {
      {"excel_fil_05:abc\r\n", LookupResult::Found, "abc"},
      {"excel_fil_05:\r\n\r\n x,y\r\n", LookupResult::Found, " x,y"},
      {"excel_fil_05:a\rb\n", LookupResult::Found, "a\rb"},
      {"excel_fil_05:abc\r", LookupResult::TextMissing, ""},
      {"excel_fil_05:abc", LookupResult::TextMissing, ""},
      {"xexcel_fil_05:abc\n", LookupResult::KeyMissing, ""},
      {"", LookupResult::KeyMissing, ""},
  };
  for (const Case& c : cases) {
    std::string text = "before";
    EXPECT_EQ(lookUpLanguageText(c.bytes, "excel_fil_05:", text), c.result) << c.bytes;
    EXPECT_EQ(text, c.result == LookupResult::Found ? c.text : "before") << c.bytes;
  }
}

TEST(LanguageLookupOverBytes, NulBytesAreOrdinaryBytes) {
  const std::string bytes("excel_fil_05:a\0b\n", 17);
  std::string text;
  ASSERT_EQ(lookUpLanguageText(bytes, "excel_fil_05:", text), LookupResult::Found);
  EXPECT_EQ(text, std::string("a\0b", 3));
}

}  // namespace
}  // namespace qx::testing
