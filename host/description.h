#pragma once
// A report description: one JSON file naming the exporter, the template, an optional picture,
// the header record's fields and one object of fields per row record, by the names of the
// record tables. Texts are UTF-8 in the file and GBK in the records.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/field_tables.h"
#include "host/record_list.h"

namespace qx::host {

using Json = nlohmann::ordered_json;

// A description the host refuses; the text names the field and its line.
class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A refusal found while reading, told only if nothing else is refused first.
struct Refusal {
  std::string pointer;  // JSON pointer of the field, "/rows/3/text_c"
  std::string what;
};

// A row's picture_path as written (UTF-8, relative to the description's folder or absolute).
struct RowPicture {
  std::size_t row;
  std::string path;
};

struct Description {
  std::filesystem::path file;    // what is read (standard input's copy for "-")
  std::string name;              // how messages name it: the path as given, or "-"
  std::filesystem::path folder;  // relative paths are taken from here
  std::string exporter;          // heron, vellum, vellum_x, kestrel, tamarack
  std::filesystem::path templatePath;
  std::optional<std::filesystem::path> picture;
  Json header;
  // The row records in the exporter's row layout, encoded while the file was read; their
  // next fields are left to the host.
  RecordList rows;
  std::vector<RowPicture> rowPictures;  // the rows whose picture_path is a non-empty text
  std::optional<Refusal> rowRefusal;    // the first row field refused, in file order

  // The line of a JSON pointer, or of its nearest enclosing member. Reads the file again:
  // lines are only looked up for a message.
  int lineOf(const std::string& pointer) const;

  // Throws the DescriptionError of rowRefusal, if any.
  void checkRows() const;
};

// How the JSON text is read: with RapidJSON, and with nlohmann again from the start wherever
// RapidJSON stops (what the host does), or with nlohmann alone (which the first must always
// agree with, refusals and their words included).
enum class JsonReading { Fast, NlohmannAlone };

// Where a description comes from: its file, how messages name it, and the folder relative
// paths are taken from.
struct DescriptionSource {
  std::filesystem::path file;
  std::string name;
  std::filesystem::path folder;
};

// Reads and checks a description in one pass over the file, encoding each row as it is read
// (a description that names its exporter after the rows is read twice). Relative paths are
// taken from the file's folder. A missing file, a folder or an unreadable one, structure and
// syntax are refused here; a refused row field is kept in rowRefusal, to be told after the
// checks of the files the description names.
Description loadDescription(const std::filesystem::path& file,
                            JsonReading reading = JsonReading::Fast);
Description loadDescription(const DescriptionSource& source,
                            JsonReading reading = JsonReading::Fast);

// The row layout of an exporter, or null for a name that is none.
const RecordLayout* rowLayoutOf(const std::string& exporter);

// Refuses a picture the exporter would not place, and a missing one it needs (heron always
// places one; vellum and vellum_x when picture_flag is set).
void checkPictureUse(const Description& description);

// Lays `fields` out as `layout`, one record of layout.size bytes. Unknown fields, values of the
// wrong kind, texts that code page 936 cannot hold or that do not fit their slot, and address
// fields (which the host sets itself) are refused with the field's name and line. Fields named
// "*_path" hold paths, taken relative to the description's folder.
std::vector<std::uint8_t> encodeRecord(const Description& description, const RecordLayout& layout,
                                       const Json& fields, const std::string& pointer);

// Writes an address into a record built by encodeRecord or read with the description.
void storeAddress(std::span<std::uint8_t> record, std::size_t offset, std::size_t width,
                  std::uintptr_t address);

}  // namespace qx::host
