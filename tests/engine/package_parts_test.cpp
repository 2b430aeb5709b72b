// Content types and relationships: the parts that say what a package holds.

#include <gtest/gtest.h>

#include "engine/package/content_types.h"
#include "engine/package/relationships.h"
#include "engine/save/engine_error.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

constexpr const char* kTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="XML" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="main"/></Types>)";

TEST(ContentTypes, FindsTypesByOverrideThenByExtension) {
  ContentTypes types;
  types.load(kTypes);
  EXPECT_EQ(types.typeOf("/xl/workbook.xml"), "main");
  EXPECT_EQ(types.typeOf("xl/workbook.xml"), "main");
  EXPECT_EQ(types.typeOf("xl/styles.xml"), "application/xml");  // extension case ignored
  EXPECT_EQ(types.typeOf("xl/media/image1.png"), "");
  EXPECT_FALSE(types.changed());
}

TEST(ContentTypes, AddsADefaultOnceAndOverridesByPart) {
  ContentTypes types;
  types.load(kTypes);
  types.ensureDefault("png", "image/png");
  types.ensureDefault("PNG", "image/png");
  types.ensureDefault("xml", "other");
  types.setOverride("xl/drawings/drawing1.xml", "drawing");
  EXPECT_TRUE(types.changed());
  const std::string saved = types.save();
  EXPECT_NE(saved.find(R"(<Default Extension="XML" ContentType="application/xml"/>)"
                       R"(<Default Extension="png" ContentType="image/png"/>)"),
            std::string::npos)
      << saved;
  EXPECT_EQ(saved.find("other"), std::string::npos);
  EXPECT_NE(saved.find(R"(<Override PartName="/xl/drawings/drawing1.xml" ContentType="drawing"/>)"),
            std::string::npos);
  EXPECT_TRUE(saved.starts_with("<?xml"));
  types.removeOverride("/xl/drawings/drawing1.xml");
  EXPECT_EQ(types.typeOf("xl/drawings/drawing1.xml"), "application/xml");
}

TEST(ContentTypes, DeclaresAPartWithoutATypeByDefaultOrByOverride) {
  ContentTypes types;
  types.load(kTypes);
  types.declare("xl/workbook.xml", "other", false);  // has one: kept
  types.declare("xl/styles.xml", "styles", true);    // has one by its extension: kept
  types.declare("xl/media/image1.png", "image/png", true);
  types.declare("xl/media/image2.PNG", "image/png", true);
  types.declare("xl/tables/table1.bin", "table", false);
  EXPECT_EQ(types.typeOf("xl/workbook.xml"), "main");
  EXPECT_EQ(types.typeOf("xl/styles.xml"), "application/xml");
  EXPECT_EQ(types.typeOf("xl/media/image3.png"), "image/png");  // by the Default it added
  EXPECT_EQ(types.typeOf("xl/tables/table1.bin"), "table");
  EXPECT_EQ(types.typeOf("xl/tables/table2.bin"), "");  // by its Override alone

  // Without any Default, every part gets its Override.
  ContentTypes overrides;
  overrides.load(R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
                 R"(<Override PartName="/_rels/.rels" ContentType="rels"/></Types>)");
  overrides.declare("xl/_rels/workbook.xml.rels", "rels", true);
  overrides.declare("xl/media/image1.png", "image/png", true);
  EXPECT_EQ(overrides.typeOf("xl/_rels/workbook.xml.rels"), "rels");
  EXPECT_EQ(overrides.typeOf("xl/media/image1.png"), "image/png");
  EXPECT_EQ(overrides.typeOf("xl/media/image2.png"), "");
  EXPECT_EQ(overrides.save().find("<Default"), std::string::npos);
}

TEST(ContentTypes, RefusesWhatIsNoContentTypesPart) {
  ContentTypes types;
  EXPECT_THROW(types.load("<Other/>"), EngineError);
  EXPECT_THROW(types.load("<Types"), EngineError);
}

TEST(Relationships, NamesPartsAndTargets) {
  struct Case {
    const char* source;
    const char* target;
    const char* part;
  } cases[] = {
      {"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
      {"xl/worksheets/sheet1.xml", "../drawings/drawing1.xml", "xl/drawings/drawing1.xml"},
      {"xl/workbook.xml", "/xl/styles.xml", "xl/styles.xml"},
      {"", "xl/workbook.xml", "xl/workbook.xml"},
      {"xl/workbook.xml", "./theme/../styles.xml", "xl/styles.xml"},
  };
  for (const Case& c : cases) EXPECT_EQ(resolveTarget(c.source, c.target), c.part) << c.target;
  EXPECT_EQ(relationshipsPartOf("xl/worksheets/sheet1.xml"), "xl/worksheets/_rels/sheet1.xml.rels");
  EXPECT_EQ(relationshipsPartOf(""), "_rels/.rels");
  EXPECT_EQ(relativeTarget("xl/worksheets/sheet1.xml", "xl/drawings/drawing1.xml"),
            "../drawings/drawing1.xml");
  EXPECT_EQ(relativeTarget("xl/drawings/drawing1.xml", "xl/media/image1.png"),
            "../media/image1.png");
  EXPECT_EQ(relativeTarget("xl/workbook.xml", "xl/styles.xml"), "styles.xml");
}

TEST(Relationships, AddsWithFreshIdsAndKeepsUnknownOnes) {
  Relationships links("xl/worksheets/sheet1.xml");
  links.load(
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId2" Type="http://x/relationships/printerSettings" Target="../p.bin"/>)"
      R"(<Relationship Id="rId1" Type="http://x/relationships/hyperlink" Target="http://e.com" TargetMode="External"/>)"
      R"(</Relationships>)");
  EXPECT_TRUE(links.byId("rId1")->external);
  EXPECT_EQ(links.byTypeSuffix("printerSettings")->id, "rId2");
  EXPECT_EQ(links.byTypeSuffix("Settings"), nullptr);  // whole last segment only
  const std::string id = links.add("http://x/relationships/drawing", "../drawings/drawing1.xml");
  EXPECT_EQ(id, "rId3");
  EXPECT_EQ(links.partOf(*links.byId(id)), "xl/drawings/drawing1.xml");
  const std::string saved = links.save();
  EXPECT_NE(saved.find("TargetMode=\"External\""), std::string::npos);
  EXPECT_NE(saved.find(R"(Id="rId3" Type="http://x/relationships/drawing")"), std::string::npos);
}

TEST(Relationships, StartsAPartThatDidNotExist) {
  Relationships links("xl/drawings/drawing1.xml");
  EXPECT_FALSE(links.existed());
  links.add("http://x/image", "../media/image1.png");
  const std::string saved = links.save();
  EXPECT_TRUE(saved.starts_with("<?xml version=\"1.0\""));
  EXPECT_NE(saved.find("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                       "relationships\"><Relationship Id=\"rId1\""),
            std::string::npos)
      << saved;
}

// A damaged part that gives two relationships one id: dropping the calculation chain after a
// formula was overwritten must not drop the shared strings (every text of the workbook).
TEST(DamagedRelationships, RemovingOneOfTwoWithTheSameIdKeepsTheOther) {
  Relationships links("xl/workbook.xml");
  links.load(
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId6" Type="http://x/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
      R"(<Other Id="rId6"/>)"
      R"(<Relationship Id="rId6" Type="http://x/relationships/calcChain" Target="calcChain.xml"/>)"
      R"(</Relationships>)");
  const Relationship* chain = links.byTypeSuffix("calcChain");
  ASSERT_NE(chain, nullptr);
  links.remove(*chain);

  ASSERT_EQ(links.all().size(), 1u);
  EXPECT_EQ(links.all()[0].target, "sharedStrings.xml");
  const std::string saved = links.save();
  EXPECT_NE(saved.find("sharedStrings.xml"), std::string::npos);
  EXPECT_NE(saved.find("<Other"), std::string::npos);
  EXPECT_EQ(saved.find("calcChain"), std::string::npos);
}

}  // namespace
}  // namespace qx::testing
