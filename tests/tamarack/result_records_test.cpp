#include "tamarack/result_records.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/record_bytes.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::tamarack;

namespace {

namespace header_fields = platform::records::result_header;
namespace row_fields = platform::records::result_row;

struct FieldSlot {
  char selector;
  platform::TextField field;
  std::size_t offset() const { return field.offset; }
  std::size_t room() const { return field.width; }
};

// The row record's fields by the selector the column spec names them with (where they lie is
// checked against the contract by the record layout test).
const FieldSlot kHostRowLayout[] = {
    {'a', row_fields::field_a},        {'b', row_fields::field_b},
    {'c', row_fields::field_c},        {'d', row_fields::field_d},
    {'e', row_fields::field_e},        {'f', row_fields::field_f},
    {'g', row_fields::field_g},        {'h', row_fields::field_h},
    {'i', row_fields::field_i},        {'j', row_fields::field_j},
    {'k', row_fields::field_k},        {'l', row_fields::field_l},
    {'m', row_fields::field_m},        {'n', row_fields::field_n},
    {'o', row_fields::field_o},        {'p', row_fields::field_p},
    {'q', row_fields::field_q},        {'r', row_fields::field_r},
    {'s', row_fields::field_s},        {'t', row_fields::field_t},
    {'u', row_fields::field_u},        {'v', row_fields::field_v},
    {'x', row_fields::field_x},        {'y', row_fields::field_y},
    {'2', row_fields::field_2},        {'3', row_fields::field_3},
    {'1', row_fields::field_1},        {'z', row_fields::field_z},
    {'4', row_fields::field_4},        {'5', row_fields::field_5},
    {'6', row_fields::field_6},        {'7', row_fields::picture_path},
    {'8', row_fields::field_8},        {'9', row_fields::field_9},
    {'0', row_fields::field_0},        {'<', row_fields::field_lt},
    {'[', row_fields::field_lbracket}, {'>', row_fields::field_gt},
    {')', row_fields::field_rparen},   {'&', row_fields::field_amp},
};

TEST(RowRecordFields, EverySelectorReadsItsSlotAndStopsAtItsRoom) {
  ResultHost host;
  RecordBytes& row = host.addRow();
  // Each slot filled to its last byte with no NUL: a field that ran past its room would run into
  // the next slot's bytes.
  for (const FieldSlot& slot : kHostRowLayout)
    std::memset(row.data() + slot.offset(), slot.selector, slot.room());
  const RowRecord record(reinterpret_cast<std::uintptr_t>(row.data()));
  for (const FieldSlot& slot : kHostRowLayout) {
    const std::optional<RowField> field = rowField(slot.selector);
    ASSERT_TRUE(field) << slot.selector;
    EXPECT_EQ(record.field(*field), std::string(slot.room(), slot.selector)) << slot.selector;
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
    ResultHost host;
    RecordBytes& row = host.addRow();
    row.text(kResultExtraColumns[0], c.marker);
    for (std::size_t k = 1; k < 8; ++k)
      row.text(kResultExtraColumns[k], std::string{'x', static_cast<char>('0' + k)});
    const RowRecord record(reinterpret_cast<std::uintptr_t>(row.data()));
    EXPECT_EQ(record.extraColumnsOn(), c.on) << c.marker;
    EXPECT_EQ(record.extraColumn(7), "x7");
  }
}

TEST(RowRecordChain, LinksFollowTheBuildsAddressWidth) {
  ResultHost host;
  RecordBytes& first = host.addRow();
  RecordBytes& second = host.addRow();
  EXPECT_EQ(RowRecord(reinterpret_cast<std::uintptr_t>(first.data())).nextAddress(),
            reinterpret_cast<std::uintptr_t>(second.data()));
  EXPECT_EQ(RowRecord(reinterpret_cast<std::uintptr_t>(second.data())).nextAddress(), 0u);
  EXPECT_EQ(row::fields::next.offset, row_fields::next.offset);
}

TEST(TransferRecordFile, ReadsBothAddressesFromTheFirst952Bytes) {
  ResultHost host;
  host.addRow();
  TempDir dir;
  struct Case {
    std::size_t size;
    bool read;
  };
  constexpr std::size_t kSize = platform::records::result_transfer::kSize;
  for (const Case& c : {Case{kSize - 1, false}, Case{kSize, true}, Case{kSize + 1, true},
                        Case{4000, true}, Case{0, false}}) {
    const auto path = dir.write("temp/pinebrook_temp.dat", host.transferRecord(c.size));
    DataFile file(path);
    ASSERT_TRUE(file.opened());
    const std::optional<TransferRecord> record = file.readTransferRecord();
    ASSERT_EQ(record.has_value(), c.read) << c.size;
    if (!record) continue;
    EXPECT_EQ(record->headerAddress, reinterpret_cast<std::uintptr_t>(host.header.data()));
    EXPECT_EQ(record->firstRowAddress, reinterpret_cast<std::uintptr_t>(host.rows[0].data()));
  }
  EXPECT_FALSE(DataFile(dir.path() / "none.dat").opened());
}

TEST(HeaderBlockFields, ReadInPlaceAndShiftedRowsWrittenBack) {
  ResultHost host;
  for (int n = 1; n <= 5; ++n)
    host.header.slot(slots::kResult[n - 1], std::string{'h', static_cast<char>('0' + n)}, 10 * n, n,
                     n != 3);
  host.header.text(header_fields::workbook_path, "C:\\t.xlsx");
  host.header.text(header_fields::column_spec, "aewb");
  host.bodyRows(5, 7);
  host.header.int32(header_fields::border_weight, -4138);
  host.pagination(true, false, true);
  host.addRow();
  HeaderBlock header(reinterpret_cast<std::uintptr_t>(host.header.data()));
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
  EXPECT_EQ(host.header.view().int32(header_fields::first_body_row), 6);
  EXPECT_EQ(host.header.view().int32(header_fields::last_body_row), 8);
  for (int n = 0; n < 5; ++n)
    EXPECT_EQ(host.header.view().int32(slots::kResult[n].row), 10 * (n + 1) + 1);
  EXPECT_EQ(host.header.view().int32(header_fields::text1_column), 1);  // columns stay
  EXPECT_EQ(header.firstBodyRow(), 6);
}

}  // namespace
}  // namespace qx::testing
