// Decoding the host's records at their edges; every field's offset is checked through the
// runs, whose records are laid out independently of the decoders (tests/support/record_bytes.h).

#include <gtest/gtest.h>

#include <string>

#include "tests/support/record_bytes.h"
#include "vellum/group_table_header.h"
#include "vellum/group_table_row.h"

namespace qx::testing {

using namespace qx::vellum;

namespace header_fields = platform::records::group_table_header;
namespace row_fields = platform::records::group_table_row;
namespace {

platform::Bytes bytesOf(const RecordBytes& record) {
  return platform::Bytes(record.data(), record.size());
}

TEST(GroupTableHeaderRecord, ATextFillingItsRoomStopsAtTheRoom) {
  RecordBytes record{header_fields::kSize};
  record.raw(header_fields::slot5_text, std::string(133, 'e'));  // slot 5, no NUL
  record.raw(header_fields::slot6_text, "next");                 // slot 6 right behind it
  record.utf8Text(header_fields::slot24_text, std::string(79, 'z'));
  const GroupTableHeader header = decodeHeader(bytesOf(record));
  EXPECT_EQ(header.slots[4].text, std::string(133, 'e'));
  EXPECT_EQ(header.slots[23].text, std::string(79, 'z'));
}

TEST(GroupTableRowRecord, TheListFollowsTheLinkAtItsEnd) {
  RecordList list{row_fields::kSize, row_fields::next};
  for (const char* key : {"one", "two", "three"}) list.add().utf8Text(row_fields::group_key, key);
  const std::vector<GroupTableRow> rows = decodeRowList(list.first());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].groupKey, "one");
  EXPECT_EQ(rows[2].groupKey, "three");
  EXPECT_TRUE(decodeRowList(nullptr).empty());
}

}  // namespace
}  // namespace qx::testing
