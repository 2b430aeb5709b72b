#include "host/description.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "host/field_encoding.h"
#include "host/json_lines.h"
#include "host/row_encoder.h"
#include "platform/code_page.h"

namespace qx::host {

namespace {

[[noreturn]] void refuse(const Description& d, const std::string& pointer,
                         const std::string& what) {
  throw DescriptionError(d.file.string() + ": " + pointer + " (line " +
                         std::to_string(d.lineOf(pointer)) + "): " + what);
}

std::filesystem::path resolve(const Description& d, const std::string& utf8) {
  std::filesystem::path path(utf8);
  return path.is_absolute() ? path : d.file.parent_path() / path;
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

std::string unknownField(const RecordLayout& layout) {
  return "no field of that name in " + std::string(layout.name);
}

// Lays `fields` out into `record` (layout.size zero bytes); the first field refused, if any.
std::optional<Refusal> encodeFields(const Description& d, const RecordLayout& layout,
                                    const Json& fields, const std::string& pointer,
                                    std::uint8_t* record) {
  const std::filesystem::path folder = d.file.parent_path();
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    const FieldSpec* spec = layout.find(it.key());
    if (spec == nullptr) return refusalOf(pointer, it.key(), unknownField(layout));
    if (auto what = encodeField(*spec, valueOf(it.value()), folder, record)) {
      return refusalOf(pointer, it.key(), std::move(*what));
    }
  }
  return std::nullopt;
}

// Takes a description from nlohmann's SAX parser. The members other than "rows" are kept as
// values; the rows go to a RowEncoder as the parser reads them, so that neither the document
// nor a row is ever held. Members named twice keep the last value at the first one's place,
// as a parsed document would.
class Reader : public nlohmann::json_sax<Json> {
 public:
  // `layout`: the rows' layout, or null to take it from the exporter named before the rows.
  Reader(Description& d, const RecordLayout* layout) : d_(d), forced_(layout) {}

  Json root = Json::object();  // the members; "rows" is an empty array when it is one
  bool rootIsObject = false;
  std::optional<std::size_t> nonObjectRow;   // the first row that is no object
  const RecordLayout* rowsLayout = nullptr;  // what the rows were encoded with
  std::size_t rowCount = 0;
  std::optional<std::pair<std::size_t, std::string>> syntaxError;  // byte, message

  bool null() override {
    return scalar({}, [] { return Json(nullptr); });
  }
  bool boolean(bool b) override {
    return scalar({}, [b] { return Json(b); });
  }
  bool number_integer(number_integer_t n) override {
    FieldValue v;
    v.kind = FieldValue::Kind::Integer;
    v.integer = n;
    return scalar(v, [n] { return Json(n); });
  }
  bool number_unsigned(number_unsigned_t n) override {
    FieldValue v;
    v.kind = FieldValue::Kind::Unsigned;
    v.unsignedInteger = n;
    return scalar(v, [n] { return Json(n); });
  }
  bool number_float(number_float_t n, const string_t&) override {
    FieldValue v;
    v.kind = FieldValue::Kind::Float;
    v.number = n;
    return scalar(v, [n] { return Json(n); });
  }
  // Texts and keys are copied where they are kept: the parser reuses its buffer.
  bool string(string_t& s) override {
    FieldValue v;
    v.kind = FieldValue::Kind::Text;
    v.text = s;
    return scalar(v, [&s] { return Json(s); });
  }
  bool binary(binary_t& b) override {
    return scalar({}, [&b] { return Json::binary(std::move(b)); });
  }
  bool start_object(std::size_t) override { return open(true); }
  bool start_array(std::size_t) override { return open(false); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }
  bool key(string_t& key) override {
    if (skipping_ > 0) return true;
    if (!building_.empty()) {
      key_.assign(key);
    } else if (inRow_) {
      rows_->key(key);
    } else {
      member_.assign(key);
      if (member_ == "rows") startRows(nullptr);
    }
    return true;
  }
  bool parse_error(std::size_t byte, const std::string&,
                   const nlohmann::detail::exception& error) override {
    syntaxError.emplace(byte, error.what());
    return false;
  }

 private:
  void startRows(const RecordLayout* layout) {
    rows_.emplace(d_, layout);
    nonObjectRow.reset();
    rowCount = 0;
    rowsLayout = layout;
  }

  // Puts `v` into the value being built; the place it took.
  Json* add(Json v) {
    Json& top = *building_.back();
    if (top.is_array()) {
      top.push_back(std::move(v));
      return &top.back();
    }
    Json& slot = top[key_];
    slot = std::move(v);
    return &slot;
  }

  void noObjectRow() {
    const std::size_t index = rowCount++;
    if (!nonObjectRow) nonObjectRow = index;
  }

  template <class MakeJson>
  bool scalar(const FieldValue& v, MakeJson json) {
    if (skipping_ > 0) return true;
    if (!building_.empty()) {
      add(json());
    } else if (inRow_) {
      rows_->value(v);
    } else if (inRows_) {
      noObjectRow();
    } else if (!rootSeen_) {
      rootSeen_ = true;
    } else if (rootIsObject) {
      root[member_] = json();
    }
    return true;
  }

  bool open(bool object) {
    if (skipping_ > 0) {
      ++skipping_;
    } else if (!building_.empty()) {
      building_.push_back(add(object ? Json::object() : Json::array()));
    } else if (inRow_) {
      rows_->value({});  // no field takes an object or an array: refused by what it is
      skipping_ = 1;
    } else if (inRows_) {
      if (object) {
        inRow_ = true;
        rows_->startRow(rowCount++);
      } else {
        noObjectRow();
        skipping_ = 1;
      }
    } else if (!rootSeen_) {
      rootSeen_ = true;
      rootIsObject = object;
      if (!object) skipping_ = 1;
    } else if (member_ == "rows" && !object) {
      root[member_] = Json::array();
      inRows_ = true;
      startRows(forced_ ? forced_ : exporterLayout());
    } else {
      Json& slot = root[member_];
      slot = object ? Json::object() : Json::array();
      building_.push_back(&slot);
    }
    return true;
  }

  bool close() {
    if (skipping_ > 0) {
      --skipping_;
    } else if (!building_.empty()) {
      building_.pop_back();
    } else if (inRow_) {
      inRow_ = false;
      rows_->endRow();
    } else if (inRows_) {
      inRows_ = false;
    }
    return true;
  }

  const RecordLayout* exporterLayout() const {
    const auto exporter = root.find("exporter");
    return exporter != root.end() && exporter->is_string()
               ? rowLayoutOf(exporter->get_ref<const std::string&>())
               : nullptr;
  }

  Description& d_;
  const RecordLayout* forced_;
  bool rootSeen_ = false;
  bool inRows_ = false;          // in the array of "rows"
  bool inRow_ = false;           // in one of its objects
  int skipping_ = 0;             // the depth inside a value that is neither kept nor encoded
  std::string member_;           // the current member of the root
  std::string key_;              // the current key of the value being built
  std::vector<Json*> building_;  // the open containers of a member being built
  std::optional<RowEncoder> rows_;
};

// Reads `file` (as the user named it, which messages show) into `reader`, refusing text that
// is no JSON.
void read(const std::filesystem::path& file, Reader& reader) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw DescriptionError(file.string() + ": cannot be read");
  Json::sax_parse(in, &reader);
  if (reader.syntaxError) {
    throw DescriptionError(file.string() + " (line " +
                           std::to_string(lineAtByte(file, reader.syntaxError->first)) +
                           "): not valid JSON: " + reader.syntaxError->second);
  }
}

// The checks of the members, in the order they are told.
void takeMembers(Description& d, const Reader& reader) {
  const Json& root = reader.root;
  if (!reader.rootIsObject) refuse(d, "", "the description must be a JSON object");
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
  if (reader.nonObjectRow) {
    refuse(d, "/rows/" + std::to_string(*reader.nonObjectRow), "must be an object");
  }
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

Description loadDescription(const std::filesystem::path& file) {
  Description d;
  d.file = std::filesystem::absolute(file);
  Reader reader(d, nullptr);
  read(file, reader);
  takeMembers(d, reader);
  const RecordLayout* layout = rowLayoutOf(d.exporter);
  if (reader.rowCount == 0 || reader.rowsLayout == layout) return d;

  // The rows came before the exporter that names their layout: read them again with it.
  Description again;
  again.file = d.file;
  Reader second(again, layout);
  read(file, second);
  takeMembers(again, second);
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
