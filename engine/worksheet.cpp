#include "engine/worksheet.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>

#include "engine/engine_error.h"
#include "engine/shared_strings.h"
#include "engine/value_recognition.h"
#include "engine/xml_part.h"

namespace qx::engine {

namespace {
bool hasValue(const pugi::xml_node& cell) {
  for (pugi::xml_node child = cell.first_child(); child; child = child.next_sibling()) {
    const std::string_view name = localName(child);
    if (name == "v" || name == "is" || name == "f") return true;
  }
  return false;
}

// Elements that follow <drawing> in a worksheet, in schema order.
constexpr std::array<std::string_view, 9> kAfterDrawing = {
    "legacyDrawing", "legacyDrawingHF", "drawingHF",  "picture", "oleObjects",
    "controls",      "webPublishItems", "tableParts", "extLst"};
}  // namespace

void Worksheet::load(std::string_view text) {
  loadXml(document_, text, part_);
  const pugi::xml_node root = document_.document_element();
  if (localName(root) != "worksheet") {
    throw partError(part_, "is a " + std::string(localName(root)) + ", not a worksheet");
  }
  sheetData_ = childNamed(root, "sheetData");
  if (!sheetData_) throw partError(part_, "has no sheetData element");
  if (const pugi::xml_node f = childNamed(root, "sheetFormatPr")) {
    format_.defaultRowHeight = f.attribute("defaultRowHeight").as_double(-1);
    format_.defaultColumnWidth = f.attribute("defaultColWidth").as_double(-1);
    format_.baseColumnWidth = f.attribute("baseColWidth").as_double(8);
    format_.rowsHiddenByDefault = f.attribute("zeroHeight").as_bool(false);
  }
  for (pugi::xml_node cols = childNamed(root, "cols"); cols; cols = cols.next_sibling()) {
    if (localName(cols) != "cols") continue;
    for (pugi::xml_node col : cols.children()) {
      if (localName(col) != "col") continue;
      ColumnSpan span;
      span.min = std::clamp<std::uint32_t>(col.attribute("min").as_uint(1), 1, kMaxColumns);
      span.max =
          std::clamp<std::uint32_t>(col.attribute("max").as_uint(span.min), span.min, kMaxColumns);
      span.width = col.attribute("width").as_double(-1);
      span.hidden = col.attribute("hidden").as_bool(false);
      span.style = col.attribute("style").as_uint(0);
      columns_.push_back(span);
    }
  }
  std::sort(columns_.begin(), columns_.end(),
            [](const ColumnSpan& a, const ColumnSpan& b) { return a.min < b.min; });
  loadRows(sheetData_);
}

void Worksheet::loadRows(pugi::xml_node sheetData) {
  std::uint32_t previousRow = 0;
  for (pugi::xml_node rowNode = sheetData.first_child(); rowNode;
       rowNode = rowNode.next_sibling()) {
    if (rowNode.type() != pugi::node_element || localName(rowNode) != "row") continue;
    pugi::xml_attribute r = rowNode.attribute("r");
    const unsigned long long number = r ? r.as_ullong(0) : previousRow + 1ull;
    if (number < 1 || number > kMaxRows || number <= previousRow) {
      throw partError(part_, "row " + std::string(r ? r.value() : "without number") +
                                 " lies outside the sheet or out of order");
    }
    if (!r) rowNode.append_attribute("r") = number;
    previousRow = static_cast<std::uint32_t>(number);
    Row& row = cells_.touchRow(previousRow);
    cells_.setOriginal(row, rowNode.internal_object());
    if (pugi::xml_attribute ht = rowNode.attribute("ht")) row.height = ht.as_double(-1);
    row.styled = rowNode.attribute("customFormat").as_bool(false);
    row.style = row.styled ? rowNode.attribute("s").as_uint(0) : 0;
    row.hidden = rowNode.attribute("hidden").as_bool(format_.rowsHiddenByDefault &&
                                                     !rowNode.attribute("ht"));
    std::uint32_t previousColumn = 0;
    for (pugi::xml_node c = rowNode.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element || localName(c) != "c") continue;
      Cell cell;
      pugi::xml_attribute reference = c.attribute("r");
      if (reference) {
        const std::optional<CellPosition> at = parseCellReference(reference.value());
        if (!at || at->row != previousRow || at->column <= previousColumn) {
          throw partError(part_, "cell " + std::string(reference.value()) + " in row " +
                                     std::to_string(previousRow) +
                                     " lies outside the sheet, its row, or out of order");
        }
        cell.column = at->column;
      } else {
        cell.column = previousColumn + 1;
        if (cell.column > kMaxColumns) throw partError(part_, "a row has too many cells");
        c.append_attribute("r") = cellName(previousRow, cell.column).c_str();
      }
      previousColumn = cell.column;
      const unsigned long long style = c.attribute("s").as_ullong(0);
      if (style > kMaxCellStyle) {
        throw partError(part_, "cell " + cellName(previousRow, cell.column) + " refers to format " +
                                   std::to_string(style) + ", beyond the " +
                                   std::to_string(kMaxCellStyle + 1) + " a workbook can hold");
      }
      cell.style = static_cast<std::uint16_t>(style);
      cell.hadFormula = static_cast<bool>(childNamed(c, "f"));
      cell.phonetic = c.attribute("ph").as_bool(false);
      cell.used = cell.style != 0 || hasValue(c);
      cells_.setOriginal(cell, c.internal_object());
      cells_.append(row, cell);
      if (cell.used) noteUsed(previousRow, cell.column);
    }
  }
}

CellRect Worksheet::usedRange() const {
  return anyUsed_ ? used_ : CellRect{};
}

void Worksheet::noteUsed(std::uint32_t row, std::uint32_t column) {
  if (!anyUsed_) {
    used_ = CellRect{row, column, row, column};
    anyUsed_ = true;
    return;
  }
  used_.top = std::min(used_.top, row);
  used_.bottom = std::max(used_.bottom, row);
  used_.left = std::min(used_.left, column);
  used_.right = std::max(used_.right, column);
}

Cell& Worksheet::touchCell(std::uint32_t row, std::uint32_t column) {
  Cell& cell = cells_.touch(row, column);
  // Only a cell made just now is blank, unused and without XML.
  if (cell.kind == CellKind::Blank && !cell.used) {
    cell.style = cellStyle(inheritedStyle(row, column));
  }
  return cell;
}

std::uint32_t Worksheet::inheritedStyle(std::uint32_t row, std::uint32_t column) const {
  if (const Row* r = cells_.row(row); r != nullptr && r->styled) return r->style;
  // The spans are sorted and do not overlap: the last one starting at or before the column.
  const auto after =
      std::upper_bound(columns_.begin(), columns_.end(), column,
                       [](std::uint32_t c, const ColumnSpan& span) { return c < span.min; });
  if (after == columns_.begin()) return 0;
  const ColumnSpan& span = *(after - 1);
  return column <= span.max ? span.style : 0;
}

std::string Worksheet::drawingRelationship() const {
  const pugi::xml_node drawing = childNamed(document_.document_element(), "drawing");
  return drawing ? std::string(attributeNamed(drawing, "id")) : std::string();
}

std::string_view Worksheet::mainNamespace() const {
  const pugi::xml_node root = document_.document_element();
  const std::string prefix = prefixOf(root);
  return namespaceOf(root,
                     prefix.empty() ? "" : std::string_view(prefix).substr(0, prefix.size() - 1));
}

void Worksheet::addDrawing(const std::string& relationshipId,
                           const std::string& relationshipsNamespace) {
  pugi::xml_node root = document_.document_element();
  pugi::xml_node before;
  for (pugi::xml_node child = root.first_child(); child && !before; child = child.next_sibling()) {
    if (std::find(kAfterDrawing.begin(), kAfterDrawing.end(), localName(child)) !=
        kAfterDrawing.end()) {
      before = child;
    }
  }
  const std::string name = prefixOf(root) + "drawing";
  pugi::xml_node drawing =
      before ? root.insert_child_before(name.c_str(), before) : root.append_child(name.c_str());
  // The r prefix is declared on the element itself unless the root already binds it so.
  if (namespaceOf(root, "r") != relationshipsNamespace) {
    drawing.append_attribute("xmlns:r") = relationshipsNamespace.c_str();
  }
  drawing.append_attribute("r:id") = relationshipId.c_str();
  changed_ = true;
}

namespace {
// The markup of written cells with the sheet's namespace prefix, built once per save.
struct CellTags {
  explicit CellTags(const std::string& p)
      : open("<" + p + "c r=\""),
        number("><" + p + "v>"),
        boolean(" t=\"b\"><" + p + "v>"),
        error(" t=\"e\"><" + p + "v>"),
        shared(" t=\"s\"><" + p + "v>"),
        close("</" + p + "v></" + p + "c>"),
        inlineOpen(" t=\"inlineStr\"><" + p + "is><" + p + "t>"),
        inlineOpenSpaces(" t=\"inlineStr\"><" + p + "is><" + p + "t xml:space=\"preserve\">"),
        inlineClose("</" + p + "t></" + p + "is></" + p + "c>"),
        rowClose("</" + p + "row>") {}
  std::string open, number, boolean, error, shared, close, inlineOpen, inlineOpenSpaces,
      inlineClose, rowClose;
};

template <typename T>
void appendNumber(std::string& out, T value) {
  char digits[32];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

// Appends one cell that the engine wrote.
void appendCell(std::string& out, const CellTags& tags, std::string_view row, const Cell& cell,
                const CellStore& store) {
  out += tags.open;
  appendColumnName(out, cell.column);
  out += row;
  out += '"';
  if (cell.style != 0) {
    out += " s=\"";
    appendNumber(out, cell.style);
    out += '"';
  }
  if (cell.phonetic) out += " ph=\"1\"";
  switch (cell.kind) {
    case CellKind::Blank:
    case CellKind::Original:
      out += "/>";
      return;
    case CellKind::Number:
      out += tags.number;
      if (cell.wholeNumber) {
        appendNumber(out, static_cast<std::int32_t>(cell.value));
      } else {
        appendNumber(out, store.number(cell));
      }
      break;
    case CellKind::Boolean:
      out += tags.boolean;
      out += cell.value != 0 ? '1' : '0';
      break;
    case CellKind::Error:
      out += tags.error;
      out += kErrorLiterals[cell.value];
      break;
    case CellKind::SharedText:
      out += tags.shared;
      appendNumber(out, cell.value);
      break;
    case CellKind::InlineText: {
      const std::string_view text = store.inlineText(cell);
      const bool keepSpaces = !text.empty() && (text.front() == ' ' || text.back() == ' ');
      out += keepSpaces ? tags.inlineOpenSpaces : tags.inlineOpen;
      appendCellText(out, text);
      out += tags.inlineClose;
      return;
    }
  }
  out += tags.close;
}

// What a rewritten row holds besides its cells (extLst, comments) follows them, as it did.
void appendOtherChildren(StringWriter& writer, pugi::xml_node_struct* original) {
  if (original == nullptr) return;
  for (pugi::xml_node child = pugi::xml_node(original).first_child(); child;
       child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || localName(child) == "c") continue;
    child.print(writer, "", pugi::format_raw);
  }
}

void appendRowStart(std::string& out, const std::string& prefix, const Row& row,
                    pugi::xml_node_struct* original) {
  out += '<';
  out += prefix;
  out += "row r=\"";
  out += std::to_string(row.number);
  out += '"';
  if (original != nullptr) {
    for (pugi::xml_attribute a = pugi::xml_node(original).first_attribute(); a;
         a = a.next_attribute()) {
      const std::string_view name = a.name();
      if (name == "r" || name == "spans") continue;
      out += ' ';
      out += name;
      out += "=\"";
      appendEscaped(out, a.value());
      out += '"';
    }
  }
  out += '>';
}
}  // namespace

ChunkSource Worksheet::saver() {
  const pugi::xml_node root = document_.document_element();
  if (pugi::xml_node dimension = childNamed(root, "dimension")) {
    pugi::xml_attribute ref = dimension.attribute("ref");
    if (!ref) ref = dimension.append_attribute("ref");
    ref.set_value(rectName(usedRange()).c_str());
  }
  struct State {
    std::string prefix;
    std::unique_ptr<CellTags> tags;
    std::uint32_t nextRow = 1;
  };
  auto state = std::make_shared<State>();
  state->prefix = prefixOf(sheetData_);
  state->tags = std::make_unique<CellTags>(state->prefix);
  // One row per call: a row the fill did not change goes out as it was read.
  return writeAround(document_, sheetData_, 1u << 18, [this, state](std::string& chunk) {
    if (state->nextRow > cells_.lastRow()) return false;
    const Row* row = cells_.row(state->nextRow++);
    if (row == nullptr) return true;
    StringWriter writer(chunk);
    pugi::xml_node_struct* rowElement = cells_.originalOf(*row);
    if (!row->changed) {
      if (rowElement != nullptr) pugi::xml_node(rowElement).print(writer, "", pugi::format_raw);
      return true;
    }
    if (row->cells().empty() && rowElement == nullptr) return true;
    appendRowStart(chunk, state->prefix, *row, rowElement);
    char digits[16];  // the row number, written once for all its cells
    const std::string_view number(
        digits, static_cast<std::size_t>(
                    std::to_chars(digits, digits + sizeof digits, row->number).ptr - digits));
    for (const Cell& cell : row->cells()) {
      if (pugi::xml_node_struct* original = cells_.originalOf(cell)) {
        pugi::xml_node(original).print(writer, "", pugi::format_raw);
      } else {
        appendCell(chunk, *state->tags, number, cell, cells_);
      }
    }
    appendOtherChildren(writer, rowElement);
    chunk += state->tags->rowClose;
    return true;
  });
}

}  // namespace qx::engine
