// Decoding the host's records: every field from its own offset.

#include <gtest/gtest.h>

#include <string>

#include "platform/messages.h"
#include "tests/vellum/host_records.h"
#include "vellum/group_table_header.h"
#include "vellum/group_table_row.h"

namespace qx::vellum::test {
namespace {

platform::Bytes bytesOf(const HostBytes& record) {
  return platform::Bytes(record.data(), record.size());
}

TEST(GroupTableHeaderRecord, SlotsComeOutInWritingOrderWithTheirOwnFields) {
  HeaderRecord record;
  for (int slot = 1; slot <= 24; ++slot) {
    record.slot(slot, slot % 3 != 0, 100 + slot, 200 + slot, platform::format("s%d", slot));
  }
  const GroupTableHeader header = decodeHeader(bytesOf(record));
  for (int i = 0; i < 24; ++i) {
    const HeaderSlot& slot = header.slots[static_cast<std::size_t>(i)];
    SCOPED_TRACE(slot.slot);
    EXPECT_EQ(slot.slot, i + 1);
    EXPECT_EQ(slot.shown, slot.slot % 3 != 0);
    EXPECT_EQ(slot.row, 100 + slot.slot);
    EXPECT_EQ(slot.column, 200 + slot.slot);
    EXPECT_EQ(slot.text, platform::format("s%d", slot.slot));
  }
}

TEST(GroupTableHeaderRecord, ScalarsTextsAndDoubles) {
  HeaderRecord record;
  record.picture(true, "B2", "D9");
  record.borderWeight(-4138);
  record.startRow(7);
  record.int32(300, 99);  // reserved, not read
  record.groupColumn(3);
  record.timeFormat(true);
  record.templatePath("/tmp/模板.xlsx");
  record.columnSpec("abl");
  record.referenceValue(100.5);
  record.eCorrection(-0.25);
  record.xCorrection(1e-3);
  record.yCorrection(-10000);
  const GroupTableHeader header = decodeHeader(bytesOf(record));
  EXPECT_TRUE(header.placePicture);
  EXPECT_EQ(header.pictureFirstCell, "B2");
  EXPECT_EQ(header.pictureLastCell, "D9");
  EXPECT_EQ(header.borderWeight, -4138);
  EXPECT_EQ(header.startRow, 7);
  EXPECT_EQ(header.groupColumn, 3);
  EXPECT_TRUE(header.timeFormat);
  EXPECT_EQ(header.templatePath, "/tmp/\xC4\xA3\xB0\xE5.xlsx");  // GBK as the host wrote it
  EXPECT_EQ(header.columnSpec, "abl");
  EXPECT_EQ(header.referenceValue, 100.5);
  EXPECT_EQ(header.eCorrection, -0.25);
  EXPECT_EQ(header.xCorrection, 1e-3);
  EXPECT_EQ(header.yCorrection, -10000);
}

TEST(GroupTableHeaderRecord, ATextFillingItsRoomStopsAtTheRoom) {
  HeaderRecord record;
  record.raw(984, std::string(133, 'e'));  // slot 5, no NUL
  record.raw(1117, "next");                // slot 6 right behind it
  record.text(3270, 80, std::string(79, 'z'));
  const GroupTableHeader header = decodeHeader(bytesOf(record));
  EXPECT_EQ(header.slots[4].text, std::string(133, 'e'));
  EXPECT_EQ(header.slots[23].text, std::string(79, 'z'));
}

TEST(GroupTableRowRecord, EveryFieldFromItsOffset) {
  RowRecord record;
  record.int32(0, 77);  // not read
  record.groupKey("组");
  record.text(84, 266, "b");
  record.text(350, 500, "5");
  record.text(850, 31, "c");
  record.text(881, 259, "g");
  record.int32(1140, -3);
  const double base = 0.5;
  for (std::size_t i = 0; i < 12; ++i) record.real(1144 + 8 * i, base + static_cast<double>(i));
  record.int32(1240, 11);
  record.int32(1244, -1);
  for (std::size_t i = 0; i < 4; ++i) record.real(1248 + 8 * i, 20.25 + static_cast<double>(i));
  record.text(1280, 256, "w");
  record.text(1536, 256, "6");
  record.text(1792, 512, "7");
  record.text(2304, 260, "q");
  record.text(2564, 81, "2");
  record.text(2645, 1000, "3");
  record.text(3645, 267, "4");
  const GroupTableRow row = decodeRow(bytesOf(record));
  EXPECT_EQ(row.groupKey, "\xD7\xE9");
  EXPECT_EQ(std::string(row.textB) + std::string(row.text5) + std::string(row.textC) +
                std::string(row.textG),
            "b5cg");
  EXPECT_EQ(row.numberD, -3);
  const double doubles[] = {row.valueS1, row.valueS2, row.valueF, row.valueT,
                            row.valueN,  row.valueM,  row.valueP, row.valueO,
                            row.valueH,  row.valueI,  row.level,  row.minutes};
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(doubles[i], base + static_cast<double>(i)) << i;
  EXPECT_EQ(row.numberZ, 11);
  EXPECT_EQ(row.yesFlag, -1);
  EXPECT_EQ(row.valueU, 20.25);
  EXPECT_EQ(row.valueV, 21.25);
  EXPECT_EQ(row.valueY, 22.25);
  EXPECT_EQ(row.valueX2, 23.25);
  const std::string texts = std::string(row.textW) + std::string(row.text6) +
                            std::string(row.text7) + std::string(row.textQ) +
                            std::string(row.text2) + std::string(row.text3) +
                            std::string(row.text4);
  EXPECT_EQ(texts, "w67q234");
}

TEST(GroupTableRowRecord, TheListFollowsTheLinkAtItsEnd) {
  RowList list;
  for (const char* key : {"one", "two", "three"}) list.add().groupKey(key);
  const std::vector<GroupTableRow> rows = decodeRowList(list.first());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].groupKey, "one");
  EXPECT_EQ(rows[2].groupKey, "three");
  EXPECT_TRUE(decodeRowList(nullptr).empty());
}

}  // namespace
}  // namespace qx::vellum::test
