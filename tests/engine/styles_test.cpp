#include "engine/package/styles.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/engine/package_builder.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

// On the heap: the styles hold handles into their own document, which must not move.
std::unique_ptr<Styles> loaded() {
  auto styles = std::make_unique<Styles>();
  styles->load(minimalWorkbook().at("xl/styles.xml"), "xl/styles.xml");
  return styles;
}

class StylesTest : public ::testing::Test {
 protected:
  std::unique_ptr<Styles> loaded_ = loaded();
};

const BorderLine kThinBlack{"thin", "rgb", "FF000000"};

TEST_F(StylesTest, ReadsNumberFormatsOfCellFormats) {
  Styles& styles = *loaded_;
  EXPECT_EQ(styles.formatCount(), 3u);
  EXPECT_TRUE(styles.isGeneral(0));
  EXPECT_EQ(styles.numberFormat(1), "0.00");
  EXPECT_TRUE(styles.isText(2));
  EXPECT_TRUE(styles.isGeneral(99));  // unknown index: General
  EXPECT_EQ(styles.defaultFont().name, "Calibri");
  EXPECT_DOUBLE_EQ(styles.defaultFont().size, 11);
}

TEST_F(StylesTest, FramesCopiesAndSharesEqualResults) {
  Styles& styles = *loaded_;
  const std::uint32_t line = styles.lineId(kThinBlack);
  const unsigned all = kLeft | kRight | kTop | kBottom;
  const std::uint32_t a = styles.framed(0, all, line);
  const std::uint32_t b = styles.framed(1, all, line);
  EXPECT_EQ(a, 3u);
  EXPECT_EQ(b, 4u);
  for (int i = 0; i < 1000; ++i) {
    EXPECT_EQ(styles.framed(0, all, line), a);
    EXPECT_EQ(styles.framed(a, all, line), a);  // framing a framed cell again changes nothing
  }
  EXPECT_EQ(styles.numberFormat(b), "0.00");  // the copy keeps the format
  const std::uint32_t top = styles.framed(0, kTop, line);
  EXPECT_NE(top, a);
  EXPECT_EQ(styles.framed(top, kLeft | kRight | kBottom, line), a);  // equal border: same xf
  EXPECT_EQ(styles.lineId(BorderLine{"thin", "rgb", "FF000000"}), line);
  // Two framed copies of format 0 (all edges, then the top alone) and one of format 1.
  const std::string saved = styles.save();
  EXPECT_EQ(xmlFragment(saved, "/styleSheet/borders"),
            R"(<borders count="3"><border><left/><right/><top/><bottom/><diagonal/></border>)"
            R"(<border><left style="thin"><color rgb="FF000000"/></left>)"
            R"(<right style="thin"><color rgb="FF000000"/></right>)"
            R"(<top style="thin"><color rgb="FF000000"/></top>)"
            R"(<bottom style="thin"><color rgb="FF000000"/></bottom><diagonal/></border>)"
            R"(<border><left/><right/><top style="thin"><color rgb="FF000000"/></top>)"
            R"(<bottom/><diagonal/></border></borders>)");
  EXPECT_EQ(
      xmlFragment(saved, "/styleSheet/cellXfs"),
      R"(<cellXfs count="6"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
      R"(<xf numFmtId="2" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1"/>)"
      R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
      R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="1" xfId="0" applyBorder="1"/>)"
      R"(<xf numFmtId="2" fontId="1" fillId="0" borderId="1" xfId="0" applyFont="1" applyBorder="1"/>)"
      R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="2" xfId="0" applyBorder="1"/></cellXfs>)");
}

TEST(Styles, AddsEdgesInSchemaOrderToBordersThatLackThem) {
  Styles styles;
  styles.load(R"(<styleSheet xmlns="m"><borders count="1"><border><diagonal/></border></borders>)"
              R"(<cellXfs count="1"><xf/></cellXfs></styleSheet>)",
              "xl/styles.xml");
  styles.framed(0, kBottom | kLeft, styles.lineId(kThinBlack));
  EXPECT_EQ(
      xmlFragment(styles.save(), "/styleSheet/borders"),
      R"(<borders count="2"><border><diagonal/></border>)"
      R"(<border><left style="thin"><color rgb="FF000000"/></left>)"
      R"(<bottom style="thin"><color rgb="FF000000"/></bottom><diagonal/></border></borders>)");
}

TEST_F(StylesTest, NumberFormatCopiesAddCustomCodesOnce) {
  Styles& styles = *loaded_;
  const std::uint32_t time = styles.withNumberFormat(0, "h:mm");
  EXPECT_EQ(styles.numberFormat(time), "h:mm");
  const std::uint32_t longTime = styles.withNumberFormat(0, "[h]:mm");
  EXPECT_EQ(styles.numberFormat(longTime), "[h]:mm");
  EXPECT_EQ(styles.withNumberFormat(0, "[h]:mm"), longTime);
  const std::string saved = styles.save();
  EXPECT_EQ(xmlFragment(saved, "/styleSheet/numFmts"),
            R"(<numFmts count="1"><numFmt numFmtId="164" formatCode="[h]:mm"/></numFmts>)");
  // h:mm is built in: its copy names the built-in format and adds no code.
  EXPECT_EQ(
      xmlFragment(saved, "/styleSheet/cellXfs/xf[position() > 3]"),
      R"(<xf numFmtId="20" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
      R"(<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)");
}

}  // namespace
}  // namespace qx::testing
