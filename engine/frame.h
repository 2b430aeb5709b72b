#pragma once
// Range.BorderAround: the outline of a rectangle of cells, drawn on copies of their styles.

#include <cstdint>

#include "automation/variant.h"
#include "engine/styles.h"
#include "engine/workbook.h"

namespace qx::engine {

// Border weight codes of the object model.
inline constexpr std::int32_t kWeightHairline = 1;
inline constexpr std::int32_t kWeightThin = 2;
inline constexpr std::int32_t kWeightMedium = -4138;
inline constexpr std::int32_t kWeightThick = 4;

// The line the arguments of BorderAround describe: line style (missing: continuous), weight
// code, palette colour index and RGB colour (0x00BBGGRR; it wins over the index when given).
// EngineError for a weight or line style the object model does not know.
BorderLine borderLine(const automation::Variant& lineStyle, std::int32_t weight,
                      const automation::Variant& colorIndex, const automation::Variant& color);

// Draws the outline of `rect`: each cell on it gets the edges that lie on the outline.
void frameRange(Workbook& workbook, Worksheet& sheet, const CellRect& rect, std::uint32_t line);

// The styles' id of the line those arguments describe, found in constant time for arguments
// seen before (every frame of a report passes the same ones).
std::uint32_t borderLineId(Workbook& workbook, const automation::Variant& lineStyle,
                           std::int32_t weight, const automation::Variant& colorIndex,
                           const automation::Variant& color);

}  // namespace qx::engine
