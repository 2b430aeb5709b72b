#pragma once
// The exporters' one way to a sheet: cells written through the session's used range, frames
// through its sheet, rows counted in 64 bits and refused with the policy's error where they
// name no cell.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/messages.h"
#include "report/exporter_policy.h"
#include "report/sheet_writing.h"
#include "report/workbook_session.h"

namespace qx::report {

class Table {
 public:
  // Works on `session`'s sheet and used range, which the template opened; the run owns all
  // three.
  Table(WorkbookSession& session, const ExporterPolicy& policy, platform::Messages& messages)
      : session_(session), policy_(policy), messages_(messages) {}
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // The text (code page 936) into (row, column) counted from the used range's top-left cell,
  // through arguments reused from cell to cell.
  void write(std::int64_t row, int column, std::string_view text);
  // The same with a text already in UTF-16.
  void write(std::int64_t row, int column, std::u16string_view text);

  // Frames the cell at (column, row) of the sheet with `weight`; its range is held until the
  // next frame or release().
  void frame(int column, std::int64_t row, std::int32_t weight);

  // What the cell at (row, column) of the used range shows (code page 936); empty for nothing.
  std::string readText(std::int64_t row, int column);

  // Moves on to the next worksheet (not activated) and its own used range; false, with the
  // sheet kept, after the last one.
  bool nextSheet();

  // Places the picture file over the block between the two corner texts, in the policy's
  // style; false, after the style's message, when the file does not exist.
  bool placePicture(std::string_view corner1, std::string_view corner2,
                    std::string_view picturePath);
  // The same over the one cell at (column, row) of the sheet.
  bool placePicture(int column, std::int64_t row, std::string_view picturePath);

  // Releases the range of the last frame.
  void release() { framed_.release(); }

 private:
  WorkbookSession& session_;
  const ExporterPolicy& policy_;
  platform::Messages& messages_;
  WrittenCell written_;
  FramedCell framed_;
};

}  // namespace qx::report
