#pragma once
// Lines in a JSON text, looked up only when a message names one.

#include <cstddef>
#include <filesystem>
#include <string>

namespace qx::host {

// The line of the member that `pointer` ("/rows/2/field_a") names in the JSON file, or of its
// nearest enclosing member; 1 when there is none. Of members named twice, the last one, whose
// value counts.
int memberLine(const std::filesystem::path& file, const std::string& pointer);

// The line holding byte `offset` of the file (the last line past its end).
int lineAtByte(const std::filesystem::path& file, std::size_t offset);

// `key` as a JSON pointer token: "~" as "~0", "/" as "~1".
std::string escapePointerToken(const std::string& key);

}  // namespace qx::host
