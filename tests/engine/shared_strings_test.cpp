#include "engine/package/shared_strings.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/package/xml_part.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

std::string saved(SharedStrings& strings) {
  std::string out, chunk;
  const ChunkSource source = strings.saver();
  for (int calls = 0; calls < 100000 && source(chunk); ++calls) out += chunk;
  return out;
}

TEST(SharedStrings, ReusesItemsOfEqualPlainTextAndKeepsRichOnes) {
  auto strings = std::make_unique<SharedStrings>();
  strings->load(
      R"(<sst xmlns="m" count="3" uniqueCount="2"><si><t>old</t></si>)"
      R"(<si><r><rPr><b/></rPr><t>ri</t></r><r><t>ch</t></r><rPh><t>x</t></rPh></si></sst>)",
      "xl/sharedStrings.xml");
  EXPECT_EQ(strings->text(1), "rich");  // runs joined, phonetic text left out
  EXPECT_EQ(strings->add("old"), 0u);
  EXPECT_EQ(strings->add("rich"), 2u);  // a rich item is no plain text
  EXPECT_EQ(strings->add("rich"), 2u);
  EXPECT_EQ(strings->add(" new\x01"), 3u);
  EXPECT_EQ(strings->add("_x0041_"), 4u);
  const std::string xml = saved(*strings);
  EXPECT_NE(xml.find(R"(count="8" uniqueCount="5")"), std::string::npos) << xml;
  EXPECT_NE(
      xml.find(R"(<si><r><rPr><b/></rPr><t>ri</t></r><r><t>ch</t></r><rPh><t>x</t></rPh></si>)"),
      std::string::npos);
  EXPECT_NE(xml.find(R"(<si><t xml:space="preserve"> new_x0001_</t></si>)"), std::string::npos)
      << xml;
  EXPECT_NE(xml.find(R"(<si><t>_x005F_x0041_</t></si>)"), std::string::npos) << xml;
  EXPECT_EQ(decodeCellText("_x005F_x0041_ a_x0001_"), std::string("_x0041_ a\x01"));
}

TEST(SharedStrings, ContentAndAttributesEscapeWhatTheirReadersWouldChange) {
  struct Case {
    std::string_view text, content, cellText, attribute;
  };
  const Case cases[] = {
      {"plain 甲", "plain 甲", "plain 甲", "plain 甲"},
      {"a<b>&c", "a&lt;b&gt;&amp;c", "a&lt;b&gt;&amp;c", "a&lt;b&gt;&amp;c"},
      {"\"q\"\t\n", "\"q\"\t\n", "\"q\"\t\n", "&quot;q&quot;&#9;&#10;"},
      {"x\ry", "x&#13;y", "x&#13;y", "x&#13;y"},
      {"\x01<_x0041_>", "\x01&lt;_x0041_&gt;", "_x0001_&lt;_x005F_x0041_&gt;",
       "\x01&lt;_x0041_&gt;"},
      {"_x004_ _xZZZZ_", "_x004_ _xZZZZ_", "_x004_ _xZZZZ_", "_x004_ _xZZZZ_"},
      {"", "", "", ""},
      {"ends in &", "ends in &amp;", "ends in &amp;", "ends in &amp;"},
      {"a_b", "a_b", "a_b", "a_b"},
  };
  for (const Case& c : cases) {
    std::string content, cellText, attribute;
    appendEscaped(content, c.text, XmlEscape::Content);
    appendCellText(cellText, c.text);
    appendEscaped(attribute, c.text, XmlEscape::Attribute);
    EXPECT_EQ(content, c.content) << c.text;
    EXPECT_EQ(cellText, c.cellText) << c.text;
    EXPECT_EQ(attribute, c.attribute) << c.text;
  }
}

TEST(SharedStrings, ManyItemsGoOutWholeAcrossPieces) {
  auto strings = std::make_unique<SharedStrings>();
  strings->load(R"(<x:sst xmlns:x="m"><x:si><x:t>old</x:t></x:si><x:extLst/></x:sst>)",
                "xl/sharedStrings.xml");
  for (int i = 0; i < 20000; ++i) strings->add("text " + std::to_string(i));
  const std::string xml = saved(*strings);
  EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
  const std::size_t last = xml.find("<x:si><x:t>text 19999</x:t></x:si><x:extLst/></x:sst>");
  EXPECT_NE(last, std::string::npos);
  EXPECT_EQ(xml.find("<x:si><x:t>old</x:t></x:si><x:si><x:t>text 0</x:t></x:si>"),
            xml.find("<x:si>"));
  std::size_t items = 0;
  for (std::size_t at = 0; (at = xml.find("<x:si>", at)) != std::string::npos; ++at) ++items;
  EXPECT_EQ(items, 20001u);
}

TEST(SharedStrings, RepeatedValuesOfAReportShareOneItem) {
  auto strings = std::make_unique<SharedStrings>();
  strings->load(R"(<sst xmlns="m"/>)", "xl/sharedStrings.xml");
  for (int row = 0; row < 100000; ++row) {
    strings->add("unique " + std::to_string(row));
    EXPECT_EQ(strings->add("合格"), 1u);
  }
  EXPECT_EQ(strings->size(), 100001u);
}

}  // namespace
}  // namespace qx::testing
