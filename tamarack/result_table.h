#pragma once
// Fills the result table: header texts, one framed row per record of the host's chain, pages
// over successive worksheets with page subtotals, and the grand-total row.

#include <cstdint>
#include <string>

#include "report/table.h"
#include "tamarack/result_records.h"
#include "tamarack/summed_columns.h"

namespace qx::tamarack {

// The two labels from the language file, in code page 936.
struct TotalLabels {
  std::string subtotal;
  std::string total;
};

class ResultTable {
 public:
  // `shifted`: the template's first body row was taken, so frames and pictures stand one row
  // above the written row.
  ResultTable(report::Table& table, HeaderBlock header, bool shifted, const TotalLabels& labels);

  // Writes every record of the chain. Returns false when a page is full and the workbook has
  // no further worksheet; the rows written so far stay.
  bool writeRows(std::uintptr_t firstRowAddress);

  // The grand-total row below the last row used, for every summed column that occurred.
  void writeGrandTotals();

 private:
  bool turnPage();
  void writeHeaderTexts();
  void writeColumns(const RowRecord& record);
  void writeExtraColumns(const RowRecord& record, int& column);
  bool writeSubtotals(int recordIndex);
  // Rows are counted in 64 bits from the host's 32-bit ones, so no row from the host can
  // overflow; the table refuses a row past the 32-bit range like any bad index.
  void writeCell(std::int64_t row, int column, std::string_view text);
  void frame(int column, std::int64_t addressRow);
  std::int64_t addressRow() const { return shifted_ ? currentRow_ - 1 : currentRow_; }

  report::Table& table_;
  HeaderBlock header_;
  bool shifted_;
  const TotalLabels& labels_;

  std::string columnSpec_;
  std::int64_t currentRow_ = 0;
  bool pageFilled_ = false;
  SummedColumns sums_;
};

}  // namespace qx::tamarack
