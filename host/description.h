#pragma once
// A report description: one JSON file naming the exporter, the template, an optional picture,
// the header record's fields and one object of fields per row record, by the names of the
// record tables. Texts are UTF-8 in the file and GBK in the records.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/field_tables.h"

namespace qx::host {

using Json = nlohmann::ordered_json;

// A description the host refuses; the text names the field and its line.
class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Description {
  std::filesystem::path file;
  std::string exporter;  // heron, vellum, vellum_x, kestrel, tamarack
  std::filesystem::path templatePath;
  std::optional<std::filesystem::path> picture;
  Json header;
  std::vector<Json> rows;
  std::map<std::string, int> lines;  // JSON pointer ("/rows/2/field_a") -> line

  // The line of a JSON pointer, or of its nearest enclosing member.
  int lineOf(const std::string& pointer) const;
};

// Reads and checks a description; relative paths are taken from the file's folder.
Description loadDescription(const std::filesystem::path& file);

// Refuses a picture the exporter would not place, and a missing one it needs (heron always
// places one; vellum and vellum_x when picture_flag is set).
void checkPictureUse(const Description& description);

// Lays `fields` out as `layout`, one record of layout.size bytes. Unknown fields, values of the
// wrong kind, texts that code page 936 cannot hold or that do not fit their slot, and address
// fields (which the host sets itself) are refused with the field's name and line. Fields named
// "*_path" hold paths, taken relative to the description's folder.
std::vector<std::uint8_t> encodeRecord(const Description& description, const RecordLayout& layout,
                                       const Json& fields, const std::string& pointer);

// Writes an address into a record built by encodeRecord.
void storeAddress(std::vector<std::uint8_t>& record, std::size_t offset, std::size_t width,
                  std::uintptr_t address);

}  // namespace qx::host
