// The workbook's tables and pivot tables as they describe cells of its worksheets, and the
// renaming of a table column with the formulas that refer to it.

#include "engine/package/structured_references.h"
#include "engine/package/workbook.h"
#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
std::string_view kindOf(const Relationship& link) {
  const std::string_view type = link.type;
  return type.substr(type.rfind('/') + 1);
}

// The range a pivot table part lays its cells out in; nullopt when the part says none.
std::optional<CellRect> pivotTableRange(std::string_view text, const std::string& part) {
  pugi::xml_document document;
  try {
    loadXml(document, text, part);
  } catch (const EngineError&) {
    return std::nullopt;
  }
  return parseRangeReference(
      attributeNamed(childNamed(document.document_element(), "location"), "ref"));
}

// Parts besides sheets and tables whose formulas may name a table's column: the workbook's
// defined names, charts' series, pivot caches' calculated items. The engine rewrites none.
bool holdsOtherFormulas(std::string_view contentType) {
  return contentType.ends_with(".main+xml") || contentType.ends_with("drawingml.chart+xml") ||
         contentType.ends_with("pivotCacheDefinition+xml") ||
         contentType.ends_with("pivotTable+xml") || contentType.ends_with("externalLink+xml");
}

// Whether any text of the XML part refers to the table's column by name.
bool partRefersTo(std::string_view bytes, const std::string& part, const TablePart& table,
                  std::string_view column) {
  if (foldedName(bytes).find(foldedName(table.name()) + "[") == std::string::npos) return false;
  pugi::xml_document document;
  try {
    loadXml(document, bytes, part);
  } catch (const EngineError&) {
    return false;
  }
  struct Finder : pugi::xml_tree_walker {
    const TablePart* table;
    std::string_view column;
    bool found = false;
    bool for_each(pugi::xml_node& node) override {
      if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
        found = refersToColumn(node.value(), table->name(), column);
      }
      return !found;
    }
  } finder;
  finder.table = &table;
  finder.column = column;
  document.traverse(finder);
  return finder.found;
}

// Rewrites the references to the column in the formulas the sheet's cells hold. Rows the run
// left alone are read into cells only when they hold a formula that names the table.
void renameInSheet(Worksheet& sheet, const TablePart& table, std::string_view from,
                   std::string_view to) {
  CellStore& cells = sheet.cells();
  const std::string tableName = foldedName(table.name()) + "[";
  bool changed = false;
  for (std::uint32_t number = 1; number <= cells.lastRow(); ++number) {
    const Row* record = cells.row(number);
    if (record == nullptr || !record->formulas) continue;
    if (record->kept &&
        foldedName(sheet.keptElement(*record)).find(tableName) == std::string::npos) {
      continue;
    }
    Row* row = cells.readRow(number);
    for (const Cell& cell : row->cells()) {
      pugi::xml_node_struct* original = cell.hadFormula ? cells.originalOf(cell) : nullptr;
      if (original == nullptr) continue;
      pugi::xml_node formula = childNamed(pugi::xml_node(original), "f");
      std::string text = formula.text().get();
      if (renameColumnReferences(text, table.name(), from, to)) {
        formula.text().set(text.c_str());
        changed = true;
      }
    }
  }
  if (changed) sheet.markChanged();
}
}  // namespace

TablePart* Workbook::tablePart(const std::string& part) {
  auto& slot = tables_[normalisePartName(part)];
  if (!slot && package_->contains(part)) {
    auto table = std::make_unique<TablePart>(part);
    try {
      table->load(package_->read(part));
      slot = std::move(table);
    } catch (const EngineError&) {
      return nullptr;
    }
  }
  return slot.get();
}

SheetDescriptions& Workbook::descriptionsOf(const Worksheet& sheet) {
  auto& slot = describedCells_[sheet.part()];
  if (slot) return *slot;
  slot = std::make_unique<SheetDescriptions>();
  Relationships& links = relationshipsOf(sheet.part());
  for (const Relationship& link : links.all()) {
    if (link.external) continue;
    const std::string part = links.partOf(link);
    if (kindOf(link) == "table") {
      if (TablePart* table = tablePart(part)) slot->addTable(*table);
    } else if (kindOf(link) == "pivotTable" && package_->contains(part)) {
      if (const std::optional<CellRect> range = pivotTableRange(package_->read(part), part)) {
        slot->addPivotTable(part, *range);
      }
    }
  }
  return *slot;
}

std::vector<TablePart*> Workbook::allTables() {
  std::vector<TablePart*> tables;
  for (const SheetEntry& sheet : sheets_) {
    if (sheet.kind != "worksheet") continue;
    Relationships& links = relationshipsOf(sheet.part);
    for (const Relationship& link : links.all()) {
      if (link.external || kindOf(link) != "table") continue;
      if (TablePart* table = tablePart(links.partOf(link))) tables.push_back(table);
    }
  }
  return tables;
}

void Workbook::renameTableColumn(TablePart& table, std::size_t column, const std::string& name) {
  const std::string old = table.columnName(column);
  if (old == name) return;
  const std::string tableName = foldedName(table.name()) + "[";
  for (std::size_t i = 0; i < package_->entryCount(); ++i) {
    const std::string& entry = package_->entryName(i);
    if (!holdsOtherFormulas(contentTypes_.typeOf(entry))) continue;
    if (partRefersTo(package_->read(entry), entry, table, old)) {
      throw EngineError("the cell " + cellName(table.headerRow(), table.range().left + column) +
                        " heads column '" + old + "' of table '" + table.name() + "', which " +
                        entry + " refers to by name; renaming the column would break it there");
    }
  }
  for (std::size_t index = 0; index < sheets_.size(); ++index) {
    if (sheets_[index].kind != "worksheet") continue;
    // A sheet not read yet is read only when its part names the table at all.
    if (worksheets_.count(index) == 0 &&
        foldedName(package_->read(sheets_[index].part)).find(tableName) == std::string::npos) {
      continue;
    }
    renameInSheet(worksheet(index), table, old, name);
  }
  for (TablePart* other : allTables()) {
    if (other->mentions(table.name())) other->renameReferences(table.name(), old, name);
  }
  table.rename(column, name);
}

}  // namespace qx::engine
