#include "engine/cell_values.h"

#include <charconv>

#include "engine/described_cells.h"
#include "engine/engine_error.h"
#include "engine/number_formats.h"
#include "engine/shared_formulas.h"
#include "engine/value_recognition.h"
#include "engine/xml_part.h"
#include "platform/code_page.h"

namespace qx::engine {

using automation::VarType;

namespace {
// The most UTF-16 units a cell's text holds, in the application as here.
constexpr std::size_t kMaxCellText = 32767;

// UTF-16 to UTF-8, at most three bytes per unit, into `out`; returns the bytes written.
// Unpaired surrogates become U+FFFD.
std::size_t toUtf8(std::u16string_view text, char* out) {
  char* at = out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t code = text[i];
    if (code < 0x80) {
      *at++ = static_cast<char>(code);
      continue;
    }
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x800) {
      *at++ = static_cast<char>(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
      *at++ = static_cast<char>(0xE0 | (code >> 12));
      *at++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    } else {
      *at++ = static_cast<char>(0xF0 | (code >> 18));
      *at++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *at++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    *at++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return static_cast<std::size_t>(at - out);
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
                  const automation::Variant& value) {
  if (const DescribedCell* described = workbook.describedCell(sheet, row, column)) {
    putDescribedCell(workbook, sheet, *described, row, column, value);
    return;
  }
  storeCellValue(workbook, sheet, row, column, value, TextEntry::Recognised);
}

void storeCellValue(Workbook& workbook, Worksheet& sheet, std::uint32_t row, std::uint32_t column,
                    const automation::Variant& value, TextEntry entry) {
  // A cell's text converted on the stack; a long one on the heap.
  char shortText[256];
  std::string longText;
  std::string_view utf8;
  std::uint64_t hash = 0;
  if (value.type() == VarType::Bstr) {
    const std::u16string& text = value.textValue();
    if (text.size() > kMaxCellText) {
      const std::string limit = " can hold at most 32,767 characters; the text has ";
      throw EngineError("the cell " + cellName(row, column) + limit + std::to_string(text.size()));
    }
    char* out = shortText;
    if (text.size() * 3 > sizeof shortText) {
      longText.resize(text.size() * 3);
      out = longText.data();
    }
    utf8 = std::string_view(out, toUtf8(text, out));
    // Only the shared strings look texts up by their hash.
    if (const SharedStrings* strings = workbook.sharedStrings()) {
      hash = SharedStrings::hashOf(utf8);
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
  switch (value.type()) {
    case VarType::Bstr:
      putText(workbook, sheet, cell, utf8, hash, entry);
      break;
    case VarType::Bool:
      cell.kind = CellKind::Boolean;
      cell.value = value.booleanValue() != 0 ? 1 : 0;
      break;
    case VarType::Empty:
      cell.kind = CellKind::Blank;
      break;
    default:
      if (const std::optional<double> number = value.toReal()) {
        sheet.cells().setNumber(cell, *number);
        break;
      }
      throw EngineError("a " + std::string(automation::typeName(value.type())) +
                        " value cannot be put into a cell");
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
