#include "engine/package/cell_values.h"

#include <charconv>

#include "engine/package/described_cells.h"
#include "engine/package/number_formats.h"
#include "engine/package/shared_formulas.h"
#include "engine/package/value_recognition.h"
#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
// The most UTF-16 units a cell's text holds, in the application as here.
constexpr std::size_t kMaxCellText = 32767;

// The UTF-16 units of a UTF-8 text: one for each character, two for those beyond U+FFFF.
std::size_t utf16Units(std::string_view utf8) {
  std::size_t units = 0;
  for (const char byte : utf8) {
    const auto b = static_cast<unsigned char>(byte);
    units += (b & 0xC0) != 0x80 ? 1 : 0;  // a character's first byte
    units += b >= 0xF0 ? 1 : 0;           // of four bytes: a surrogate pair
  }
  return units;
}

// Stores `text` as what the application makes of it when typed into the cell. A leading
// apostrophe marks the cell's format (quotePrefix) and stays out of the value; any other text
// takes that mark away, as a new entry does in the application.
void putText(Workbook& workbook, Worksheet& sheet, Cell& cell, std::string_view text,
             std::uint64_t hash, TextEntry entry) {
  if (text.empty()) {
    cell.kind = CellKind::Blank;
    return;
  }
  Styles* styles = workbook.stylesIfAny();
  if (entry == TextEntry::Recognised && (styles == nullptr || !styles->isText(cell.style))) {
    const RecognisedValue value = recogniseText(text);
    const bool quoted = value.kind == RecognisedKind::QuotedText;
    if (styles != nullptr && styles->isQuotePrefixed(cell.style) != quoted) {
      cell.style = cellStyle(styles->withQuotePrefix(cell.style, quoted));
    }
    switch (value.kind) {
      case RecognisedKind::Text:
        break;
      case RecognisedKind::QuotedText:
        text = value.text;
        if (workbook.sharedStrings() != nullptr) hash = SharedStrings::hashOf(text);
        break;
      case RecognisedKind::Boolean:
        cell.kind = CellKind::Boolean;
        cell.value = value.number != 0 ? 1 : 0;
        return;
      case RecognisedKind::Error:
        cell.kind = CellKind::Error;
        cell.value = static_cast<std::uint32_t>(value.number);
        return;
      case RecognisedKind::Number:
      case RecognisedKind::Time:
      case RecognisedKind::LongTime:
        if (!value.format.empty() && styles != nullptr && styles->isGeneral(cell.style)) {
          cell.style = cellStyle(styles->withNumberFormat(cell.style, value.format));
        }
        sheet.cells().setNumber(cell, value.number);
        return;
    }
  }
  if (SharedStrings* strings = workbook.sharedStrings()) {
    cell.kind = CellKind::SharedText;
    cell.value = strings->add(text, hash);
    return;
  }
  sheet.cells().setInlineText(cell, text);
}

// The master cell of an array formula or a data table holds the formula of a whole range;
// the application refuses to change it alone, and so does the engine, rather than turning the
// other cells of the range into constants.
void refuseArrayMaster(const Worksheet& sheet, const Cell& cell, std::uint32_t row,
                       std::uint32_t column) {
  pugi::xml_node_struct* original = sheet.cells().originalOf(cell);
  if (original == nullptr) return;
  const pugi::xml_node formula = childNamed(pugi::xml_node(original), "f");
  const std::string_view type = formula.attribute("t").value();
  if (type != "array" && type != "dataTable") return;
  throw EngineError("the cell " + cellName(row, column) + " holds the " +
                    (type == "array" ? "array formula" : "data table") + " of " +
                    formula.attribute("ref").value() + "; a part of it cannot be changed alone");
}

std::string plainText(const pugi::xml_node& node) {
  std::string out;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (localName(child) == "t") out += child.text().get();
    if (localName(child) == "r") out += plainText(child);
  }
  return out;
}

std::string numberText(Workbook& workbook, double number, std::uint32_t style) {
  const Styles* styles = workbook.stylesIfAny();
  if (styles == nullptr) return formatGeneral(number);
  const std::string_view code = styles->numberFormat(style);
  return showsNothing(number, code) ? std::string() : formatNumber(number, code);
}

std::string originalText(Workbook& workbook, pugi::xml_node node, std::uint32_t style) {
  const std::string_view type = node.attribute("t").value();
  const pugi::xml_node v = childNamed(node, "v");
  const std::string_view value = v.text().get();
  if (type == "inlineStr") return decodeCellText(plainText(childNamed(node, "is")));
  if (!v) return {};
  if (type == "s") {
    SharedStrings* strings = workbook.sharedStrings();
    return strings == nullptr ? std::string() : std::string(strings->text(v.text().as_uint()));
  }
  if (type == "b") return value == "1" || value == "true" ? "TRUE" : "FALSE";
  if (type == "str" || type == "e") return decodeCellText(value);
  double number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc()) return std::string(value);
  return numberText(workbook, number, style);
}
}  // namespace

void putCellValue(Workbook& workbook, Worksheet& sheet, std::uint32_t row, std::uint32_t column,
                  const CellInput& value) {
  if (const DescribedCell* described = workbook.describedCell(sheet, row, column)) {
    putDescribedCell(workbook, sheet, *described, row, column, value);
    return;
  }
  storeCellValue(workbook, sheet, row, column, value, TextEntry::Recognised);
}

void storeCellValue(Workbook& workbook, Worksheet& sheet, std::uint32_t row, std::uint32_t column,
                    const CellInput& value, TextEntry entry) {
  std::uint64_t hash = 0;
  if (value.kind == CellInput::Kind::Text) {
    // No text has more UTF-16 units than UTF-8 bytes: only a long one is counted.
    if (value.text.size() > kMaxCellText) {
      if (const std::size_t units = utf16Units(value.text); units > kMaxCellText) {
        const std::string limit = " can hold at most 32,767 characters; the text has ";
        throw EngineError("the cell " + cellName(row, column) + limit + std::to_string(units));
      }
    }
    // Only the shared strings look texts up by their hash.
    if (const SharedStrings* strings = workbook.sharedStrings()) {
      hash = SharedStrings::hashOf(value.text);
      strings->prefetch(hash);
    }
  }
  if (const Cell* before = sheet.cells().find(row, column); before && before->hadFormula) {
    refuseArrayMaster(sheet, *before, row, column);
    unshareFormulaAt(sheet, row, column);
  }
  Cell& cell = sheet.touchCell(row, column);
  sheet.markChanged();
  if (cell.hadFormula) {
    workbook.noteFormulaRemoved();
    cell.hadFormula = false;
  }
  sheet.cells().forgetOriginal(cell);
  switch (value.kind) {
    case CellInput::Kind::Text:
      putText(workbook, sheet, cell, value.text, hash, entry);
      break;
    case CellInput::Kind::Boolean:
      cell.kind = CellKind::Boolean;
      cell.value = value.boolean ? 1 : 0;
      break;
    case CellInput::Kind::Empty:
      cell.kind = CellKind::Blank;
      break;
    case CellInput::Kind::Number:
      sheet.cells().setNumber(cell, value.number);
      break;
  }
  if (cell.kind != CellKind::Blank || cell.style != 0) {
    cell.used = true;
    sheet.noteUsed(row, column);
  }
}

std::string cellText(Workbook& workbook, const Worksheet& sheet, std::uint32_t row,
                     std::uint32_t column) {
  const Cell* cell = sheet.cells().find(row, column);
  if (cell == nullptr) return {};
  switch (cell->kind) {
    case CellKind::Original: {
      pugi::xml_node_struct* original = sheet.cells().originalOf(*cell);
      return original == nullptr ? std::string()
                                 : originalText(workbook, pugi::xml_node(original), cell->style);
    }
    case CellKind::Blank:
      return {};
    case CellKind::Number:
      return numberText(workbook, sheet.cells().number(*cell), cell->style);
    case CellKind::Boolean:
      return cell->value != 0 ? "TRUE" : "FALSE";
    case CellKind::Error:
      return std::string(kErrorLiterals[cell->value]);
    case CellKind::SharedText: {
      SharedStrings* strings = workbook.sharedStrings();
      return strings == nullptr ? std::string() : std::string(strings->text(cell->value));
    }
    case CellKind::InlineText:
      return std::string(sheet.cells().inlineText(*cell));
  }
  return {};
}

}  // namespace qx::engine
