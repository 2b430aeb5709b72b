#include "tamarack/result_table.h"

#include "platform/prefetch.h"

namespace qx::tamarack {

ResultTable::ResultTable(report::Table& table, HeaderBlock header, bool shifted,
                         const TotalLabels& labels)
    : table_(table), header_(header), shifted_(shifted), labels_(labels) {}

void ResultTable::writeCell(std::int64_t row, int column, std::string_view text) {
  table_.write(row, column, text);
}

void ResultTable::frame(int column, std::int64_t addressRow) {
  table_.frame(column, addressRow, header_.borderWeight());
}

bool ResultTable::writeRows(std::uintptr_t firstRowAddress) {
  columnSpec_ = header_.columnSpec();
  currentRow_ = header_.firstBodyRow();
  bool headerDue = false;
  int recordIndex = -1;
  for (std::uintptr_t address = firstRowAddress; address != 0;) {
    const RowRecord record(address);
    platform::prefetchRecord(reinterpret_cast<const void*>(record.nextAddress()), row::kSize);
    ++recordIndex;
    if (header_.paginated() && currentRow_ > header_.lastBodyRow()) {
      if (!turnPage()) return false;
      headerDue = true;
    }
    if (recordIndex == 0 || headerDue) writeHeaderTexts();
    headerDue = false;
    sums_.add(record);
    writeColumns(record);
    const bool subtotalWritten = header_.paginated() && writeSubtotals(recordIndex);
    currentRow_ += subtotalWritten ? 2 : 1;
    address = record.nextAddress();
  }
  return true;
}

// The next worksheet, not activated, with its own used range; a fresh page on it.
bool ResultTable::turnPage() {
  currentRow_ = header_.firstBodyRow();
  sums_.clearPage();
  return table_.nextSheet();
}

void ResultTable::writeHeaderTexts() {
  for (std::size_t n = 0; n < header::kTextCount; ++n) {
    if (header_.textEnabled(n))
      writeCell(header_.textRow(n), header_.textColumn(n), header_.text(n));
  }
}

void ResultTable::writeColumns(const RowRecord& record) {
  int column = 1;
  for (const char selector : columnSpec_) {
    const std::optional<RowField> field = rowField(selector);
    if (!field && selector != kEmptyCellSelector) continue;  // names nothing, takes no column
    sums_.noteColumn(selector, column);
    if (selector == kPictureSelector) {
      table_.placePicture(column, addressRow(), record.picturePath());
    } else if (field) {
      writeCell(currentRow_, column, record.field(*field));
    }
    frame(column, addressRow());
    ++column;
  }
  if (record.extraColumnsOn()) writeExtraColumns(record, column);
}

void ResultTable::writeExtraColumns(const RowRecord& record, int& column) {
  for (std::size_t k = 0; k < row::kExtraColumnCount; ++k) {
    const bool masked = k < columnSpec_.size() && columnSpec_[k] == kEmptyCellSelector;
    if (!masked) writeCell(currentRow_, column, record.extraColumn(k));
    frame(column, addressRow());
    ++column;
  }
}

// Subtotals of the page that this record closes; true when any subtotal cell was written.
bool ResultTable::writeSubtotals(int recordIndex) {
  // Compared in 64 bits so that no row or count from the host can overflow.
  const bool onLastBodyRow = currentRow_ > std::int64_t{header_.lastBodyRow()} - 1;
  if (onLastBodyRow) pageFilled_ = true;
  const bool closesPage = onLastBodyRow || recordIndex == std::int64_t{header_.recordCount()} - 1;
  if (!closesPage || !pageFilled_) return false;
  bool written = false;
  for (const SummedColumn& sum : sums_.columns()) {
    if (sum.column == 0 ||
        !sum.subtotalAllowed(header_.subtotalSwitchA(), header_.subtotalSwitchB())) {
      continue;
    }
    // A summed column directly right of another overwrites that one's subtotal with its label.
    if (sum.column - 1 >= 1) {
      writeCell(currentRow_ + 1, sum.column - 1, labels_.subtotal);
      frame(sum.column - 1, addressRow() + 1);
    }
    writeCell(currentRow_ + 1, sum.column, sum.pageText());
    frame(sum.column, addressRow() + 1);
    written = true;
  }
  return written;
}

void ResultTable::writeGrandTotals() {
  for (const SummedColumn& sum : sums_.columns()) {
    if (sum.column == 0) continue;
    if (sum.column - 1 >= 1) {
      writeCell(currentRow_, sum.column - 1, labels_.total);
      frame(sum.column - 1, addressRow());
    }
    writeCell(currentRow_, sum.column, sum.grandText());
    frame(sum.column, addressRow());
  }
}

}  // namespace qx::tamarack
