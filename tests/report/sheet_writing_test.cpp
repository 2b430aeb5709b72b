#include "report/sheet_writing.h"

#include <gtest/gtest.h>

#include "automation/operations.h"
#include "report/workbook_session.h"
#include "tests/support/captured_messages.h"
#include "tests/support/recording_server.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::report;

using namespace automation;
namespace {

class SheetWriting : public ::testing::Test {
 protected:
  void open() {
    server.registerAs("Excel.Application");
    ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
    openTemplate(session, "t.xlsx");
  }
  RecordingServer server;
  WorkbookSession session;
  FramedCell framed;
  WrittenCell written;
  CapturedMessages messages;
  TempDir dir;
};

TEST_F(SheetWriting, OpenTemplatePassesReadOnlyZeroAndTwelveMissing) {
  open();
  const auto& arguments = server.openArguments();
  ASSERT_EQ(arguments.size(), 15u);
  EXPECT_EQ(server.openedFilename(), u"t.xlsx");
  EXPECT_TRUE(arguments[1].isMissing());
  EXPECT_EQ(arguments[2].type(), VarType::I2);
  EXPECT_EQ(arguments[2].smallIntegerValue(), 0);
  for (std::size_t i = 3; i < 15; ++i) EXPECT_TRUE(arguments[i].isMissing()) << i;
  EXPECT_TRUE(server.visible());
}

TEST_F(SheetWriting, WritesAndFramesMeetOnlyWhenTheUsedRangeStartsAtA1) {
  server.setUsedRangeOrigin(1, 3, 2);
  open();
  writeCell(session.usedRange, 1, 1, "x");
  frameCell(session.sheet, 1, 1, 2, framed);
  EXPECT_EQ(server.cellUtf8(1, 3, 2), "x");  // counted from C... B3
  ASSERT_EQ(server.frames().size(), 1u);
  EXPECT_EQ(server.frames()[0].address, "A1");  // absolute
}

// Cells written through the run's room receive the arguments a cell written on its own
// receives, whatever the texts before them left in the room.
TEST_F(SheetWriting, TextsWrittenThroughTheRoomMatchTextsWrittenAlone) {
  open();
  const std::string texts[] = {
      "\xB2\xE2\xB5\xE3 a text longer than the short-string room 12-3",  // 测点 ...
      "x",
      "",
      "\xB2\xE2\xB5\xE3",
      "\xD6\xD0\xD6",
      "z\xFF\xFFz",
      "\x81\x40 1"};
  int row = 1;
  for (const std::string& text : texts) {
    writeCell(session.usedRange, row, 1, text);
    writeCell(session.usedRange, row, 2, text, written);
    const auto& calls = server.calls();
    const Call& alone = calls[calls.size() - 2];
    const Call& room = calls.back();
    EXPECT_EQ(room.operation(), "Range.Item");
    ASSERT_EQ(room.arguments.size(), 3u);
    EXPECT_EQ(room.arguments[0], Variant::integer(row));
    EXPECT_EQ(room.arguments[1], Variant::integer(2));
    EXPECT_EQ(room.arguments[2], alone.arguments[2]) << row;
    EXPECT_EQ(server.cellUtf8(1, row, 2), server.cellUtf8(1, row, 1)) << row;
    ++row;
  }
  EXPECT_EQ(server.cellUtf8(1, 4, 2), "\xE6\xB5\x8B\xE7\x82\xB9");  // 测点
}

TEST_F(SheetWriting, ReadCellTextIsEmptyForAnEmptyCellAndReleasesTheCell) {
  server.setCellUtf8(1, 5, 1, " ");
  open();
  const int before = server.outstandingReferences();
  EXPECT_EQ(readCellText(session.usedRange, 4, 1), "");
  EXPECT_EQ(readCellText(session.usedRange, 5, 1), " ");
  EXPECT_EQ(server.outstandingReferences(), before);
}

TEST_F(SheetWriting, FrameArgumentsAndWeightWidening) {
  open();
  struct Case {
    std::int32_t weight, sent;
  };
  const Case cases[] = {{2, 2}, {-4138, -4138}, {4, 4}, {65538, 2}, {-1, -1}, {0x18000, -32768}};
  for (const Case& c : cases) {
    const int added = server.referencesAdded(), held = server.outstandingReferences();
    frameCell(session.sheet, 27, 5, c.weight, framed);
    // The border is drawn through a copy of the held range, released once it is drawn: one
    // AddRef, and no more references held than the range itself (the previous one let go).
    EXPECT_EQ(server.referencesAdded(), added + 1) << c.weight;
    EXPECT_EQ(server.outstandingReferences(), held + (&c == cases ? 1 : 0)) << c.weight;
    const Frame& frame = server.frames().back();
    EXPECT_EQ(frame.address, "AA5");
    EXPECT_EQ(frame.lineStyle.type(), VarType::I2);
    EXPECT_EQ(frame.lineStyle.smallIntegerValue(), 1);
    EXPECT_EQ(frame.weight.integerValue(), c.sent) << c.weight;
    EXPECT_EQ(frame.colorIndex.integerValue(), 1);
    EXPECT_EQ(frame.color.unsignedValue(), 0u);
  }
  // The range of the last frame is held by the caller alone.
  const int held = server.outstandingReferences();
  framed.release();
  EXPECT_EQ(server.outstandingReferences(), held - 1);
}

TEST_F(SheetWriting, PictureGeometryIsCutToWholePointsOrKeptAsSingles) {
  server.setGeometry(10.7, 15);
  open();
  const auto picture = dir.write("p.bmp", "BM");
  AutomationObject sheet = session.sheet.copy();
  ASSERT_TRUE(placePicture(std::move(sheet), "B2", "C3", picture.string(),
                           PictureStyle::WholePoints, messages));
  ASSERT_TRUE(placePicture(session.sheet.copy(), "B2", "C3", picture.string(),
                           PictureStyle::NearestSingle, messages));
  ASSERT_EQ(server.pictures().size(), 2u);
  const Picture& whole = server.pictures()[0];
  EXPECT_EQ(whole.left.singleValue(), 12.0f);   // 10.7 + 2 cut
  EXPECT_EQ(whole.top.singleValue(), 18.0f);    // 15 + 3
  EXPECT_EQ(whole.width.singleValue(), 17.0f);  // 21.4 - 4 cut
  EXPECT_EQ(whole.height.singleValue(), 26.0f);
  const Picture& nearest = server.pictures()[1];
  EXPECT_EQ(nearest.left.singleValue(), static_cast<float>(10.7 + 2));
  EXPECT_EQ(nearest.width.singleValue(), static_cast<float>(21.4 - 4));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SheetWriting, MissingPictureShowsTheMessageUnlessSilent) {
  open();
  const int before = server.outstandingReferences();
  const std::string missing = (dir.path() / "none.bmp").string();
  EXPECT_FALSE(placePicture(session.sheet.copy(), "A1", "B2", missing, PictureStyle::NearestSingle,
                            messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "没有产生图片文件, 将不可以帖图!");
  EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
  EXPECT_FALSE(placePicture(session.sheet.copy(), "A1", "B2", missing,
                            PictureStyle::NearestSingleSilent, messages));
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(server.outstandingReferences(), before);  // the sheet copies were released
  EXPECT_TRUE(server.pictures().empty());
}

TEST_F(SheetWriting, SessionReleaseLeavesNoReference) {
  open();
  frameCell(session.sheet, 1, 1, 2, framed);
  frameCell(session.sheet, 2, 1, 2, framed);
  framed.release();
  session.release();
  EXPECT_EQ(server.outstandingReferences(), 0);
  // Every reference, the server's own and each AddRef, was released exactly once.
  EXPECT_EQ(server.referencesReleased(), server.objectsCreated() + server.referencesAdded());
}

}  // namespace
}  // namespace qx::testing
