// Pictures: their kinds, where their anchors fall, and the drawing part.

#include "engine/package/drawing.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/save/engine_error.h"
#include "tests/engine/package_builder.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

TEST(Drawing, TellsPictureKindsBySignature) {
  std::string bmp(54, '\0');
  bmp[0] = 'B', bmp[1] = 'M', bmp[18] = 40, bmp[22] = static_cast<char>(0xF6);  // 40 x -10
  bmp[23] = bmp[24] = bmp[25] = static_cast<char>(0xFF);
  const std::string gif = std::string("GIF89a") + '\x10' + '\0' + '\x08' + '\0';
  const std::string jpeg =
      std::string("\xFF\xD8\xFF\xE0\0\x04\0\0\xFF\xC0\0\x11\x08\0\x20\0\x30", 17) +
      std::string(16, '\0');  // APP0, then the frame header: 32 high, 48 wide
  struct Case {
    std::string bytes, extension;
    double width, height;
  } cases[] = {{bmp, "bmp", 30, 7.5},
               {tinyPng(), "png", 0.75, 0.75},
               {gif, "gif", 12, 6},
               {jpeg, "jpeg", 36, 24}};
  for (const Case& c : cases) {
    const PictureType type = pictureType(c.bytes, "p");
    EXPECT_EQ(type.extension, c.extension);
    EXPECT_DOUBLE_EQ(type.naturalWidth, c.width) << c.extension;
    EXPECT_DOUBLE_EQ(type.naturalHeight, c.height) << c.extension;
  }
  for (const std::string other : {"", "II*\0", "%PDF-1.4", "BM", "\x89PNG"}) {
    EXPECT_THROW(pictureType(other, "p"), EngineError) << other;
  }
}

class Anchors : public ::testing::Test {
 protected:
  void SetUp() override {
    const Parts parts =
        minimalWorkbook(R"(<row r="2" ht="30" customHeight="1"/><row r="3" hidden="1"/>)",
                        R"(<cols><col min="2" max="2" width="20" customWidth="1"/></cols>)");
    sheet->load(parts.at("xl/worksheets/sheet1.xml"));
  }
  std::unique_ptr<Worksheet> sheet = std::make_unique<Worksheet>("xl/worksheets/sheet1.xml");
};

TEST_F(Anchors, CornersFallInTheCellsUnderTheRectangle) {
  const SheetGeometry geometry(*sheet, DefaultFont{});
  // Column A is 48 pt, B 105 pt; row 1 15 pt, row 2 30 pt, row 3 hidden, then 15 pt.
  const PictureAnchor anchor = anchorFor(geometry, 50, 18, 110, 30);
  EXPECT_EQ(anchor.from.column, 1u);
  EXPECT_EQ(anchor.from.columnOffset, 2 * kEmuPerPoint);
  EXPECT_EQ(anchor.from.row, 1u);
  EXPECT_EQ(anchor.from.rowOffset, 3 * kEmuPerPoint);
  EXPECT_EQ(anchor.to.column, 2u);  // 160 pt is 7 pt into C
  EXPECT_EQ(anchor.to.columnOffset, 7 * kEmuPerPoint);
  EXPECT_EQ(anchor.to.row, 3u);  // 48 pt: past row 2 (ends at 45), hidden row 3, into row 4
  EXPECT_EQ(anchor.to.rowOffset, 3 * kEmuPerPoint);
  EXPECT_EQ(anchor.width, 110 * kEmuPerPoint);
  EXPECT_EQ(anchor.x, 50 * kEmuPerPoint);
}

TEST(DrawingPart, AppendsAnchorsToAnExistingDrawingBeforeItsExtensions) {
  Drawing drawing("xl/drawings/drawing1.xml");
  drawing.load(
      R"(<xdr:wsDr xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing">)"
      R"(<xdr:oneCellAnchor><xdr:pic><xdr:nvPicPr><xdr:cNvPr id="7" name="x"/></xdr:nvPicPr></xdr:pic></xdr:oneCellAnchor>)"
      R"(<xdr:extLst><xdr:ext uri="u"/></xdr:extLst></xdr:wsDr>)");
  PictureAnchor anchor;
  anchor.to.column = 3;
  drawing.addPicture(anchor, "rId9", drawingNamespaces(false));
  const std::string saved = drawing.save();
  const std::size_t added = saved.find("<xdr:twoCellAnchor");
  ASSERT_NE(added, std::string::npos);
  EXPECT_LT(saved.find("oneCellAnchor"), added);
  EXPECT_LT(added, saved.find("<xdr:extLst>"));
  EXPECT_NE(saved.find(R"(<xdr:cNvPr id="8" name="Picture 7"/>)"), std::string::npos) << saved;
  EXPECT_NE(saved.find(R"(<a:blip r:embed="rId9"/>)"), std::string::npos);
  EXPECT_NE(saved.find(R"(editAs="oneCell")"), std::string::npos);
}

TEST(DrawingPart, StrictWorkbooksGetStrictNamespaces) {
  Drawing drawing("xl/drawings/drawing1.xml");
  drawing.create(drawingNamespaces(true));
  drawing.addPicture(PictureAnchor{}, "rId1", drawingNamespaces(true));
  const std::string saved = drawing.save();
  EXPECT_NE(saved.find("http://purl.oclc.org/ooxml/drawingml/spreadsheetDrawing"),
            std::string::npos);
  EXPECT_EQ(saved.find("schemas.openxmlformats.org"), std::string::npos) << saved;
}

}  // namespace
}  // namespace qx::testing
