#include "engine/package/worksheet.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <utility>

#include "engine/package/part_stream.h"
#include "engine/package/shared_strings.h"
#include "engine/package/value_recognition.h"
#include "engine/package/xml_part.h"
#include "engine/package/zip_package.h"
#include "engine/save/engine_error.h"

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

namespace {
// As loadXml parses, for the rows parsed apart from their sheet.
constexpr unsigned kRowOptions = pugi::parse_default | pugi::parse_ws_pcdata_single |
                                 pugi::parse_comments | pugi::parse_pi | pugi::parse_fragment;
// Rows are checked this many bytes at a time: the parser's nodes for them are dropped after.
constexpr std::size_t kBatchBytes = std::size_t{1} << 17;
// A streamed part is inflated this many bytes at a time.
constexpr std::size_t kPieceBytes = std::size_t{1} << 16;

// A part that is read whole instead of a piece at a time.
struct NotStreamed {};

SheetFormat formatOf(pugi::xml_node f) {
  SheetFormat format;
  format.defaultRowHeight = f.attribute("defaultRowHeight").as_double(-1);
  format.defaultColumnWidth = f.attribute("defaultColWidth").as_double(-1);
  format.baseColumnWidth = f.attribute("baseColWidth").as_double(8);
  format.rowsHiddenByDefault = f.attribute("zeroHeight").as_bool(false);
  return format;
}

// Reads the cells of a row element in order, each checked and handed to `each` with its
// element. `name` gives each cell without a reference one.
template <typename Each>
void readCells(const std::string& part, pugi::xml_node rowNode, std::uint32_t rowNumber, bool name,
               Each&& each) {
  std::uint32_t previousColumn = 0;
  for (pugi::xml_node c = rowNode.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element || localName(c) != "c") continue;
    Cell cell;
    pugi::xml_attribute reference = c.attribute("r");
    if (reference) {
      const std::optional<CellPosition> at = parseCellReference(reference.value());
      if (!at || at->row != rowNumber || at->column <= previousColumn) {
        throw partError(part, "cell " + std::string(reference.value()) + " in row " +
                                  std::to_string(rowNumber) +
                                  " lies outside the sheet, its row, or out of order");
      }
      cell.column = at->column;
    } else {
      cell.column = previousColumn + 1;
      if (cell.column > kMaxColumns) throw partError(part, "a row has too many cells");
      if (name) c.append_attribute("r") = cellName(rowNumber, cell.column).c_str();
    }
    previousColumn = cell.column;
    const unsigned long long style = c.attribute("s").as_ullong(0);
    if (style > kMaxCellStyle) {
      throw partError(part, "cell " + cellName(rowNumber, cell.column) + " refers to format " +
                                std::to_string(style) + ", beyond the " +
                                std::to_string(kMaxCellStyle + 1) + " a workbook can hold");
    }
    cell.style = static_cast<std::uint16_t>(style);
    cell.hadFormula = static_cast<bool>(childNamed(c, "f"));
    cell.phonetic = c.attribute("ph").as_bool(false);
    cell.used = cell.style != 0 || hasValue(c);
    each(cell, c);
  }
}

void checkRoot(const pugi::xml_document& document, const std::string& part) {
  const pugi::xml_node root = document.document_element();
  if (localName(root) != "worksheet") {
    throw partError(part, "is a " + std::string(localName(root)) + ", not a worksheet");
  }
  if (!childNamed(root, "sheetData")) throw partError(part, "has no sheetData element");
}

}  // namespace

void Worksheet::readRest(const std::string& rest) {
  loadXml(document_, rest, part_);
  checkRoot(document_, part_);
  const pugi::xml_node root = document_.document_element();
  sheetData_ = childNamed(root, "sheetData");
  if (const pugi::xml_node f = childNamed(root, "sheetFormatPr")) format_ = formatOf(f);
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
}

void Worksheet::load(std::string text) {
  auto held = std::make_shared<std::string>(utf8Part(std::move(text), part_));
  std::optional<TextSpan> content = sheetDataContent(*held);
  if (!content) {
    // The parser says what is wrong; a text it reads is printed regularly and found in.
    pugi::xml_document whole;
    loadXml(whole, *held, part_);
    checkRoot(whole, part_);
    *held = printedXml(whole);
    content = sheetDataContent(*held);
    if (!content) throw partError(part_, "its sheetData cannot be read");
  }
  // The part without the rows: small, parsed and kept whole.
  std::string rest = held->substr(0, content->begin);
  rest.append(*held, content->end);
  readRest(rest);
  rest = std::string();
  text_ = held;
  cells_.setRowReader(this);
  // The rows again, a batch at a time.
  std::vector<TextSpan> batch;
  std::uint32_t previousRow = 0;
  sheetDataContent(*held, [&](TextSpan row) {
    if (!batch.empty() && row.end - batch.front().begin > kBatchBytes) {
      keepRows(batch, *held, 0, previousRow);
      batch.clear();
    }
    batch.push_back(row);
  });
  if (!batch.empty()) keepRows(batch, *held, 0, previousRow);
}

void Worksheet::load(std::shared_ptr<const ZipPackage> package) {
  bool streamed = false;
  try {
    PartStream stream(*package, part_);
    ElementScanner scanner(1, "sheetData", "row");
    std::string window;  // the part's bytes from `windowAt` on, as far as read
    std::size_t windowAt = 0;
    std::string rest;        // the part without the rows of its sheetData
    bool restBegun = false;  // the bytes before the rows are in `rest`
    std::vector<TextSpan> batch;
    std::uint32_t previousRow = 0;
    auto takeStart = [&] {
      if (restBegun || !scanner.contentBegin()) return;
      // Rows without a height follow the sheet's default visibility, which comes before them.
      rest = window.substr(0, *scanner.contentBegin() - windowAt);
      ElementScanner start(0, "worksheet", "sheetFormatPr");
      bool first = true;
      start.scan(rest, false, [&](TextSpan f) {
        if (!std::exchange(first, false)) return;
        pugi::xml_document format;
        loadXml(format, rest.substr(f.begin, f.end - f.begin), part_);
        format_ = formatOf(format.document_element());
      });
      restBegun = true;
    };
    auto each = [&](TextSpan row) {
      takeStart();
      if (!batch.empty() && row.end - batch.front().begin > kBatchBytes) {
        keepRows(batch, window, windowAt, previousRow);
        batch.clear();
      }
      batch.push_back(row);
    };
    bool last = false, checked = false;
    while (!last && !scanner.finished()) {
      const std::size_t had = window.size();
      window.resize(had + kPieceBytes);
      const std::size_t got = stream.read(window.data() + had, kPieceBytes);
      window.resize(had + got);
      last = got == 0;
      if (!checked) {
        // A part in another encoding, or one whose declaration is not read yet, is held whole.
        if (window.find("<?xml") <= 3 && window.find("?>") == std::string::npos && !last) {
          throw NotStreamed{};
        }
        if (!holdsUtf8(window)) throw NotStreamed{};
        checked = true;
      }
      scanner.scan(std::string_view(window).substr(scanner.resume() - windowAt), last, each);
      takeStart();
      // What no row of a batch, no row being read and no later scan needs is dropped.
      std::size_t needed = restBegun ? scanner.resume() : 0;
      if (const std::optional<std::size_t> open = scanner.openChild())
        needed = std::min(needed, *open);
      if (!batch.empty()) needed = std::min(needed, batch.front().begin);
      if (scanner.content()) needed = std::min(needed, scanner.content()->end);
      if (needed - windowAt > kPieceBytes) {
        window.erase(0, needed - windowAt);
        windowAt = needed;
      }
    }
    const std::optional<TextSpan> content = scanner.content();
    if (!content) throw NotStreamed{};  // the parser says what is wrong
    if (!batch.empty()) keepRows(batch, window, windowAt, previousRow);
    // The bytes after the rows, to the part's end.
    rest.append(window, content->end - windowAt);
    window = std::string();
    char piece[kPieceBytes];
    while (const std::size_t got = stream.read(piece, sizeof piece)) rest.append(piece, got);
    readRest(rest);
    streamed = true;
  } catch (const EngineError&) {
  } catch (const NotStreamed&) {
  }
  if (!streamed) {
    // Read whole: a fault is told as it always is, in the same order.
    *this = Worksheet(part_);
    load(package->read(part_));
    return;
  }
  package_ = std::move(package);
  cells_.setRowReader(this);
}

std::unique_ptr<TextCursor> Worksheet::newCursor() const {
  return text_ ? std::make_unique<TextCursor>(text_)
               : std::make_unique<TextCursor>(package_, part_);
}

std::string_view Worksheet::keptElement(const Row& row) {
  if (!reader_) reader_ = newCursor();
  return reader_->at(CellStore::keptOffset(row), CellStore::keptLength(row));
}

void Worksheet::keepRows(const std::vector<TextSpan>& rows, std::string_view text, std::size_t at,
                         std::uint32_t& previousRow) {
  const std::size_t begin = rows.front().begin;
  pugi::xml_document batch;
  const pugi::xml_parse_result result = batch.load_buffer(
      text.data() + (begin - at), rows.back().end - begin, kRowOptions, pugi::encoding_utf8);
  if (!result) {
    throw partError(part_, std::string("not well-formed XML (") + result.description() +
                               " at byte " + std::to_string(begin + result.offset) + ")");
  }
  std::size_t index = 0;
  std::string printed;
  for (pugi::xml_node rowNode = batch.first_child(); rowNode; rowNode = rowNode.next_sibling()) {
    if (rowNode.type() != pugi::node_element || localName(rowNode) != "row") continue;
    if (index == rows.size()) break;
    pugi::xml_attribute r = rowNode.attribute("r");
    const unsigned long long number = r ? r.as_ullong(0) : previousRow + 1ull;
    if (number < 1 || number > kMaxRows || number <= previousRow) {
      throw partError(part_, "row " + std::string(r ? r.value() : "without number") +
                                 " lies outside the sheet or out of order");
    }
    previousRow = static_cast<std::uint32_t>(number);
    const TextSpan span = rows[index++];
    Row& row = cells_.keep(previousRow, span.begin, span.end - span.begin);
    if (pugi::xml_attribute ht = rowNode.attribute("ht")) cells_.setHeight(row, ht.as_double(-1));
    row.styled = rowNode.attribute("customFormat").as_bool(false);
    if (row.styled) cells_.setStyle(row, rowNode.attribute("s").as_uint(0));
    row.hidden = rowNode.attribute("hidden").as_bool(format_.rowsHiddenByDefault &&
                                                     !rowNode.attribute("ht"));
    if (!r) rowNode.append_attribute("r") = previousRow;
    readCells(part_, rowNode, previousRow, true, [&](const Cell& cell, pugi::xml_node) {
      if (cell.hadFormula) row.formulas = true;
      if (cell.used) noteUsed(previousRow, cell.column);
    });
    // Most producers write rows as the engine prints them: those go out as bytes.
    printed.clear();
    StringWriter writer(printed);
    rowNode.print(writer, "", pugi::format_raw);
    row.regular = printed == text.substr(span.begin - at, span.end - span.begin);
  }
  if (index != rows.size()) throw partError(part_, "its rows cannot be told apart");
}

void Worksheet::printKept(std::string& out, const Row& row, std::string_view element,
                          pugi::xml_document& scratch) const {
  if (row.regular) {
    out += element;
    return;
  }
  // Written as if it had been read into cells and left as it was.
  scratch.load_buffer(element.data(), element.size(), kRowOptions, pugi::encoding_utf8);
  pugi::xml_node rowNode = scratch.first_child();
  while (rowNode && rowNode.type() != pugi::node_element) rowNode = rowNode.next_sibling();
  if (!rowNode.attribute("r")) rowNode.append_attribute("r") = row.number;
  readCells(part_, rowNode, row.number, true, [](const Cell&, pugi::xml_node) {});
  StringWriter writer(out);
  rowNode.print(writer, "", pugi::format_raw);
}

void Worksheet::read(Row& row, std::uint64_t offset, std::size_t length) {
  if (!reader_) reader_ = newCursor();
  const std::string_view element = reader_->at(offset, length);
  if (!rowsRoot_) rowsRoot_ = rows_.append_child("rows");
  // The element was parsed when the sheet was read: it parses again.
  if (!rowsRoot_.append_buffer(element.data(), element.size(), kRowOptions, pugi::encoding_utf8)) {
    throw partError(part_, "row " + std::to_string(row.number) + " cannot be read");
  }
  pugi::xml_node rowNode = rowsRoot_.last_child();
  while (rowNode && rowNode.type() != pugi::node_element) rowNode = rowNode.previous_sibling();
  if (!rowNode.attribute("r")) rowNode.append_attribute("r") = row.number;
  cells_.setOriginal(row, rowNode.internal_object());
  readCells(part_, rowNode, row.number, true, [&](Cell cell, pugi::xml_node c) {
    cells_.setOriginal(cell, c.internal_object());
    cells_.append(row, cell);
  });
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
  if (const Row* r = cells_.row(row); r != nullptr && r->styled) return cells_.style(*r);
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

// Appends one cell that the engine wrote. Its own function with every append inlined into it:
// inlined into the sheet's saver, whose loop is large, the appends became calls.
[[gnu::noinline, gnu::flatten]] void appendCell(std::string& out, const CellTags& tags,
                                                std::string_view row, const Cell& cell,
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
    pugi::xml_document scratch;          // a kept row printed anew
    std::unique_ptr<TextCursor> cursor;  // the kept rows' bytes, in order
  };
  auto state = std::make_shared<State>();
  state->prefix = prefixOf(sheetData_);
  state->tags = std::make_unique<CellTags>(state->prefix);
  // One row per call: a row the fill did not change goes out as it was read.
  return writeAround(document_, sheetData_, 1u << 18, [this, state](std::string& chunk) {
    if (state->nextRow > cells_.lastRow()) {
      // The part read to its end: a part damaged since it was read fails the save.
      if (state->cursor) state->cursor->finish();
      return false;
    }
    const Row* row = cells_.row(state->nextRow++);
    if (row == nullptr) return true;
    if (row->kept) {
      if (!state->cursor) state->cursor = newCursor();
      printKept(chunk, *row,
                state->cursor->at(CellStore::keptOffset(*row), CellStore::keptLength(*row)),
                state->scratch);
      return true;
    }
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
