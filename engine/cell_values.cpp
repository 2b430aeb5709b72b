#include "engine/cell_values.h"

#include <charconv>

#include "automation/code_page.h"
#include "engine/engine_error.h"
#include "engine/number_formats.h"
#include "engine/value_recognition.h"
#include "engine/xml_part.h"

namespace qx::engine {

using automation::VarType;

namespace {
void putText(Workbook& workbook, Worksheet& sheet, Cell& cell, std::string text) {
  if (text.empty()) {
    cell.kind = CellKind::Blank;
    return;
  }
  Styles* styles = nullptr;
  try {
    styles = &workbook.styles();
  } catch (const EngineError&) {
  }
  if (styles == nullptr || !styles->isText(cell.style)) {
    const RecognisedValue value = recogniseText(text);
    if (value.kind != RecognisedKind::Text) {
      if (value.kind != RecognisedKind::Number && styles != nullptr &&
          styles->isGeneral(cell.style)) {
        cell.style = styles->withNumberFormat(
            cell.style, value.kind == RecognisedKind::Time ? "h:mm" : "[h]:mm");
      }
      cell.kind = CellKind::Number;
      cell.value.number = value.number;
      return;
    }
  }
  if (SharedStrings* strings = workbook.sharedStrings()) {
    cell.kind = CellKind::SharedText;
    cell.value.index = strings->add(text);
    return;
  }
  auto& texts = sheet.cells().inlineTexts();
  cell.kind = CellKind::InlineText;
  cell.value.index = static_cast<std::uint32_t>(texts.size());
  texts.push_back(std::move(text));
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
  try {
    return formatNumber(number, workbook.styles().numberFormat(style));
  } catch (const EngineError&) {
    return formatGeneral(number);
  }
}

std::string originalText(Workbook& workbook, const Cell& cell) {
  const pugi::xml_node node(cell.original);
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
  return numberText(workbook, number, cell.style);
}
}  // namespace

void putCellValue(Workbook& workbook, Worksheet& sheet, std::uint32_t row, std::uint32_t column,
                  const automation::Variant& value) {
  Cell& cell = sheet.cells().touch(row, column);
  sheet.markChanged();
  if (cell.hadFormula) {
    workbook.noteFormulaRemoved();
    cell.hadFormula = false;
  }
  cell.original = nullptr;
  switch (value.type()) {
    case VarType::Bstr:
      putText(workbook, sheet, cell, automation::utf16ToUtf8(value.textValue()));
      break;
    case VarType::Bool:
      cell.kind = CellKind::Boolean;
      cell.value.number = value.booleanValue() != 0 ? 1 : 0;
      break;
    case VarType::Empty:
      cell.kind = CellKind::Blank;
      break;
    default:
      if (const std::optional<double> number = value.toReal()) {
        cell.kind = CellKind::Number;
        cell.value.number = *number;
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
    case CellKind::Original:
      return cell->original == nullptr ? std::string() : originalText(workbook, *cell);
    case CellKind::Blank:
      return {};
    case CellKind::Number:
      return numberText(workbook, cell->value.number, cell->style);
    case CellKind::Boolean:
      return cell->value.number != 0 ? "TRUE" : "FALSE";
    case CellKind::SharedText: {
      SharedStrings* strings = workbook.sharedStrings();
      return strings == nullptr ? std::string() : std::string(strings->text(cell->value.index));
    }
    case CellKind::InlineText:
      return sheet.cells().inlineTexts()[cell->value.index];
  }
  return {};
}

}  // namespace qx::engine
