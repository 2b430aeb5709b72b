#pragma once
// One worksheet part: its cells, the column and row sizes it declares, its drawing reference,
// and writing it back with everything the engine does not model kept as it was.

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

#include "engine/package/cell_reference.h"
#include "engine/package/cell_store.h"
#include "engine/package/chunk_source.h"
#include "engine/package/sheet_text.h"

namespace qx::engine {

// A <col> span: columns min..max with their width in characters (negative: default).
struct ColumnSpan {
  std::uint32_t min = 1, max = 1;
  double width = -1;
  std::uint32_t style = 0;  // the format of new cells in these columns
  bool hidden = false;
};

// <sheetFormatPr>: the sizes of rows and columns that declare none.
struct SheetFormat {
  double defaultRowHeight = -1;    // points; negative: from the default font
  double defaultColumnWidth = -1;  // characters; negative: from baseColumnWidth
  double baseColumnWidth = 8;
  bool rowsHiddenByDefault = false;
};

class Worksheet final : private RowReader {
 public:
  explicit Worksheet(std::string partName) : part_(std::move(partName)) {}

  // Reads the part; EngineError naming it when malformed, when its root is no worksheet, or
  // when a row or cell lies outside the sheet. Every row is checked, but its cells go into the
  // store only when a call reads or writes them (see CellStore::keep): the rows the run leaves
  // alone are kept as bytes of `text`, which the sheet holds, and written back as they were.
  void load(std::string text);

  const std::string& part() const { return part_; }
  CellStore& cells() { return cells_; }
  const CellStore& cells() const { return cells_; }

  // The smallest rectangle covering every cell with a value or a style of its own; A1 for an
  // empty sheet.
  CellRect usedRange() const;
  // Records that the cell now holds a value or style (extends the used range).
  void noteUsed(std::uint32_t row, std::uint32_t column);
  // The cell, created when absent with the style the application gives a new cell: its row's
  // when the row has a custom format, else its column's.
  Cell& touchCell(std::uint32_t row, std::uint32_t column);
  // The style of a cell that the sheet does not hold yet.
  std::uint32_t inheritedStyle(std::uint32_t row, std::uint32_t column) const;

  const std::vector<ColumnSpan>& columns() const { return columns_; }
  const SheetFormat& format() const { return format_; }

  // The r:id of the sheet's <drawing>, "" when it has none.
  std::string drawingRelationship() const;
  // Adds <drawing r:id="..."/> where the schema wants it.
  void addDrawing(const std::string& relationshipId, const std::string& relationshipsNamespace);
  // The namespace of the sheet's root element (transitional or strict).
  std::string_view mainNamespace() const;

  void markChanged() { changed_ = true; }
  bool changed() const { return changed_; }
  // The part, written row by row.
  ChunkSource saver();

 private:
  // Checks a batch of rows of the text and keeps them; the used range from their cells.
  // `previousRow` is the number of the row before them, then of their last.
  void keepRows(const std::vector<TextSpan>& rows, std::uint32_t& previousRow);
  void read(Row& row, std::string_view element) override;
  // Appends a kept row: its bytes when regular, else as it prints when parsed.
  void printKept(std::string& out, const Row& row, pugi::xml_document& scratch) const;

  std::string part_;
  std::string text_;             // the part as read: the kept rows' bytes
  pugi::xml_document document_;  // the part without the rows of its sheetData
  pugi::xml_document rows_;      // the elements of rows read into the store
  pugi::xml_node rowsRoot_;
  pugi::xml_node sheetData_;
  CellStore cells_;
  std::vector<ColumnSpan> columns_;
  SheetFormat format_;
  CellRect used_;
  bool anyUsed_ = false;
  bool changed_ = false;
};

}  // namespace qx::engine
