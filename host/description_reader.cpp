#include "host/description_reader.h"

#include <rapidjson/filereadstream.h>
#include <rapidjson/reader.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

#include "host/json_lines.h"
#include "host/row_encoder.h"

namespace qx::host {

namespace {

// Takes the events of either parser (each returns true: go on). The members other than "rows"
// are built as values; the rows go to a RowEncoder.
class Reader {
 public:
  Reader(Description& d, const RecordLayout* layout) : d_(d), forced_(layout) {}

  DescriptionMembers members;

  bool null() {
    return scalar({}, [] { return Json(nullptr); });
  }
  bool boolean(bool b) {
    return scalar({}, [b] { return Json(b); });
  }
  bool integer(std::int64_t n) {
    FieldValue v;
    v.kind = FieldValue::Kind::Integer;
    v.integer = n;
    return scalar(v, [n] { return Json(n); });
  }
  bool unsignedInteger(std::uint64_t n) {
    FieldValue v;
    v.kind = FieldValue::Kind::Unsigned;
    v.unsignedInteger = n;
    return scalar(v, [n] { return Json(n); });
  }
  bool floating(double n) {
    FieldValue v;
    v.kind = FieldValue::Kind::Float;
    v.number = n;
    return scalar(v, [n] { return Json(n); });
  }
  bool text(std::string_view s) {
    FieldValue v;
    v.kind = FieldValue::Kind::Text;
    v.text = s;
    return scalar(v, [s] { return Json(std::string(s)); });
  }

  bool key(std::string_view key) {
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
        rows_->startRow(members.rowCount++);
      } else {
        noObjectRow();
        skipping_ = 1;
      }
    } else if (!rootSeen_) {
      rootSeen_ = true;
      members.rootIsObject = object;
      if (!object) skipping_ = 1;
    } else if (member_ == "rows" && !object) {
      members.root[member_] = Json::array();
      inRows_ = true;
      startRows(forced_ ? forced_ : exporterLayout());
    } else {
      Json& slot = members.root[member_];
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

 private:
  void startRows(const RecordLayout* layout) {
    rows_.emplace(d_, layout);
    members.nonObjectRow.reset();
    members.rowCount = 0;
    members.rowsLayout = layout;
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
    const std::size_t index = members.rowCount++;
    if (!members.nonObjectRow) members.nonObjectRow = index;
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
    } else {
      members.root[member_] = json();
    }
    return true;
  }

  const RecordLayout* exporterLayout() const {
    const auto exporter = members.root.find("exporter");
    return exporter != members.root.end() && exporter->is_string()
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

// RapidJSON's events, for the fast reading. Stops at what nlohmann would refuse and RapidJSON
// takes: a number too large for a double, a lone trailing surrogate written as an escape.
class FastEvents : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, FastEvents> {
 public:
  explicit FastEvents(Reader& reader) : reader_(reader) {}

  bool Null() { return reader_.null(); }
  bool Bool(bool b) { return reader_.boolean(b); }
  bool Int(int n) { return reader_.integer(n); }
  bool Int64(std::int64_t n) { return reader_.integer(n); }
  // nlohmann gives every number without a sign as unsigned.
  bool Uint(unsigned n) { return reader_.unsignedInteger(n); }
  bool Uint64(std::uint64_t n) { return reader_.unsignedInteger(n); }
  bool Double(double n) { return std::isfinite(n) && reader_.floating(n); }
  bool String(const char* s, rapidjson::SizeType length, bool) {
    return valid(s, length) && reader_.text({s, length});
  }
  bool Key(const char* s, rapidjson::SizeType length, bool) {
    return valid(s, length) && reader_.key({s, length});
  }
  bool StartObject() { return reader_.open(true); }
  bool StartArray() { return reader_.open(false); }
  bool EndObject(rapidjson::SizeType) { return reader_.close(); }
  bool EndArray(rapidjson::SizeType) { return reader_.close(); }

 private:
  // The file's own bytes are checked as UTF-8; a surrogate (ED A0..BF) can only come from an
  // escape.
  static bool valid(const char* s, std::size_t length) {
    for (const char* at = s;
         (at = static_cast<const char*>(std::memchr(at, '\xED', length - (at - s)))); ++at) {
      if (at + 1 < s + length && (static_cast<unsigned char>(at[1]) & 0xE0) == 0xA0) return false;
    }
    return true;
  }

  Reader& reader_;
};

// nlohmann's events, for a file the fast reading stopped at: its refusals are what the user
// is told.
class CheckedEvents : public nlohmann::json_sax<Json> {
 public:
  explicit CheckedEvents(Reader& reader) : reader_(reader) {}

  std::optional<std::pair<std::size_t, std::string>> syntaxError;  // byte, message

  bool null() override { return reader_.null(); }
  bool boolean(bool b) override { return reader_.boolean(b); }
  bool number_integer(number_integer_t n) override { return reader_.integer(n); }
  bool number_unsigned(number_unsigned_t n) override { return reader_.unsignedInteger(n); }
  bool number_float(number_float_t n, const string_t&) override { return reader_.floating(n); }
  bool string(string_t& s) override { return reader_.text(s); }
  bool binary(binary_t&) override { return reader_.null(); }  // never in JSON text
  bool start_object(std::size_t) override { return reader_.open(true); }
  bool start_array(std::size_t) override { return reader_.open(false); }
  bool end_object() override { return reader_.close(); }
  bool end_array() override { return reader_.close(); }
  bool key(string_t& key) override { return reader_.key(key); }
  bool parse_error(std::size_t byte, const std::string&,
                   const nlohmann::detail::exception& error) override {
    syntaxError.emplace(byte, error.what());
    return false;
  }

 private:
  Reader& reader_;
};

// Reads with RapidJSON; false when it stopped (or could not open the file).
bool readFast(const std::filesystem::path& file, Reader& reader) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.c_str(), "rb"),
                                                           std::fclose);
  if (!in) return false;
  std::vector<char> buffer(std::size_t{1} << 16);
  rapidjson::FileReadStream stream(in.get(), buffer.data(), buffer.size());
  FastEvents events(reader);
  rapidjson::Reader parser;
  constexpr unsigned kFlags = rapidjson::kParseValidateEncodingFlag |
                              rapidjson::kParseFullPrecisionFlag | rapidjson::kParseIterativeFlag;
  return !parser.Parse<kFlags>(stream, events).IsError();
}

void readChecked(const std::filesystem::path& file, const std::string& name, Reader& reader) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw DescriptionError(name + ": cannot be read");
  CheckedEvents events(reader);
  Json::sax_parse(in, &events);
  if (events.syntaxError) {
    throw DescriptionError(name + " (line " +
                           std::to_string(lineAtByte(file, events.syntaxError->first)) +
                           "): not valid JSON: " + events.syntaxError->second);
  }
}

}  // namespace

DescriptionMembers readDescription(const std::filesystem::path& file, Description& d,
                                   const RecordLayout* layout, JsonReading reading) {
  if (reading == JsonReading::Fast) {
    Reader reader(d, layout);
    if (readFast(file, reader)) return std::move(reader.members);
  }
  // Whatever RapidJSON stopped at, nlohmann reads the file again from the start: what it
  // accepts is taken, what it refuses is told in its words.
  Description fresh;
  fresh.file = d.file;
  fresh.name = d.name;
  fresh.folder = d.folder;
  d = std::move(fresh);
  Reader reader(d, layout);
  readChecked(file, d.name, reader);
  return std::move(reader.members);
}

}  // namespace qx::host
