#include "vellum/body_rows.h"

#include <cstdint>
#include <string>

#include "platform/code_page.h"
#include "platform/prefetch.h"
#include "report/number_text.h"
#include "vellum/column_letters.h"
#include "vellum/run_policy.h"
#include "vellum/time_text.h"

namespace qx::vellum {

namespace {
// The column spec holds at most 79 letters (80 bytes with its NUL).
constexpr std::size_t kColumnSpecLetters = 79;

class BodyWriter {
 public:
  BodyWriter(const GroupTableHeader& header, const BuildRules& rules, report::Table& table,
             platform::Messages& messages)
      : header_(header),
        rules_(rules),
        table_(table),
        messages_(messages),
        spec_(header.columnSpec.substr(0, kColumnSpecLetters)),
        totalColumn_(static_cast<int>(spec_.find('l') + 1)),  // npos + 1 is 0: no total
        row_(header.startRow) {}

  // Decodes each record as it is reached: the host's list is never copied. False when a time
  // text was refused (told to the user).
  bool write(const std::uint8_t* first) {
    for (const std::uint8_t* record = first; record != nullptr;) {
      platform::prefetchRecord(nextRowRecord(record), kRowRecordSize);
      if (!writeRecord(decodeRow(platform::Bytes(record, kRowRecordSize)))) return false;
      record = nextRowRecord(record);
      if (record == nullptr && totalDue() && !writeTotal()) return false;
    }
    return true;
  }

 private:
  bool totalDue() const { return state_.runningSum != 0 && totalColumn_ != 0; }

  bool writeRecord(const GroupTableRow& record) {
    ++state_.recordCounter;
    if (record.groupKey != state_.previousKey && !breakGroup(record.groupKey)) return false;
    int column = 1;
    for (const char letter : spec_) {
      const std::optional<ColumnCell> cell =
          columnCell(letter, record, header_, rules_, state_, messages_);
      if (state_.stopped) return false;
      if (!cell) continue;
      if (cell->writesText) writeCell(column, cell->text);
      frame(column);
      ++column;
    }
    ++row_;
    return true;
  }

  bool breakGroup(std::string_view key) {
    if (totalDue()) {
      if (!writeTotal()) return false;
      ++row_;
      state_.runningSum = 0;
    }
    if (rules_.groupHeadingRows) {
      writeCell(header_.groupColumn, key);
      state_.previousKey = key;
      ++row_;
    }
    return true;
  }

  bool writeTotal() {
    // A column spec that starts with l leaves no column for the label; the total is still
    // written.
    if (totalColumn_ > 1) {
      writeCell(totalColumn_ - 1, platform::utf8ToGbk(kTotalLabel));
      frame(totalColumn_ - 1);
    }
    const std::optional<std::string> total =
        header_.timeFormat ? minutesText(truncateToInt32(state_.runningSum), messages_)
                           : report::numberToText(state_.runningSum, 3, kRunPolicy.numberWorkArea);
    if (!total) return false;
    writeCell(totalColumn_, *total);
    frame(totalColumn_);
    return true;
  }

  // Rows run on from the host's start row in 64 bits; the table refuses those past 32 bits.
  void writeCell(int column, std::string_view text) { table_.write(row_, column, text); }

  void frame(int column) { table_.frame(column, row_, header_.borderWeight); }

  const GroupTableHeader& header_;
  const BuildRules& rules_;
  report::Table& table_;
  platform::Messages& messages_;
  std::string_view spec_;
  int totalColumn_;
  std::int64_t row_;
  BodyState state_;
};
}  // namespace

bool writeBody(const GroupTableHeader& header, const std::uint8_t* firstRecord,
               const BuildRules& rules, report::Table& table, platform::Messages& messages) {
  return BodyWriter(header, rules, table, messages).write(firstRecord);
}

}  // namespace qx::vellum
