#include "host/description.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/description_reader.h"
#include "host/field_encoding.h"
#include "host/json_lines.h"

namespace qx::host {

namespace {

[[noreturn]] void refuse(const Description& d, const std::string& pointer,
                         const std::string& what) {
  throw DescriptionError(d.name + ": " + pointer + " (line " + std::to_string(d.lineOf(pointer)) +
                         "): " + what);
}

std::filesystem::path resolve(const Description& d, const std::string& utf8) {
  std::filesystem::path path(utf8);
  return path.is_absolute() ? path : d.folder / path;
}

// The value of a parsed member, as the parser gave it.
FieldValue valueOf(const Json& value) {
  FieldValue v;
  switch (value.type()) {
    case Json::value_t::number_integer:
      v.kind = FieldValue::Kind::Integer;
      v.integer = value.get<std::int64_t>();
      break;
    case Json::value_t::number_unsigned:
      v.kind = FieldValue::Kind::Unsigned;
      v.unsignedInteger = value.get<std::uint64_t>();
      break;
    case Json::value_t::number_float:
      v.kind = FieldValue::Kind::Float;
      v.number = value.get<double>();
      break;
    case Json::value_t::string:
      v.kind = FieldValue::Kind::Text;
      v.text = value.get_ref<const std::string&>();
      break;
    default:
      break;
  }
  return v;
}

void storeBits(std::uint8_t* at, std::uint64_t bits, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) at[i] = (bits >> (8 * i)) & 0xFF;
}

Refusal refusalOf(const std::string& pointer, std::string_view name, std::string what) {
  return Refusal{pointer + "/" + escapePointerToken(std::string(name)), std::move(what)};
}

// Lays `fields` out into `record` (layout.size zero bytes); the first field refused, if any.
std::optional<Refusal> encodeFields(const Description& d, const RecordLayout& layout,
                                    const Json& fields, const std::string& pointer,
                                    std::uint8_t* record) {
  const std::filesystem::path& folder = d.folder;
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    const FieldSpec* spec = layout.find(it.key());
    if (spec == nullptr) return refusalOf(pointer, it.key(), unknownFieldRefusal(layout));
    if (auto what = encodeField(*spec, valueOf(it.value()), folder, record, layout.cellText)) {
      return refusalOf(pointer, it.key(), std::move(*what));
    }
  }
  return std::nullopt;
}

// The checks of the members, in the order they are told.
void takeMembers(Description& d, const DescriptionMembers& members) {
  const Json& root = members.root;
  if (!members.rootIsObject) refuse(d, "", "the description must be a JSON object");
  for (auto it = root.begin(); it != root.end(); ++it) {
    const std::string& key = it.key();
    if (key != "exporter" && key != "template" && key != "picture" && key != "header" &&
        key != "rows" && key != "comment") {
      refuse(d, "/" + key, "unknown member");
    }
  }
  if (!root.contains("exporter") || !root["exporter"].is_string()) {
    refuse(d, "/exporter", "must name the exporter (heron, vellum, vellum_x, kestrel, tamarack)");
  }
  d.exporter = root["exporter"].get<std::string>();
  if (rowLayoutOf(d.exporter) == nullptr) {
    refuse(d, "/exporter", "unknown exporter \"" + d.exporter + "\"");
  }
  if (!root.contains("template") || !root["template"].is_string()) {
    refuse(d, "/template", "must name the template workbook");
  }
  d.templatePath = resolve(d, root["template"].get<std::string>());
  if (root.contains("picture")) {
    if (!root["picture"].is_string()) refuse(d, "/picture", "must be a file name");
    d.picture = resolve(d, root["picture"].get<std::string>());
  }
  d.header = root.value("header", Json::object());
  if (!d.header.is_object()) refuse(d, "/header", "must be an object of fields");
  if (!root.value("rows", Json::array()).is_array()) {
    refuse(d, "/rows", "must be an array of records");
  }
  if (members.nonObjectRow) {
    refuse(d, "/rows/" + std::to_string(*members.nonObjectRow), "must be an object");
  }
}

// A description that is no readable file is refused with the reason, by the name given.
void checkReadable(const DescriptionSource& source) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(source.file, error);
  std::string why;
  if (!std::filesystem::exists(status)) {
    why = "no such file";
  } else if (std::filesystem::is_directory(status)) {
    why = "is a folder, not a report description";
  } else if (::access(source.file.c_str(), R_OK) != 0) {
    why = std::string("cannot be read: ") + std::strerror(errno);
  }
  if (!why.empty()) throw DescriptionError(source.name + ": " + why);
}

}  // namespace

const RecordLayout* rowLayoutOf(const std::string& exporter) {
  if (exporter == "heron") return &checkPointRow();
  if (exporter == "vellum" || exporter == "vellum_x") return &groupTableRow();
  if (exporter == "kestrel") return &dualSpecRow();
  if (exporter == "tamarack") return &resultRow();
  return nullptr;
}

void checkPictureUse(const Description& d) {
  if (d.exporter == "heron" && !d.picture) {
    refuse(d, "/picture", "heron always places a picture at picture_cell1:picture_cell2; name one");
  }
  if ((d.exporter == "kestrel" || d.exporter == "tamarack") && d.picture) {
    refuse(d, "/picture",
           d.exporter == "kestrel" ? "kestrel places no picture"
                                   : "tamarack places a picture per row, from the row's "
                                     "picture_path");
  }
  const bool flagged = d.header.contains("picture_flag") && d.header["picture_flag"].is_number() &&
                       d.header["picture_flag"].get<double>() != 0;
  if ((d.exporter == "vellum" || d.exporter == "vellum_x") && flagged && !d.picture) {
    refuse(d, "/header/picture_flag", "asks for a picture; name it in \"picture\"");
  }
}

int Description::lineOf(const std::string& pointer) const {
  return memberLine(file, pointer);
}

void Description::checkRows() const {
  if (rowRefusal) refuse(*this, rowRefusal->pointer, rowRefusal->what);
}

Description loadDescription(const std::filesystem::path& file, JsonReading reading) {
  const std::filesystem::path absolute = std::filesystem::absolute(file);
  return loadDescription(DescriptionSource{absolute, file.string(), absolute.parent_path()},
                         reading);
}

Description loadDescription(const DescriptionSource& source, JsonReading reading) {
  checkReadable(source);
  const auto fresh = [&] {
    Description d;
    d.file = source.file;
    d.name = source.name;
    d.folder = source.folder;
    return d;
  };
  Description d = fresh();
  const DescriptionMembers members = readDescription(source.file, d, nullptr, reading);
  takeMembers(d, members);
  const RecordLayout* layout = rowLayoutOf(d.exporter);
  if (members.rowCount == 0 || members.rowsLayout == layout) return d;

  // The rows came before the exporter that names their layout: read them again with it.
  Description again = fresh();
  takeMembers(again, readDescription(source.file, again, layout, reading));
  return again;
}

std::vector<std::uint8_t> encodeRecord(const Description& d, const RecordLayout& layout,
                                       const Json& fields, const std::string& pointer) {
  std::vector<std::uint8_t> record(layout.size, 0);
  if (const auto refusal = encodeFields(d, layout, fields, pointer, record.data())) {
    refuse(d, refusal->pointer, refusal->what);
  }
  return record;
}

void storeAddress(std::span<std::uint8_t> record, std::size_t offset, std::size_t width,
                  std::uintptr_t address) {
  storeBits(record.data() + offset, static_cast<std::uint64_t>(address), width);
}

}  // namespace qx::host
