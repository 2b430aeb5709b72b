#pragma once
// Range.BorderAround: the outline of a rectangle of cells, drawn on copies of their styles.

#include <cstdint>

#include "engine/package/styles.h"
#include "engine/package/workbook.h"

namespace qx::engine {

// The line style a frame has when none is given: continuous.
inline constexpr std::int32_t kLineContinuous = 1;
// Border weight codes of the object model.
inline constexpr std::int32_t kWeightHairline = 1;
inline constexpr std::int32_t kWeightThin = 2;
inline constexpr std::int32_t kWeightMedium = -4138;
inline constexpr std::int32_t kWeightThick = 4;

// EngineError unless the weight is one of the object model's four.
void checkBorderWeight(std::int32_t weight);

// The line the frame line describes as the styles part writes it (the RGB colour wins over the
// index when both are given). EngineError for a weight or line style the object model does not
// know, or a colour index outside the palette.
BorderLine borderLine(const FrameLine& frame);

// Draws the outline of `rect`: each cell on it gets the edges that lie on the outline.
void frameRange(Workbook& workbook, Worksheet& sheet, const CellRect& rect, std::uint32_t line);

// The styles' id of the frame line, found in constant time for frame lines seen before (every
// frame of a report passes the same ones).
std::uint32_t borderLineId(Workbook& workbook, const FrameLine& frame);

}  // namespace qx::engine
