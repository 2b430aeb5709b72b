#include "engine/shared_strings.h"

#include <gtest/gtest.h>

#include <memory>

namespace qx::engine {
namespace {

std::string saved(SharedStrings& strings) {
  std::string out, chunk;
  const ChunkSource source = strings.saver();
  while (source(chunk)) out += chunk;
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
}  // namespace qx::engine
