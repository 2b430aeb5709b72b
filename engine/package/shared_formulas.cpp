#include "engine/package/shared_formulas.h"

#include <cctype>

#include "engine/package/xml_part.h"

namespace qx::engine {

namespace {
bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '\\' ||
         static_cast<unsigned char>(c) >= 0x80;
}

struct Part {
  bool absolute = false;
  std::int64_t value = 0;
  std::size_t end = 0;  // position after the part
};

// "$AB" or "AB" at i (1 to 3 letters).
bool columnAt(std::string_view f, std::size_t i, Part& part) {
  part.absolute = i < f.size() && f[i] == '$';
  std::size_t j = i + (part.absolute ? 1 : 0);
  std::int64_t value = 0;
  const std::size_t start = j;
  while (j < f.size() && j - start < 3 && std::isalpha(static_cast<unsigned char>(f[j]))) {
    value = value * 26 + (std::toupper(static_cast<unsigned char>(f[j])) - 'A' + 1);
    ++j;
  }
  if (j == start || (j < f.size() && std::isalpha(static_cast<unsigned char>(f[j])))) return false;
  part.value = value;
  part.end = j;
  return true;
}

// "$12" or "12" at i.
bool rowAt(std::string_view f, std::size_t i, Part& part) {
  part.absolute = i < f.size() && f[i] == '$';
  std::size_t j = i + (part.absolute ? 1 : 0);
  std::int64_t value = 0;
  const std::size_t start = j;
  while (j < f.size() && j - start < 8 && std::isdigit(static_cast<unsigned char>(f[j]))) {
    value = value * 10 + (f[j] - '0');
    ++j;
  }
  if (j == start) return false;
  part.value = value;
  part.end = j;
  return true;
}

bool endsReference(std::string_view f, std::size_t at) {
  return at >= f.size() || !(isWordChar(f[at]) || f[at] == '(' || f[at] == '!' || f[at] == '[');
}

void appendColumn(std::string& out, const Part& column, std::int64_t shift, bool& bad) {
  const std::int64_t value = column.absolute ? column.value : column.value + shift;
  if (value < 1 || value > kMaxColumns) bad = true;
  if (column.absolute) out += '$';
  if (!bad) appendColumnName(out, static_cast<std::uint32_t>(value));
}

void appendRow(std::string& out, const Part& row, std::int64_t shift, bool& bad) {
  const std::int64_t value = row.absolute ? row.value : row.value + shift;
  if (value < 1 || value > kMaxRows) bad = true;
  if (row.absolute) out += '$';
  if (!bad) out += std::to_string(value);
}

// A reference at i: cell (A1), column range (A:B) or row range (1:2). Appends the shifted
// form and returns the position after it, or 0 when there is none at i.
std::size_t shiftReferenceAt(std::string_view f, std::size_t i, std::int64_t rows,
                             std::int64_t columns, std::string& out) {
  Part column, row, column2, row2;
  std::string shifted;
  bool bad = false;
  if (columnAt(f, i, column)) {
    if (rowAt(f, column.end, row) && endsReference(f, row.end)) {
      appendColumn(shifted, column, columns, bad);
      appendRow(shifted, row, rows, bad);
      out += bad ? "#REF!" : shifted;
      return row.end;
    }
    if (column.end < f.size() && f[column.end] == ':' && columnAt(f, column.end + 1, column2) &&
        endsReference(f, column2.end) &&
        !(column2.end < f.size() && std::isdigit(static_cast<unsigned char>(f[column2.end])))) {
      appendColumn(shifted, column, columns, bad);
      shifted += ':';
      appendColumn(shifted, column2, columns, bad);
      out += bad ? "#REF!" : shifted;
      return column2.end;
    }
  }
  if (rowAt(f, i, row) && row.end < f.size() && f[row.end] == ':' && rowAt(f, row.end + 1, row2) &&
      endsReference(f, row2.end)) {
    appendRow(shifted, row, rows, bad);
    shifted += ':';
    appendRow(shifted, row2, rows, bad);
    out += bad ? "#REF!" : shifted;
    return row2.end;
  }
  return 0;
}
}  // namespace

std::string shiftFormula(std::string_view f, std::int64_t rows, std::int64_t columns) {
  std::string out;
  for (std::size_t i = 0; i < f.size();) {
    const char c = f[i];
    if (c == '"' || c == '\'') {  // texts and quoted sheet names, with doubled quotes inside
      std::size_t j = i + 1;
      while (j < f.size() && !(f[j] == c && (j + 1 >= f.size() || f[j + 1] != c))) {
        j += f[j] == c ? 2 : 1;
      }
      out.append(f.substr(i, std::min(j + 1, f.size()) - i));
      i = j + 1;
      continue;
    }
    if (c == '[') {  // structured references and external workbooks
      int depth = 0;
      std::size_t j = i;
      do {
        if (f[j] == '[') ++depth;
        if (f[j] == ']') --depth;
        ++j;
      } while (j < f.size() && depth > 0);
      out.append(f.substr(i, j - i));
      i = j;
      continue;
    }
    const bool startsWord = i == 0 || !(isWordChar(f[i - 1]) || f[i - 1] == '$');
    if (startsWord) {
      if (const std::size_t end = shiftReferenceAt(f, i, rows, columns, out)) {
        i = end;
        continue;
      }
    }
    // Not a reference: copy the whole word so that its tail is not taken for one.
    std::size_t j = i + 1;
    if (isWordChar(c)) {
      while (j < f.size() && isWordChar(f[j])) ++j;
    }
    out.append(f.substr(i, j - i));
    i = j;
  }
  return out;
}

void unshareFormulaAt(Worksheet& sheet, std::uint32_t row, std::uint32_t column) {
  const Cell* master = sheet.cells().find(row, column);
  const CellStore& store = sheet.cells();
  if (master == nullptr || store.originalOf(*master) == nullptr) return;
  const pugi::xml_node formula = childNamed(pugi::xml_node(store.originalOf(*master)), "f");
  if (std::string_view(formula.attribute("t").value()) != "shared" || !formula.attribute("ref")) {
    return;
  }
  const std::string_view text = formula.text().get();
  const std::string si = formula.attribute("si").value();
  const std::string ref = formula.attribute("ref").value();
  const std::size_t colon = ref.find(':');
  const auto first = parseCellReference(ref.substr(0, colon));
  const auto last = colon == std::string::npos ? first : parseCellReference(ref.substr(colon + 1));
  if (!first || !last) return;
  for (std::uint32_t r = first->row; r <= last->row; ++r) {
    // Only a row that holds formulas is read into cells.
    const Row* record = sheet.cells().row(r);
    if (record == nullptr || !record->formulas) continue;
    Row* cells = sheet.cells().readRow(r);
    for (Cell& cell : cells->cells()) {
      if (cell.column < first->column || cell.column > last->column || &cell == master ||
          store.originalOf(cell) == nullptr) {
        continue;
      }
      pugi::xml_node f = childNamed(pugi::xml_node(store.originalOf(cell)), "f");
      if (std::string_view(f.attribute("t").value()) != "shared" ||
          si != f.attribute("si").value()) {
        continue;
      }
      const std::string own = shiftFormula(text, static_cast<std::int64_t>(r) - row,
                                           static_cast<std::int64_t>(cell.column) - column);
      f.remove_attribute("t");
      f.remove_attribute("si");
      f.remove_attribute("ref");
      f.text().set(own.c_str());
      cells->changed = true;
    }
  }
  sheet.markChanged();
}

}  // namespace qx::engine
