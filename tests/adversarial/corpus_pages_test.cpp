// tamarack turning pages over the real-world workbooks of the corpus: chart sheets, hidden and
// very hidden sheets, Strict packages, many sheets or one. Whatever the workbook, the run saves
// without a word, or ends with exactly one message and leaves the file as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "platform/code_page.h"
#include "tests/adversarial/deliverables.h"
#include "tests/support/corpus.h"
#include "tests/support/record_bytes.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;
namespace header_fields = platform::records::result_header;
namespace row_fields = platform::records::result_row;

class CorpusPages : public ::testing::TestWithParam<std::string> {
 protected:
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }
};

TEST_P(CorpusPages, SaveOrTellOnce) {
  const HostSetting setting;
  const fs::path workbook = setting.copy(corpusFile(GetParam()), GetParam());
  const std::string before = fileBytes(workbook);
  ResultHost host;
  host.header.text(header_fields::workbook_path, hostText(workbook));
  host.header.slot(slots::kResult[0], platform::utf8ToGbk("标题"), 1, 1);
  host.header.text(header_fields::column_spec, "aen");
  host.bodyRows(2, 4);  // three rows a page
  host.header.int32(header_fields::border_weight, 2);
  host.pagination(true, true, true);
  for (int i = 0; i < 20; ++i) {
    RecordBytes& row = host.addRow();
    row.text(row_fields::field_a, std::to_string(i));
    row.text(row_fields::field_e, "2");
    row.text(row_fields::field_n, "0.5");
  }
  callTamarack(setting, host.transferRecord());

  const std::vector<std::string> messages = setting.messages();
  ASSERT_LE(messages.size(), 1u) << ::testing::PrintToString(messages);
  if (messages.empty()) {
    EXPECT_NE(fileBytes(workbook), before);
  } else {
    EXPECT_EQ(fileBytes(workbook), before) << messages[0];
  }
}

INSTANTIATE_TEST_SUITE_P(Workbooks, CorpusPages, ::testing::ValuesIn(corpusFiles(true)),
                         [](const auto& info) {
                           std::string name;
                           for (const char c : info.param) name += std::isalnum(c) ? c : '_';
                           return name;
                         });

}  // namespace
}  // namespace qx::testing
