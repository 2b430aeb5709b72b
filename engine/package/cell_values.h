#pragma once
// Values going into cells and the texts cells show, as the application handles them when a
// program assigns Range.Value and reads Range.Text.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/package/workbook.h"

namespace qx::engine {

// A value a program puts into a cell: nothing (the value is cleared), a text (UTF-8, borrowed
// for the call), a number or a boolean.
struct CellInput {
  enum class Kind : std::uint8_t { Empty, Text, Number, Boolean };
  Kind kind = Kind::Empty;
  std::string_view text;
  double number = 0;
  bool boolean = false;

  static CellInput empty() { return {}; }
  static CellInput ofText(std::string_view utf8) { return {Kind::Text, utf8}; }
  static CellInput ofNumber(double value) { return {Kind::Number, {}, value}; }
  static CellInput ofBoolean(bool value) { return {Kind::Boolean, {}, 0, value}; }
};

// Puts the value into the cell, keeping its style. Texts become numbers, times, booleans or
// error values when the application would take them so (not in cells formatted as text "@"),
// and a number typed with grouping, a percent sign or an exponent, or a time, gets the format
// the application gives it when the cell's format is General; a leading apostrophe marks a
// copy of the cell's format (quotePrefix) and stays out of the text. An empty text clears the
// value. A text of more than 32,767 UTF-16 units fails with EngineError: no cell holds it.
// A cell that another part describes too (a table's header or totals row, a pivot table) is
// written as putDescribedCell says.
void putCellValue(Workbook& workbook, Worksheet& sheet, std::uint32_t row, std::uint32_t column,
                  const CellInput& value);

// How a text goes into a cell: taken as the application takes a typed value, or as it is.
enum class TextEntry { Recognised, AsWritten };
// Puts the value into the cell as putCellValue does, whatever else describes the cell.
void storeCellValue(Workbook& workbook, Worksheet& sheet, std::uint32_t row, std::uint32_t column,
                    const CellInput& value, TextEntry entry);

// The text the cell shows (UTF-8); empty for an empty cell.
std::string cellText(Workbook& workbook, const Worksheet& sheet, std::uint32_t row,
                     std::uint32_t column);

}  // namespace qx::engine
