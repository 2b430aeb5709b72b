#pragma once
// Reading a description file in one pass: its members other than "rows" kept as values, its
// rows encoded into records as they are read, so that neither the document nor a row is ever
// held.

#include <cstddef>
#include <filesystem>
#include <optional>

#include "host/description.h"

namespace qx::host {

// The members of a description as read.
struct DescriptionMembers {
  Json root = Json::object();  // "rows" is an empty array when it is one
  bool rootIsObject = false;
  std::optional<std::size_t> nonObjectRow;   // the first row that is no object
  const RecordLayout* rowsLayout = nullptr;  // what the rows were encoded with
  std::size_t rowCount = 0;
};

// Reads `file` (named as the user named it, which messages show) into d.rows, d.rowPictures
// and d.rowRefusal, and returns its members. `layout`: the rows' layout, or null to take it
// from the exporter named before the rows. Members named twice keep the last value at the
// first one's place, as a parsed document would. A file that cannot be read or is no JSON is
// refused with a DescriptionError.
DescriptionMembers readDescription(const std::filesystem::path& file, Description& d,
                                   const RecordLayout* layout, JsonReading reading);

}  // namespace qx::host
