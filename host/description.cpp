#include "host/description.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "host/json_lines.h"
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

// UTF-8 to GBK, refusing what code page 936 cannot hold (a character that does not come back
// the same). The code page is stateless, so texts convert a character at a time, and each
// character is converted and checked once: a report's characters recur in every row.
class StrictGbk {
 public:
  std::optional<std::string> operator()(const std::string& utf8) {
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
      return utf8;  // ASCII is the same in both
    }
    std::string gbk;
    for (const char16_t unit : platform::utf8ToUtf16(utf8)) {
      std::uint32_t& known = units_[unit];
      if (known == kUnknown) known = look(unit);
      if (known == kRefused) return std::nullopt;
      if (known & kTwoBytes) gbk += static_cast<char>(known >> 8 & 0xFF);
      gbk += static_cast<char>(known & 0xFF);
    }
    return gbk;
  }

 private:
  static constexpr std::uint32_t kUnknown = 0, kRefused = 1, kOneByte = 1u << 16,
                                 kTwoBytes = 1u << 17;
  static std::uint32_t look(char16_t unit) {
    const std::u16string text(1, unit);
    const std::string gbk = platform::utf16ToGbk(text);
    if (gbk.empty() || gbk.size() > 2 || platform::gbkToUtf16(gbk) != text) return kRefused;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(gbk[i]); };
    return gbk.size() == 1 ? kOneByte | byte(0) : kTwoBytes | byte(0) << 8 | byte(1);
  }
  std::vector<std::uint32_t> units_ = std::vector<std::uint32_t>(std::size_t{1} << 16, kUnknown);
};

std::optional<std::string> strictGbk(const std::string& utf8) {
  static StrictGbk convert;
  return convert(utf8);
}

void storeBits(std::uint8_t* at, std::uint64_t bits, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) at[i] = (bits >> (8 * i)) & 0xFF;
}

// Lays `fields` out into `record` (layout.size zero bytes); the first field refused, if any.
std::optional<Refusal> encodeFields(const Description& d, const RecordLayout& layout,
                                    const Json& fields, const std::string& pointer,
                                    std::uint8_t* record) {
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    const std::string& name = it.key();
    const Json& value = it.value();
    const auto refusal = [&](std::string what) {
      return Refusal{pointer + "/" + escapePointerToken(name), std::move(what)};
    };
    const FieldSpec* spec = layout.find(name);
    if (spec == nullptr) return refusal("no field of that name in " + std::string(layout.name));
    switch (spec->kind) {
      case FieldKind::Int32: {
        if (!value.is_number_integer()) return refusal("must be a whole number");
        const auto number = value.get<std::int64_t>();
        if (number < INT32_MIN || number > INT32_MAX) return refusal("outside 32-bit integers");
        storeBits(record + spec->offset, static_cast<std::uint32_t>(number), 4);
        break;
      }
      case FieldKind::Double: {
        if (!value.is_number()) return refusal("must be a number");
        const double number = value.get<double>();
        std::uint64_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        storeBits(record + spec->offset, bits, 8);
        break;
      }
      case FieldKind::Text: {
        if (!value.is_string()) return refusal("must be a text");
        const std::string& text = value.get_ref<const std::string&>();
        const bool path = name.size() > 5 && name.ends_with("_path") && !text.empty();
        const std::optional<std::string> gbk = strictGbk(path ? resolve(d, text).string() : text);
        if (!gbk) return refusal("holds characters that code page 936 cannot hold");
        if (gbk->size() + 1 > spec->width) {
          return refusal("is " + std::to_string(gbk->size()) + " bytes in GBK; its slot holds " +
                         std::to_string(spec->width - 1));
        }
        std::memcpy(record + spec->offset, gbk->data(), gbk->size());
        break;
      }
      case FieldKind::Address:
        return refusal("is an address that the host sets itself");
    }
  }
  return std::nullopt;
}

// Takes a description from nlohmann's SAX parser. The members other than "rows" are kept as
// values; each row is built alone, encoded into its record and dropped, so that neither the
// document nor the row array is ever held. Members named twice keep the last value at the
// first one's place, as a parsed document would.
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

  bool null() override { return value(nullptr); }
  bool boolean(bool b) override { return value(b); }
  bool number_integer(number_integer_t n) override { return value(n); }
  bool number_unsigned(number_unsigned_t n) override { return value(n); }
  bool number_float(number_float_t n, const string_t&) override { return value(n); }
  // Texts and keys are copied: the parser reuses its buffer, which keeps its size.
  bool string(string_t& s) override { return value(s); }
  bool binary(binary_t& b) override { return value(Json::binary(std::move(b))); }
  bool start_object(std::size_t) override { return open(Json::object()); }
  bool start_array(std::size_t) override { return open(Json::array()); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }
  bool key(string_t& key) override {
    if (!building_.empty()) {
      key_.assign(key);
    } else if (depth_ == 1) {
      member_.assign(key);
      if (member_ == "rows") startRows();
    }
    return true;
  }
  bool parse_error(std::size_t byte, const std::string&,
                   const nlohmann::detail::exception& error) override {
    syntaxError.emplace(byte, error.what());
    return false;
  }

 private:
  void startRows() {
    d_.rows = {};
    d_.rowPictures.clear();
    d_.rowRefusal.reset();
    nonObjectRow.reset();
    rowCount = 0;
    rowsLayout = nullptr;
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

  bool value(Json v) {
    if (!building_.empty()) {
      add(std::move(v));
    } else if (depth_ == 0) {
      rootIsObject = false;
    } else if (depth_ == 1 && rootIsObject) {
      root[member_] = std::move(v);
    } else if (depth_ == 2 && inRows_) {
      finishRow(std::move(v));
    }
    return true;
  }

  bool open(Json container) {
    if (!building_.empty()) {
      building_.push_back(add(std::move(container)));
    } else if (depth_ == 0) {
      rootIsObject = container.is_object();
    } else if (depth_ == 1 && rootIsObject) {
      if (member_ == "rows" && container.is_array()) {
        root[member_] = Json::array();
        inRows_ = true;
        rowsLayout = forced_ ? forced_ : exporterLayout();
        if (rowsLayout != nullptr) d_.rows = RecordList(rowsLayout->size);
      } else {
        Json& slot = root[member_];
        slot = std::move(container);
        building_.push_back(&slot);
      }
    } else if (depth_ == 2 && inRows_) {
      row_ = std::move(container);
      building_.push_back(&row_);
    }
    ++depth_;
    return true;
  }

  bool close() {
    --depth_;
    if (!building_.empty()) {
      const Json* done = building_.back();
      building_.pop_back();
      if (building_.empty() && done == &row_) finishRow(std::move(row_));
    } else if (depth_ == 1) {
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

  void finishRow(Json row) {
    const std::size_t index = rowCount++;
    if (!row.is_object()) {
      if (!nonObjectRow) nonObjectRow = index;
      return;
    }
    const auto picture = row.find("picture_path");
    if (picture != row.end() && picture->is_string() &&
        !picture->get_ref<const std::string&>().empty()) {
      d_.rowPictures.push_back({index, picture->get<std::string>()});
    }
    if (rowsLayout == nullptr || d_.rowRefusal) return;
    const std::span<std::uint8_t> record = d_.rows.append();
    d_.rowRefusal =
        encodeFields(d_, *rowsLayout, row, "/rows/" + std::to_string(index), record.data());
    if (d_.rowRefusal) d_.rows.clear();  // refused: the records are never handed over
  }

  Description& d_;
  const RecordLayout* forced_;
  int depth_ = 0;
  bool inRows_ = false;
  std::string member_;           // the current member of the root
  std::string key_;              // the current key of the value being built
  std::vector<Json*> building_;  // the open containers of a member or a row being built
  Json row_;
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
