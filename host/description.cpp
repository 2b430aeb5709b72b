#include "host/description.h"

#include <fstream>
#include <sstream>

#include "platform/code_page.h"
#include "platform/paths.h"

namespace qx::host {

namespace {

// Lines of every object key in document order, found by a small scan of the raw text.
std::vector<int> keyLines(const std::string& text) {
  std::vector<int> lines;
  int line = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') ++line;
    if (text[i] != '"') continue;
    const int start = line;
    for (++i; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\') ++i;
      if (i < text.size() && text[i] == '\n') ++line;
    }
    std::size_t j = i + 1;
    while (j < text.size() &&
           (text[j] == ' ' || text[j] == '\t' || text[j] == '\r' || text[j] == '\n')) {
      ++j;
    }
    if (j < text.size() && text[j] == ':') lines.push_back(start);
  }
  return lines;
}

std::string escapePointerToken(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out += c;
    }
  }
  return out;
}

void assignLines(const Json& value, const std::string& pointer, const std::vector<int>& keys,
                 std::size_t& next, std::map<std::string, int>& lines) {
  if (value.is_object()) {
    for (const auto& [key, member] : value.items()) {
      const std::string path = pointer + "/" + escapePointerToken(key);
      if (next < keys.size()) lines[path] = keys[next];
      ++next;
      assignLines(member, path, keys, next, lines);
    }
  } else if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) {
      assignLines(value[i], pointer + "/" + std::to_string(i), keys, next, lines);
    }
  }
}

[[noreturn]] void refuse(const Description& d, const std::string& pointer,
                         const std::string& what) {
  throw DescriptionError(d.file.string() + ": " + pointer + " (line " +
                         std::to_string(d.lineOf(pointer)) + "): " + what);
}

std::filesystem::path resolve(const Description& d, const std::string& utf8) {
  std::filesystem::path path(utf8);
  return path.is_absolute() ? path : d.file.parent_path() / path;
}

// UTF-8 to GBK, refusing what code page 936 cannot hold.
std::optional<std::string> strictGbk(const std::string& utf8) {
  const std::string gbk = platform::utf8ToGbk(utf8);
  if (platform::gbkToUtf8(gbk) != utf8) return std::nullopt;
  return gbk;
}

}  // namespace

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
  std::string p = pointer;
  while (!p.empty()) {
    if (auto it = lines.find(p); it != lines.end()) return it->second;
    p.erase(p.rfind('/'));
  }
  return 1;
}

Description loadDescription(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw DescriptionError(file.string() + ": cannot be read");
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();

  Description d;
  d.file = std::filesystem::absolute(file);
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& error) {
    const std::size_t at = std::min<std::size_t>(error.byte, text.size());
    const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
    throw DescriptionError(file.string() + " (line " + std::to_string(line) +
                           "): not valid JSON: " + error.what());
  }
  const std::vector<int> keys = keyLines(text);
  std::size_t next = 0;
  assignLines(root, "", keys, next, d.lines);

  if (!root.is_object()) refuse(d, "", "the description must be a JSON object");
  for (const auto& [key, value] : root.items()) {
    if (key != "exporter" && key != "template" && key != "picture" && key != "header" &&
        key != "rows" && key != "comment") {
      refuse(d, "/" + key, "unknown member");
    }
  }
  if (!root.contains("exporter") || !root["exporter"].is_string()) {
    refuse(d, "/exporter", "must name the exporter (heron, vellum, vellum_x, kestrel, tamarack)");
  }
  d.exporter = root["exporter"].get<std::string>();
  if (d.exporter != "heron" && d.exporter != "vellum" && d.exporter != "vellum_x" &&
      d.exporter != "kestrel" && d.exporter != "tamarack") {
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
  const Json rows = root.value("rows", Json::array());
  if (!rows.is_array()) refuse(d, "/rows", "must be an array of records");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].is_object()) refuse(d, "/rows/" + std::to_string(i), "must be an object");
    d.rows.push_back(rows[i]);
  }
  return d;
}

std::vector<std::uint8_t> encodeRecord(const Description& d, const RecordLayout& layout,
                                       const Json& fields, const std::string& pointer) {
  std::vector<std::uint8_t> record(layout.size, 0);
  for (const auto& [name, value] : fields.items()) {
    const std::string at = pointer + "/" + escapePointerToken(name);
    const FieldSpec* spec = layout.find(name);
    if (spec == nullptr) refuse(d, at, "no field of that name in " + std::string(layout.name));
    switch (spec->kind) {
      case FieldKind::Int32: {
        if (!value.is_number_integer()) refuse(d, at, "must be a whole number");
        const auto number = value.get<std::int64_t>();
        if (number < INT32_MIN || number > INT32_MAX) refuse(d, at, "outside 32-bit integers");
        const auto bits = static_cast<std::uint32_t>(number);
        for (std::size_t i = 0; i < 4; ++i) record[spec->offset + i] = (bits >> (8 * i)) & 0xFF;
        break;
      }
      case FieldKind::Double: {
        if (!value.is_number()) refuse(d, at, "must be a number");
        const double number = value.get<double>();
        std::uint64_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        for (std::size_t i = 0; i < 8; ++i) record[spec->offset + i] = (bits >> (8 * i)) & 0xFF;
        break;
      }
      case FieldKind::Text: {
        if (!value.is_string()) refuse(d, at, "must be a text");
        std::string utf8 = value.get<std::string>();
        if (name.size() > 5 && name.ends_with("_path") && !utf8.empty()) {
          utf8 = resolve(d, utf8).string();
        }
        const std::optional<std::string> gbk = strictGbk(utf8);
        if (!gbk) refuse(d, at, "holds characters that code page 936 cannot hold");
        if (gbk->size() + 1 > spec->width) {
          refuse(d, at,
                 "is " + std::to_string(gbk->size()) + " bytes in GBK; its slot holds " +
                     std::to_string(spec->width - 1));
        }
        std::memcpy(record.data() + spec->offset, gbk->data(), gbk->size());
        break;
      }
      case FieldKind::Address:
        refuse(d, at, "is an address that the host sets itself");
    }
  }
  return record;
}

void storeAddress(std::vector<std::uint8_t>& record, std::size_t offset, std::size_t width,
                  std::uintptr_t address) {
  const auto bits = static_cast<std::uint64_t>(address);
  for (std::size_t i = 0; i < width; ++i) record[offset + i] = (bits >> (8 * i)) & 0xFF;
}

}  // namespace qx::host
