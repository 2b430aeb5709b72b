#pragma once
// One worksheet part: its cells, the column and row sizes it declares, its drawing reference,
// and writing it back with everything the engine does not model kept as it was.

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/package/cell_reference.h"
#include "engine/package/cell_store.h"
#include "engine/package/chunk_source.h"
#include "engine/package/sheet_text.h"
#include "engine/package/text_cursor.h"

namespace qx::engine {

class ZipPackage;

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
  // The same from the package, whose part is inflated a piece at a time and not held: the sheet
  // keeps where its rows lie and inflates the part again to read a row or to save (the package
  // stays open and readable while the sheet lives, after saves too).
  void load(std::shared_ptr<const ZipPackage> package);

  // The element of a kept row as the part holds it, valid until the next read of a kept row.
  std::string_view keptElement(const Row& row);
  // Whether the sheet holds its part's text, read whole (a part in another encoding than UTF-8,
  // or one the rows of which cannot be found without parsing it).
  bool holdsText() const { return text_ != nullptr; }
  // Times the part was inflated again from its start to read a row behind the last one read.
  std::size_t rereads() const { return reader_ ? reader_->restarts() : 0; }

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
  // The part without the rows of its sheetData: what the sheet keeps parsed.
  void readRest(const std::string& rest);
  // Checks a batch of rows, which `text` holds from the part's offset `at` on, and keeps them;
  // the used range from their cells. `previousRow` is the number of the row before them, then
  // of their last.
  void keepRows(const std::vector<TextSpan>& rows, std::string_view text, std::size_t at,
                std::uint32_t& previousRow);
  void read(Row& row, std::uint64_t offset, std::size_t length) override;
  // A new reader of the kept rows' bytes, from the part's start.
  std::unique_ptr<TextCursor> newCursor() const;
  // Appends a kept row: its bytes when regular, else as it prints when parsed.
  void printKept(std::string& out, const Row& row, std::string_view element,
                 pugi::xml_document& scratch) const;

  std::string part_;
  // Where the kept rows' bytes are: the text held, or the package's part.
  std::shared_ptr<const std::string> text_;
  std::shared_ptr<const ZipPackage> package_;
  std::unique_ptr<TextCursor> reader_;  // for rows the calls read, in increasing order mostly
  pugi::xml_document document_;         // the part without the rows of its sheetData
  pugi::xml_document rows_;             // the elements of rows read into the store
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
