#pragma once
// Sheet writing: what every exporter fills its sheets with, built from the typed operations.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/automation_object.h"
#include "automation/variant.h"

namespace qx::platform {
class Messages;
}

namespace qx::report {

// Range.Item put: the text (code page 936) into cell (row, column) counted from the range's
// top-left cell; row and column travel as VT_I4, the text as a BSTR.
void writeCell(const automation::AutomationObject& range, int row, int column,
               std::string_view text);

// The room of a written cell's three arguments, reused from cell to cell so that a long text
// is not allocated per cell. Owned by the run, like FramedCell below.
struct WrittenCell {
  automation::Variant arguments[3];
};

// The same call, its arguments built in `cell`'s room.
void writeCell(const automation::AutomationObject& range, int row, int column,
               std::string_view text, WrittenCell& cell);
// The same with the text already in UTF-16.
void writeCell(const automation::AutomationObject& range, int row, int column,
               std::u16string_view text, WrittenCell& cell);

// Range.Item get, then Range.Text of that cell, as a code page 936 text (empty when the cell
// shows nothing). The cell's holder is released before returning.
std::string readCellText(const automation::AutomationObject& range, int row, int column);

// The weight as the server receives it: the low 16 bits, signed, widened to 32 bits.
constexpr std::int32_t borderWeightArgument(std::int32_t weight) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(weight & 0xFFFF));
}

// The one-cell range being framed, kept until the next frame replaces it, the room of its two
// corner texts, reused from frame to frame instead of allocated per cell, and the border's
// arguments, built again only when the weight changes. Owned by the run rather than the
// thread: a library the host unloads leaves no thread-exit work behind.
struct FramedCell {
  automation::AutomationObject range;
  automation::Variant corners[2];
  automation::Variant border[4];
  std::optional<std::int32_t> borderWeight;  // the weight `border` was built for

  void release() { range.release(); }
};

// Frames the cell at (column, row) of the sheet: Worksheet.Range at its absolute address, kept in
// `cell`, then Range.BorderAround on a copy of that holder, released once the border is drawn,
// with line style 1 (VT_I2), the weight, colour index 1 and colour 0 (VT_UI4).
void frameCell(const automation::AutomationObject& sheet, int column, int row, std::int32_t weight,
               FramedCell& cell);

// How an exporter places its picture (its policy names the style).
enum class PictureStyle {
  WholePoints,          // cut the rectangle to whole points; message when the file is missing
  NearestSingle,        // convert the doubles to the nearest single; message when missing
  NearestSingleSilent,  // as above, with no message
};

// The message shown when the picture file does not exist (UTF-8).
inline constexpr std::string_view kMissingPictureMessage = "没有产生图片文件, 将不可以帖图!";

// Places the picture file over the block between the two corner references: 2 points in from
// the left, 3 down from the top, 4 narrower and 4 shorter. Returns false, after the message of
// the style, when the picture file cannot be opened. Releases `sheet` on every path.
bool placePicture(automation::AutomationObject sheet, std::string_view corner1,
                  std::string_view corner2, std::string_view picturePath, PictureStyle style,
                  platform::Messages& messages);

}  // namespace qx::report
