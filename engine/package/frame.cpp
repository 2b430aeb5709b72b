#include "engine/package/frame.h"

#include <array>
#include <cstdio>

#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
constexpr std::int32_t kDash = -4115, kDashDot = 4, kDashDotDot = 5, kDot = -4118, kDouble = -4119,
                       kSlantDashDot = 13, kLineNone = -4142;
constexpr std::int32_t kColorIndexAutomatic = -4105, kColorIndexNone = -4142;

std::string styleFor(std::int32_t lineStyle, std::int32_t weight) {
  const bool medium = weight == kWeightMedium || weight == kWeightThick;
  switch (lineStyle) {
    case kLineContinuous:
      switch (weight) {
        case kWeightHairline:
          return "hair";
        case kWeightThin:
          return "thin";
        case kWeightMedium:
          return "medium";
        default:
          return "thick";
      }
    case kDash:
      return medium ? "mediumDashed" : "dashed";
    case kDashDot:
      return medium ? "mediumDashDot" : "dashDot";
    case kDashDotDot:
      return medium ? "mediumDashDotDot" : "dashDotDot";
    case kDot:
      return weight == kWeightHairline ? "hair" : "dotted";
    case kDouble:
      return "double";
    case kSlantDashDot:
      return "slantDashDot";
    case kLineNone:
      return "";
    default:
      throw EngineError("BorderAround: " + std::to_string(lineStyle) +
                        " is not a line style of the object model");
  }
}
}  // namespace

void checkBorderWeight(std::int32_t weight) {
  if (weight != kWeightHairline && weight != kWeightThin && weight != kWeightMedium &&
      weight != kWeightThick) {
    throw EngineError("unable to set the Weight property of the Border class (" +
                      std::to_string(weight) +
                      " is none of 1 hairline, 2 thin, -4138 medium, 4 thick)");
  }
}

BorderLine borderLine(const FrameLine& frame) {
  checkBorderWeight(frame.weight);
  BorderLine line;
  line.style = styleFor(frame.lineStyle, frame.weight);
  const std::optional<std::int64_t>& index = frame.colorIndex;
  if (frame.color) {
    const std::uint32_t bgr = *frame.color;
    char text[16];
    std::snprintf(text, sizeof text, "FF%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF,
                  (bgr >> 16) & 0xFF);
    line.colorAttribute = "rgb";
    line.colorValue = text;
  } else if (index && *index >= 1 && *index <= 56) {
    // Palette entries 1..56 are indexed colours 8..63.
    line.colorAttribute = "indexed";
    line.colorValue = std::to_string(*index + 7);
  } else if (!index || *index == kColorIndexAutomatic || *index == kColorIndexNone) {
    line.colorAttribute = "indexed";
    line.colorValue = "64";  // the system foreground: automatic
  } else {
    throw EngineError("BorderAround: " + std::to_string(*index) +
                      " is not a colour index of the palette (1 to 56)");
  }
  return line;
}

std::uint32_t borderLineId(Workbook& workbook, const FrameLine& frame) {
  if (Styles* styles = workbook.stylesIfAny()) return styles->lineId(frame, borderLine);
  // Nothing can be framed without a styles part; a wrong argument is still reported first.
  borderLine(frame);
  return workbook.styles().lineId(frame, borderLine);
}

void frameRange(Workbook& workbook, Worksheet& sheet, const CellRect& rect, std::uint32_t line) {
  Styles& styles = workbook.styles();
  auto frameCell = [&](std::uint32_t row, std::uint32_t column) {
    unsigned edges = 0;
    if (row == rect.top) edges |= kTop;
    if (row == rect.bottom) edges |= kBottom;
    if (column == rect.left) edges |= kLeft;
    if (column == rect.right) edges |= kRight;
    Cell& cell = sheet.touchCell(row, column);
    const std::uint32_t style = styles.framed(cell.style, edges, line);
    if (style != cell.style) {
      cell.style = cellStyle(style);
      if (pugi::xml_node_struct* original = sheet.cells().originalOf(cell)) {
        pugi::xml_node node(original);
        pugi::xml_attribute s = node.attribute("s");
        if (!s) s = node.append_attribute("s");
        s.set_value(style);
      }
    }
    cell.used = true;
    sheet.noteUsed(row, column);
  };
  sheet.markChanged();
  for (std::uint32_t column = rect.left; column <= rect.right; ++column) {
    frameCell(rect.top, column);
    if (rect.bottom != rect.top) frameCell(rect.bottom, column);
  }
  for (std::uint32_t row = rect.top + 1; row < rect.bottom; ++row) {
    frameCell(row, rect.left);
    if (rect.right != rect.left) frameCell(row, rect.right);
  }
}

}  // namespace qx::engine
