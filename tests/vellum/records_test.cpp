// Decoding the host's records at their edges; every field's offset is checked through the
// runs, whose records are laid out independently of the decoders (host_records.cpp).

#include <gtest/gtest.h>

#include <string>

#include "tests/vellum/host_records.h"
#include "vellum/group_table_header.h"
#include "vellum/group_table_row.h"

namespace qx::vellum::test {
namespace {

platform::Bytes bytesOf(const HostBytes& record) {
  return platform::Bytes(record.data(), record.size());
}

TEST(GroupTableHeaderRecord, ATextFillingItsRoomStopsAtTheRoom) {
  HeaderRecord record;
  record.raw(header_fields::slot5_text, std::string(133, 'e'));  // slot 5, no NUL
  record.raw(header_fields::slot6_text, "next");                 // slot 6 right behind it
  record.text(header_fields::slot24_text, std::string(79, 'z'));
  const GroupTableHeader header = decodeHeader(bytesOf(record));
  EXPECT_EQ(header.slots[4].text, std::string(133, 'e'));
  EXPECT_EQ(header.slots[23].text, std::string(79, 'z'));
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
