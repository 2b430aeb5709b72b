// tamarack turning pages over the real-world workbooks of the corpus: chart sheets, hidden and
// very hidden sheets, Strict packages, many sheets or one. Whatever the workbook, the run saves
// without a word, or ends with exactly one message and leaves the file as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "platform/code_page.h"
#include "tests/adversarial/deliverables.h"
#include "tests/support/corpus.h"
#include "tests/tamarack/host_records.h"

namespace qx::adversarial {
namespace {

namespace fs = std::filesystem;
using tamarack::testing::HostRecords;
using tamarack::testing::putText;
namespace row_fields = tamarack::testing::row_fields;

class CorpusPages : public ::testing::TestWithParam<std::string> {
 protected:
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }
};

TEST_P(CorpusPages, SaveOrTellOnce) {
  const HostSetting setting;
  const fs::path workbook = setting.copy(corpusFile(GetParam()), GetParam());
  const std::string before = fileBytes(workbook);
  HostRecords host;
  host.setWorkbookPath(hostText(workbook));
  host.setHeaderSlot(1, platform::utf8ToGbk("标题"), 1, 1);
  host.setColumnSpec("aen");
  host.setBodyRows(2, 4);  // three rows a page
  host.setBorderWeight(2);
  host.setPagination(true, true, true);
  for (int i = 0; i < 20; ++i) {
    std::uint8_t* row = host.addRow();
    putText(row, row_fields::field_a, std::to_string(i));
    putText(row, row_fields::field_e, "2");
    putText(row, row_fields::field_n, "0.5");
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

INSTANTIATE_TEST_SUITE_P(Workbooks, CorpusPages,
                         ::testing::ValuesIn(::qx::testing::corpusFiles(true)),
                         [](const auto& info) {
                           std::string name;
                           for (const char c : info.param) name += std::isalnum(c) ? c : '_';
                           return name;
                         });

}  // namespace
}  // namespace qx::adversarial
