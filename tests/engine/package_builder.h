#pragma once
// Small workbooks for engine tests, written part by part into a zip.

#include <filesystem>
#include <map>
#include <string>

#include "engine/package/chunk_source.h"

namespace qx::testing {

// Part name -> bytes, written in map order (with [Content_Types].xml first).
using Parts = std::map<std::string, std::string>;

// A one-sheet workbook: the sheet's XML is `sheetData` (rows) inside a worksheet with the
// given extra elements before and after sheetData; styles with two cell formats and a "@"
// text format at index 2; shared strings with "old".
Parts minimalWorkbook(const std::string& sheetData = "", const std::string& beforeData = "",
                      const std::string& afterData = "");

// Adds a table part to the first sheet of a minimalWorkbook: `table` is the part's XML after
// the root's attributes, e.g. R"(id="1" name="T" displayName="T" ref="A1:B3"><tableColumns ...)".
void addTable(Parts& parts, const std::string& table);

void writePackage(const std::filesystem::path& file, const Parts& parts);
// Every part of a zip (first entry of a name), decompressed.
Parts readPackage(const std::filesystem::path& file);
// Every entry's stored (compressed) bytes, by name.
std::map<std::string, std::string> readRawEntries(const std::filesystem::path& file);

// What `xpath` selects in `xml`, as the saved part spells it: each element serialised without
// indentation, each attribute as name="value", one after the other; "" when nothing matches.
// Tests compare it whole with the fragment they expect.
std::string xmlFragment(const std::string& xml, const char* xpath);

// Every piece `source` gives, joined: a generated part as it is saved.
std::string drained(const engine::ChunkSource& source);

// A tiny valid PNG (1x1).
std::string tinyPng();

}  // namespace qx::testing
