// The language file lookup over bytes in memory: what the lookup over the file on disk uses.

#include <gtest/gtest.h>

#include <string>

#include "tamarack/language_file.h"

namespace qx::tamarack {
namespace {

TEST(LanguageLookupOverBytes, EndsAsTheFileLookupDoes) {
  struct Case {
    const char* bytes;
    LanguageLookup result;
    const char* text;
  } cases[] = {
      {"excel_fil_05:abc\r\n", LanguageLookup::Found, "abc"},
      {"excel_fil_05:\r\n\r\n x,y\r\n", LanguageLookup::Found, " x,y"},
      {"excel_fil_05:a\rb\n", LanguageLookup::Found, "a\rb"},
      {"excel_fil_05:abc\r", LanguageLookup::TextMissing, ""},
      {"excel_fil_05:abc", LanguageLookup::TextMissing, ""},
      {"xexcel_fil_05:abc\n", LanguageLookup::KeyMissing, ""},
      {"", LanguageLookup::KeyMissing, ""},
  };
  for (const Case& c : cases) {
    std::string text = "before";
    EXPECT_EQ(lookUpLanguageText(c.bytes, "excel_fil_05:", text), c.result) << c.bytes;
    EXPECT_EQ(text, c.result == LanguageLookup::Found ? c.text : "before") << c.bytes;
  }
}

TEST(LanguageLookupOverBytes, NulBytesAreOrdinaryBytes) {
  const std::string bytes("excel_fil_05:a\0b\n", 17);
  std::string text;
  ASSERT_EQ(lookUpLanguageText(bytes, "excel_fil_05:", text), LanguageLookup::Found);
  EXPECT_EQ(text, std::string("a\0b", 3));
}

}  // namespace
}  // namespace qx::tamarack
