#pragma once
// A table part (xl/tables/tableN.xml): the table's range, its header and totals rows, and each
// column's name, totals label, function and formulas. The header row shows the column names a
// second time and the totals row the labels and functions' results, so that writes into those
// cells change the part too, the way the application keeps the two in step.

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/package/cell_reference.h"

namespace qx::engine {

inline constexpr const char* kTableContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml";

// The name the application gives a column whose header cell is written with `text`, where
// `others` are the other columns' names: the text itself when no other column has it (ignoring
// case), else the text with the smallest number from 2 on that makes it so ("Amount2"); for an
// empty text "Column1", "Column2", ... the same way.
std::string uniqueColumnName(std::string_view text, const std::vector<std::string>& others);

class TablePart {
 public:
  explicit TablePart(std::string partName) : part_(std::move(partName)) {}
  // Parses the part; EngineError naming it when it is malformed, its root is no table or its
  // range is none.
  void load(std::string_view text);

  const std::string& part() const { return part_; }
  // The name formulas refer to the table by (displayName).
  const std::string& name() const { return name_; }
  const CellRect& range() const { return range_; }
  // The sheet rows of the header and totals rows; 0 when the table shows none.
  std::uint32_t headerRow() const { return headerRow_; }
  std::uint32_t totalsRow() const { return totalsRow_; }
  // The columns the part describes (at most the range's width).
  std::size_t columnCount() const { return columns_.size(); }
  // Column i's name as its header cell shows it (escapes decoded).
  std::string columnName(std::size_t i) const;
  // Every column's name but column i's.
  std::vector<std::string> otherNames(std::size_t i) const;

  // Names column i `name` (a name uniqueColumnName gave).
  void rename(std::size_t i, std::string_view name);
  // Column i's totals cell now shows `label` (a text), or no text (nullopt): the column keeps
  // no totals function or formula, which the cell no longer holds.
  void setTotals(std::size_t i, std::optional<std::string_view> label);
  // Rewrites the structured references to column `from` of table `table` in the columns'
  // calculated and totals formulas; returns whether any changed.
  bool renameReferences(std::string_view table, std::string_view from, std::string_view to);
  // Whether any formula of the part refers to the table's name (the cheap test before
  // renameReferences).
  bool mentions(std::string_view table) const;

  bool changed() const { return changed_; }
  std::string save() const;

 private:
  std::string part_;
  pugi::xml_document document_;
  std::string name_;
  CellRect range_;
  std::uint32_t headerRow_ = 0, totalsRow_ = 0;
  std::vector<pugi::xml_node> columns_;
  bool changed_ = false;
};

}  // namespace qx::engine
