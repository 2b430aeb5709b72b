#include "heron/body_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "tests/heron/open_files.h"
#include "tests/support/record_bytes.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::heron;

namespace {

namespace header_fields = platform::records::check_point_header;

// "<prefix><i>", built without operator+ (GCC 12 warns falsely on it at -O3).
std::string numbered(const char* prefix, int i) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%d", prefix, i);
  return text;
}

// A data file of `records` records, the last one cut short when `cutAt` names it; field a of
// record i is "r<i>", b its GBK text, c and d fixed.
std::string dataFile(int records, std::optional<int> cutAt) {
  std::vector<std::string> rows;
  for (int i = 0; i < records; ++i) {
    std::string row = checkPointRow(numbered("r", i), numbered("\xB2\xE2", i), "c", "d");
    if (cutAt == i) row.resize(row.size() - 1);
    rows.push_back(row);
    if (cutAt == i) break;
  }
  return checkPointFile(RecordBytes{header_fields::kSize}, rows);
}

// Around the batch the reading thread hands over: none, one, a batch, one past it, several.
TEST(BodyReader, GivesEveryRecordInOrderAndEndsAtTheShortOneAheadOrNot) {
  struct Case {
    int count;                 // records the header announces
    std::optional<int> cutAt;  // the record the file ends inside
  };
  const Case cases[] = {{0, {}},     {1, {}},     {1, 0},     {256, {}}, {256, 255},
                        {257, {}},   {257, 256},  {1000, {}}, {1000, 0}, {1000, 511},
                        {1000, 512}, {1000, 999}, {1030, 700}};
  for (const bool ahead : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "ahead " << ahead << ", " << c.count
                                        << " records, cut at " << c.cutAt.value_or(-1));
      TempDir dir;
      const auto path = dir.write("data.dat", dataFile(c.count, c.cutAt));
      std::optional<CheckPointFile> file = CheckPointFile::open(path);
      ASSERT_TRUE(file);
      CheckPointHeader header;
      ASSERT_EQ(file->readHeader(header), ReadResult::Complete);
      BodyReader reader(*file, c.count, "wab", ahead);
      const int complete = c.cutAt.value_or(c.count);
      for (int i = 0; i < complete; ++i) {
        const BodyRecord* record = reader.next();
        ASSERT_NE(record, nullptr) << i;
        EXPECT_EQ(record->fields[0], platform::utf8ToUtf16(numbered("r", i)));
        EXPECT_EQ(record->fields[1], platform::utf8ToUtf16(numbered("测", i)));
        EXPECT_TRUE(record->fields[2].empty());  // c and d are not in the spec
        EXPECT_TRUE(record->fields[3].empty());
      }
      EXPECT_EQ(reader.next(), nullptr);
      EXPECT_EQ(reader.next(), nullptr);  // and stays ended
    }
  }
}

// A fill that ends early (a failed call) leaves the reader mid-file: destroying it stops the
// thread, and the file can be closed after it.
TEST(BodyReader, StopsMidFileWhenTheFillEndsEarly) {
  TempDir dir;
  const auto path = dir.write("data.dat", dataFile(5000, {}));
  std::optional<CheckPointFile> file = CheckPointFile::open(path);
  ASSERT_TRUE(file);
  CheckPointHeader header;
  ASSERT_EQ(file->readHeader(header), ReadResult::Complete);
  {
    BodyReader reader(*file, 5000, "a", true);
    for (int i = 0; i < 300; ++i) ASSERT_NE(reader.next(), nullptr);
  }
  file->close();
  EXPECT_FALSE(openedByThisProcess(path));
}

}  // namespace
}  // namespace qx::testing
