#include "vellum/body_rows.h"

#include <cstdint>
#include <string>

#include "automation/dispatch.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "report/number_text.h"
#include "report/sheet_row.h"
#include "report/sheet_writing.h"
#include "vellum/column_letters.h"
#include "vellum/run_policy.h"
#include "vellum/time_text.h"

namespace qx::vellum {

namespace {
// The column spec holds at most 79 letters (80 bytes with its NUL).
constexpr std::size_t kColumnSpecLetters = 79;

class BodyWriter {
 public:
  BodyWriter(const GroupTableHeader& header, const BuildRules& rules,
             report::WorkbookSession& session, platform::Messages& messages)
      : header_(header),
        rules_(rules),
        session_(session),
        messages_(messages),
        spec_(header.columnSpec.substr(0, kColumnSpecLetters)),
        totalColumn_(static_cast<int>(spec_.find('l') + 1)),  // npos + 1 is 0: no total
        row_(header.startRow) {}

  // Decodes each record as it is reached: the host's list is never copied.
  void write(const std::uint8_t* first) {
    for (const std::uint8_t* record = first; record != nullptr;) {
      writeRecord(decodeRow(platform::Bytes(record, kRowRecordSize)));
      record = nextRowRecord(record);
      if (record == nullptr && totalDue()) writeTotal();
    }
  }

 private:
  bool totalDue() const { return state_.runningSum != 0 && totalColumn_ != 0; }

  void writeRecord(const GroupTableRow& record) {
    ++state_.recordCounter;
    if (record.groupKey != state_.previousKey) breakGroup(record.groupKey);
    int column = 1;
    for (const char letter : spec_) {
      const std::optional<ColumnCell> cell =
          columnCell(letter, record, header_, rules_, state_, messages_);
      if (!cell) continue;
      if (cell->writesText) writeCell(column, cell->text);
      frame(column);
      ++column;
    }
    ++row_;
  }

  void breakGroup(std::string_view key) {
    if (totalDue()) {
      writeTotal();
      ++row_;
      state_.runningSum = 0;
    }
    if (rules_.groupHeadingRows) {
      writeCell(header_.groupColumn, key);
      state_.previousKey = key;
      ++row_;
    }
  }

  void writeTotal() {
    // A column spec that starts with l leaves no column for the label; the total is still
    // written.
    if (totalColumn_ > 1) {
      writeCell(totalColumn_ - 1, platform::utf8ToGbk(kTotalLabel));
      frame(totalColumn_ - 1);
    }
    const std::string total =
        header_.timeFormat ? minutesText(truncateToInt32(state_.runningSum), messages_)
                           : report::numberToText(state_.runningSum, 3, kRunPolicy.numberWorkArea);
    writeCell(totalColumn_, total);
    frame(totalColumn_);
  }

  // Rows run on from the host's start row in 64 bits.
  int sheetRow(const automation::Operation& operation) const {
    return report::sheetRow(row_, operation, kRunPolicy);
  }

  void writeCell(int column, std::string_view text) {
    report::writeCell(session_.usedRange, sheetRow(automation::op::kRangeItemPut), column, text,
                      session_.writtenCell);
  }

  void frame(int column) {
    report::frameCell(session_.sheet, column, sheetRow(automation::op::kWorksheetRange),
                      header_.borderWeight, session_.framedCell);
  }

  const GroupTableHeader& header_;
  const BuildRules& rules_;
  report::WorkbookSession& session_;
  platform::Messages& messages_;
  std::string_view spec_;
  int totalColumn_;
  std::int64_t row_;
  BodyState state_;
};
}  // namespace

void writeBody(const GroupTableHeader& header, const std::uint8_t* firstRecord,
               const BuildRules& rules, report::WorkbookSession& session,
               platform::Messages& messages) {
  BodyWriter(header, rules, session, messages).write(firstRecord);
}

}  // namespace qx::vellum
