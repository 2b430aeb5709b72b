#pragma once
// What each exporter cannot do without, checked on a description whose fields are already of
// the right kind: a field the exporter needs and would otherwise take as 0 (a frame of weight
// 0, a table in row 0) fails deep inside the run, or fills a wrong report without a word.

#include <cstddef>
#include <string>
#include <vector>

#include "host/description.h"

namespace qx::host {

// Refuses, with a DescriptionError naming the field and its line: a missing or wrong border
// weight, start row or (vellum) group column; a shown header text without its cell; picture
// corners that are no cell references; tamarack's last body row above its first with
// pagination; a record count given and different from the rows; vellum without rows (it
// returns at once and fills nothing). `rows` is the number of row records.
void checkRequiredFields(const Description& description, std::size_t rows);

// Warnings for characters of the column specs that take no column (the exporters pass over
// them), one text per spec that has any, naming them.
std::vector<std::string> columnSpecWarnings(const Description& description);

// True for an A1 reference of one cell ("B2", "$B$2", "xfd1048576").
bool isCellReference(const std::string& text);

}  // namespace qx::host
