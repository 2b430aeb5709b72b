#pragma once
// One open workbook: its package, the workbook part's sheet list, the styles and shared
// strings, the worksheets loaded so far, and saving it all back in place.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/package/content_types.h"
#include "engine/package/described_cells.h"
#include "engine/package/drawing.h"
#include "engine/package/relationships.h"
#include "engine/package/shared_strings.h"
#include "engine/package/sheet_geometry.h"
#include "engine/package/styles.h"
#include "engine/package/table_part.h"
#include "engine/package/worksheet.h"
#include "engine/package/zip_package.h"

namespace qx::engine {

struct SheetEntry {
  std::string name;
  std::string part;
  std::string kind;  // "worksheet", "chartsheet", "dialogsheet", "macrosheet", ...
};

class Workbook {
 public:
  // Opens the workbook file. EngineError naming the file and what is wrong when it is not an
  // .xlsx, .xlsm, .xltx or .xltm package the engine can read.
  explicit Workbook(std::string path);
  ~Workbook();

  const std::string& path() const { return path_; }
  const std::vector<SheetEntry>& sheets() const { return sheets_; }
  // The sheet of the workbook view's active tab; EngineError when it is no worksheet.
  std::size_t activeSheet() const;
  // The next worksheet after `index` in tab order, if any.
  std::optional<std::size_t> nextWorksheet(std::size_t index) const;
  // The worksheet, loaded at first use.
  Worksheet& worksheet(std::size_t index);

  Styles& styles();
  // Null when the workbook has no styles part.
  Styles* stylesIfAny() { return styles_.get(); }
  // Null when the workbook keeps its texts inline (no shared strings part).
  SharedStrings* sharedStrings() { return sharedStrings_ ? sharedStrings_.get() : nullptr; }
  SheetGeometry geometry(std::size_t index) { return SheetGeometry(worksheet(index), font_); }

  // Embeds the picture file in the sheet's drawing over the rectangle (points).
  void addPicture(std::size_t sheet, const std::string& fileName, double left, double top,
                  double width, double height);
  // A formula was overwritten: the calculation chain no longer matches the cells.
  void noteFormulaRemoved() { formulaRemoved_ = true; }

  // What another part says about the sheet's cell (a table's header or totals row, a pivot
  // table), null when nothing does. The sheet's tables are read at its first write; after
  // that the answer costs constant time for nearly every cell.
  const DescribedCell* describedCell(const Worksheet& sheet, std::uint32_t row,
                                     std::uint32_t column) {
    if (&sheet != describedSheet_) {
      describedSheet_ = &sheet;
      descriptions_ = &descriptionsOf(sheet);
    }
    return descriptions_->at(row, column);
  }
  // Names column `column` of the table `name`, and rewrites every formula of the sheets and
  // tables that refers to it by its old name, as the application does. EngineError, before
  // anything changed, when a part the engine does not rewrite (the workbook's names, a chart,
  // a pivot cache) refers to the column by name.
  void renameTableColumn(TablePart& table, std::size_t column, const std::string& name);

  // Writes the workbook over its file: atomically, untouched parts copied as stored.
  void save();

 private:
  void load();
  Relationships& relationshipsOf(const std::string& part);
  SheetDescriptions& descriptionsOf(const Worksheet& sheet);
  // The table part, read at its first use; null when it cannot be read (a damaged template's
  // table is not described).
  TablePart* tablePart(const std::string& part);
  // Every table part of the workbook's worksheets.
  std::vector<TablePart*> allTables();
  std::string unusedPartName(const std::string& stem, const std::string& extension) const;
  bool partExists(const std::string& part) const;
  // The workbook part, a sheet, the styles or the shared strings.
  bool partInUse(const std::string& part) const;

  std::string path_;
  std::shared_ptr<ZipPackage> package_;  // shared with the sheets that read rows from it
  ContentTypes contentTypes_;
  std::string workbookPart_;
  std::unique_ptr<Relationships> workbookRelationships_;
  std::vector<SheetEntry> sheets_;
  std::size_t activeTab_ = 0;
  std::string stylesPart_;
  std::unique_ptr<Styles> styles_;
  std::unique_ptr<SharedStrings> sharedStrings_;
  std::string sharedStringsPart_;
  DefaultFont font_;
  std::map<std::size_t, std::unique_ptr<Worksheet>> worksheets_;
  // The sheet asked for last: every call on a range asks for its sheet.
  Worksheet* lastWorksheet_ = nullptr;
  std::size_t lastWorksheetIndex_ = 0;
  std::map<std::string, std::unique_ptr<Relationships>> relationships_;  // by source part
  std::map<std::string, std::unique_ptr<Drawing>> drawings_;             // by part
  std::map<std::string, std::string> media_;                             // new parts' bytes
  bool formulaRemoved_ = false;
  std::map<std::string, std::unique_ptr<TablePart>> tables_;                  // by part
  std::map<std::string, std::unique_ptr<SheetDescriptions>> describedCells_;  // by sheet part
  const Worksheet* describedSheet_ = nullptr;  // the sheet describedCell() was asked last
  SheetDescriptions* descriptions_ = nullptr;  // and its descriptions
};

}  // namespace qx::engine
