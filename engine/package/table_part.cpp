#include "engine/package/table_part.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "engine/package/shared_strings.h"
#include "engine/package/structured_references.h"
#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
// The formulas a column keeps: its calculated column's and its custom totals'.
constexpr std::string_view kFormulaElements[] = {"calculatedColumnFormula", "totalsRowFormula"};

bool taken(std::string_view name, const std::vector<std::string>& folded) {
  return std::find(folded.begin(), folded.end(), foldedName(name)) != folded.end();
}

// Whether a literal "_xHHHH_" starts at i, which a reader would take for an escape.
bool escapeLikeAt(std::string_view s, std::size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return false;
  return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(i) + 2,
                     s.begin() + static_cast<std::ptrdiff_t>(i) + 6,
                     [](char h) { return std::isxdigit(static_cast<unsigned char>(h)) != 0; });
}

// A column name as the part stores it: control characters (line ends included) as _xHHHH_,
// and the underscore of a literal "_xHHHH_" escaped, as the application writes it.
std::string storedName(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || escapeLikeAt(name, i)) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "_x%04x_", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}
}  // namespace

std::string uniqueColumnName(std::string_view text, const std::vector<std::string>& others) {
  std::vector<std::string> folded;
  folded.reserve(others.size());
  for (const std::string& name : others) folded.push_back(foldedName(name));
  if (!text.empty() && !taken(text, folded)) return std::string(text);
  const std::string stem = text.empty() ? "Column" : std::string(text);
  for (std::size_t n = text.empty() ? 1 : 2;; ++n) {
    std::string name = stem + std::to_string(n);
    if (!taken(name, folded)) return name;
  }
}

void TablePart::load(std::string_view text) {
  loadXml(document_, text, part_);
  const pugi::xml_node root = document_.document_element();
  if (localName(root) != "table") throw partError(part_, "the root element is not table");
  name_ = std::string(attributeNamed(root, "displayName"));
  if (name_.empty()) name_ = std::string(attributeNamed(root, "name"));
  const std::optional<CellRect> range = parseRangeReference(attributeNamed(root, "ref"));
  if (!range)
    throw partError(part_,
                    "the table's range '" + std::string(attributeNamed(root, "ref")) + "' is none");
  range_ = *range;
  const pugi::xml_attribute headers = root.attribute("headerRowCount");
  const pugi::xml_attribute totals = root.attribute("totalsRowCount");
  headerRow_ = (!headers || headers.as_uint(1) > 0) ? range_.top : 0;
  totalsRow_ = totals.as_uint(0) > 0 && range_.bottom > headerRow_ ? range_.bottom : 0;
  const std::size_t width = range_.right - range_.left + 1;
  for (pugi::xml_node column : childNamed(root, "tableColumns").children()) {
    if (localName(column) == "tableColumn" && columns_.size() < width) columns_.push_back(column);
  }
}

std::string TablePart::columnName(std::size_t i) const {
  return decodeCellText(attributeNamed(columns_.at(i), "name"));
}

std::vector<std::string> TablePart::otherNames(std::size_t i) const {
  std::vector<std::string> names;
  for (std::size_t k = 0; k < columns_.size(); ++k) {
    if (k != i) names.push_back(columnName(k));
  }
  return names;
}

void TablePart::rename(std::size_t i, std::string_view name) {
  pugi::xml_attribute attribute = columns_.at(i).attribute("name");
  if (!attribute) attribute = columns_[i].append_attribute("name");
  attribute.set_value(storedName(name).c_str());
  changed_ = true;
}

void TablePart::setTotals(std::size_t i, std::optional<std::string_view> label) {
  pugi::xml_node column = columns_.at(i);
  column.remove_attribute("totalsRowFunction");
  column.remove_attribute("totalsRowLabel");
  if (pugi::xml_node formula = childNamed(column, "totalsRowFormula")) column.remove_child(formula);
  if (label) column.append_attribute("totalsRowLabel") = storedName(*label).c_str();
  changed_ = true;
}

bool TablePart::mentions(std::string_view table) const {
  const std::string wanted = foldedName(table);
  for (const pugi::xml_node& column : columns_) {
    for (const std::string_view element : kFormulaElements) {
      const std::string text = foldedName(childNamed(column, element).text().get());
      if (text.find(wanted) != std::string::npos) return true;
    }
  }
  return false;
}

bool TablePart::renameReferences(std::string_view table, std::string_view from,
                                 std::string_view to) {
  bool any = false;
  for (const pugi::xml_node& column : columns_) {
    for (const std::string_view element : kFormulaElements) {
      pugi::xml_node formula = childNamed(column, element);
      if (!formula) continue;
      std::string text = formula.text().get();
      if (renameColumnReferences(text, table, from, to)) {
        formula.text().set(text.c_str());
        any = true;
      }
    }
  }
  changed_ = changed_ || any;
  return any;
}

std::string TablePart::save() const {
  return saveXml(document_);
}

}  // namespace qx::engine
