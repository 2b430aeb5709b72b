#include "tamarack/result_records.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"
#include "tests/tamarack/host_records.h"

namespace qx::tamarack {
namespace {

using testing::HostRecords;

struct FieldSlot {
  char selector;
  std::size_t offset, room;
};

// The row record as the host lays it out.
const FieldSlot kHostRowLayout[] = {
    {'a', 0, 50},     {'b', 50, 50},    {'c', 100, 50},   {'d', 150, 50},   {'e', 200, 50},
    {'f', 250, 50},   {'g', 300, 50},   {'h', 350, 50},   {'i', 400, 50},   {'j', 450, 54},
    {'k', 504, 50},   {'l', 554, 512},  {'m', 1066, 512}, {'n', 1578, 50},  {'o', 1628, 50},
    {'p', 1678, 50},  {'q', 1728, 50},  {'r', 1778, 50},  {'s', 1828, 50},  {'t', 1878, 50},
    {'u', 1928, 50},  {'v', 1978, 50},  {'x', 2028, 50},  {'y', 2078, 50},  {'2', 2128, 256},
    {'3', 2384, 256}, {'1', 2640, 80},  {'z', 2720, 80},  {'4', 2800, 80},  {'5', 2880, 80},
    {'6', 2960, 80},  {'7', 3040, 256}, {'8', 3296, 80},  {'9', 3376, 80},  {'0', 3456, 80},
    {'<', 3536, 30},  {'[', 3566, 30},  {'>', 3596, 286}, {')', 3882, 256}, {'&', 4138, 256},
};

TEST(RowRecordFields, EverySelectorReadsItsSlotAndStopsAtItsRoom) {
  HostRecords host;
  std::uint8_t* row = host.addRow();
  // Each slot filled to its last byte with no NUL: a field that ran past its room would run into
  // the next slot's bytes.
  for (const FieldSlot& slot : kHostRowLayout)
    std::memset(row + slot.offset, slot.selector, slot.room);
  const RowRecord record(reinterpret_cast<std::uintptr_t>(row));
  for (const FieldSlot& slot : kHostRowLayout) {
    const std::optional<RowField> field = rowField(slot.selector);
    ASSERT_TRUE(field) << slot.selector;
    EXPECT_EQ(record.field(*field), std::string(slot.room, slot.selector)) << slot.selector;
  }
  EXPECT_EQ(record.picturePath(), std::string(256, '7'));
}

TEST(RowRecordFields, OnlyTheFortyFieldSelectorsNameAField) {
  int named = 0;
  for (int c = 1; c < 256; ++c) named += rowField(static_cast<char>(c)).has_value();
  EXPECT_EQ(named, 40);
  EXPECT_FALSE(rowField('w'));
  EXPECT_FALSE(rowField('-'));
  EXPECT_FALSE(rowField('A'));
}

TEST(RowRecordFields, ExtraColumnsNeedExactlyYes) {
  struct Case {
    const char* marker;
    bool on;
  };
  const Case cases[] = {{"\xCA\xC7", true},   {"\xCA\xC7 ", false}, {"\xCA\xC7\xB7\xF1", false},
                        {" \xCA\xC7", false}, {"", false},          {"yes", false}};
  for (const Case& c : cases) {
    HostRecords host;
    std::uint8_t* row = host.addRow();
    testing::putText(row, 4394, c.marker);
    for (std::size_t k = 1; k < 8; ++k)
      testing::putText(row, 4394 + 80 * k, std::string{'x', static_cast<char>('0' + k)});
    const RowRecord record(reinterpret_cast<std::uintptr_t>(row));
    EXPECT_EQ(record.extraColumnsOn(), c.on) << c.marker;
    EXPECT_EQ(record.extraColumn(7), "x7");
  }
}

TEST(RowRecordChain, LinksFollowTheBuildsAddressWidth) {
  HostRecords host;
  std::uint8_t* first = host.addRow();
  std::uint8_t* second = host.addRow();
  EXPECT_EQ(RowRecord(reinterpret_cast<std::uintptr_t>(first)).nextAddress(),
            reinterpret_cast<std::uintptr_t>(second));
  EXPECT_EQ(RowRecord(reinterpret_cast<std::uintptr_t>(second)).nextAddress(), 0u);
  EXPECT_EQ(row::kNextAddress, testing::kHostNextOffset);
}

TEST(TransferRecordFile, ReadsBothAddressesFromTheFirst952Bytes) {
  HostRecords host;
  host.addRow();
  qx::testing::TempDir dir;
  struct Case {
    std::size_t size;
    bool read;
  };
  for (const Case& c :
       {Case{951, false}, Case{952, true}, Case{953, true}, Case{4000, true}, Case{0, false}}) {
    const auto path = dir.write("temp/pinebrook_temp.dat", host.transferRecord(c.size));
    DataFile file(path);
    ASSERT_TRUE(file.opened());
    const std::optional<TransferRecord> record = file.readTransferRecord();
    ASSERT_EQ(record.has_value(), c.read) << c.size;
    if (!record) continue;
    EXPECT_EQ(record->headerAddress, reinterpret_cast<std::uintptr_t>(host.header()));
    EXPECT_EQ(record->firstRowAddress, reinterpret_cast<std::uintptr_t>(host.row(0)));
  }
  EXPECT_FALSE(DataFile(dir.path() / "none.dat").opened());
}

TEST(HeaderBlockFields, ReadInPlaceAndShiftedRowsWrittenBack) {
  HostRecords host;
  for (int n = 1; n <= 5; ++n)
    host.setHeaderSlot(n, std::string{'h', static_cast<char>('0' + n)}, 10 * n, n, n != 3);
  host.setWorkbookPath("C:\\t.xlsx");
  host.setColumnSpec("aewb");
  host.setBodyRows(5, 7);
  host.setBorderWeight(-4138);
  host.setPagination(true, false, true);
  host.addRow();
  HeaderBlock header(reinterpret_cast<std::uintptr_t>(host.header()));
  EXPECT_EQ(header.text(4), "h5");
  EXPECT_FALSE(header.textEnabled(2));
  EXPECT_TRUE(header.textEnabled(3));
  EXPECT_EQ(header.textRow(1), 20);
  EXPECT_EQ(header.textColumn(4), 5);
  EXPECT_EQ(header.workbookPath(), "C:\\t.xlsx");
  EXPECT_EQ(header.columnSpec(), "aewb");
  EXPECT_EQ(header.borderWeight(), -4138);
  EXPECT_EQ(header.recordCount(), 1);
  EXPECT_TRUE(header.paginated());
  EXPECT_FALSE(header.subtotalSwitchA());
  EXPECT_TRUE(header.subtotalSwitchB());

  header.shiftBodyRows();
  header.shiftHeaderRows();
  EXPECT_EQ(host.headerInt(924), 6);
  EXPECT_EQ(host.headerInt(928), 8);
  for (int n = 0; n < 5; ++n) EXPECT_EQ(host.headerInt(256 + 12 * n), 10 * (n + 1) + 1);
  EXPECT_EQ(host.headerInt(260), 1);  // columns stay
  EXPECT_EQ(header.firstBodyRow(), 6);
}

}  // namespace
}  // namespace qx::tamarack
