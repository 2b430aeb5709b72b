// The host encodes every field of a record from the shared layouts; each exporter's decoder
// must read back each value under the field's name. A field that either side places, sizes or
// types wrongly, or that a decoder leaves out, shows here.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "kestrel/column_symbols.h"
#include "kestrel/dual_spec_header.h"
#include "kestrel/dual_spec_row.h"
#include "tamarack/result_records.h"
#include "tests/host/round_trip.h"
#include "vellum/group_table_header.h"
#include "vellum/group_table_row.h"

namespace qx::testing {

using namespace qx::host;

namespace {

// How a decoded record shows one field. A flag decodes to yes or no: its reader tells
// whether it is set, and the host's value of every field is nonzero.
template <class Decoded>
struct Reader {
  std::function<std::string(const Decoded&)> read;
  bool flag = false;
};
template <class Decoded>
using Readers = std::map<std::string, Reader<Decoded>>;

std::string set(bool flag) {
  return flag ? "set" : "clear";
}

std::string number(std::int32_t value) {
  return std::to_string(value);
}
std::string number(double value) {
  return std::to_string(value);
}

// Every field but the host's addresses has a reader, and each reads the value the host wrote.
template <class Decoded>
void expectEveryFieldReadBack(const RecordLayout& layout, const Decoded& decoded,
                              const Readers<Decoded>& readers) {
  std::size_t read = 0;
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const FieldSpec& field = layout.fields[i];
    if (field.kind == FieldKind::Address) continue;
    const auto reader = readers.find(std::string(field.name));
    if (reader == readers.end()) {
      ADD_FAILURE() << layout.name << ": no reader for " << field.name;
      continue;
    }
    const std::string expected = reader->second.flag ? "set" : valueOf(field, i);
    EXPECT_EQ(reader->second.read(decoded), expected) << layout.name << "." << field.name;
    ++read;
  }
  EXPECT_EQ(read, readers.size()) << layout.name << ": a reader names no field of the layout";
}

platform::Bytes bytesOf(const std::vector<std::uint8_t>& record) {
  return {record.data(), record.size()};
}

// ---- vellum ---------------------------------------------------------------------------------

Readers<vellum::GroupTableHeader> groupTableHeaderReaders() {
  using H = vellum::GroupTableHeader;
  Readers<H> readers = {
      {"picture_flag", {[](const H& h) { return set(h.placePicture); }, true}},
      {"border_weight", {[](const H& h) { return number(h.borderWeight); }}},
      {"start_row", {[](const H& h) { return number(h.startRow); }}},
      {"group_column", {[](const H& h) { return number(h.groupColumn); }}},
      {"time_format", {[](const H& h) { return set(h.timeFormat); }, true}},
      {"template_path", {[](const H& h) { return std::string(h.templatePath); }}},
      {"column_spec", {[](const H& h) { return std::string(h.columnSpec); }}},
      {"picture_first_cell", {[](const H& h) { return std::string(h.pictureFirstCell); }}},
      {"picture_last_cell", {[](const H& h) { return std::string(h.pictureLastCell); }}},
      {"reference_value", {[](const H& h) { return number(h.referenceValue); }}},
      {"e_correction", {[](const H& h) { return number(h.eCorrection); }}},
      {"x_correction", {[](const H& h) { return number(h.xCorrection); }}},
      {"y_correction", {[](const H& h) { return number(h.yCorrection); }}},
  };
  for (int n = 1; n <= vellum::kHeaderSlotCount; ++n) {
    const auto slot = [n](const H& h) -> const vellum::HeaderSlot& {
      for (const vellum::HeaderSlot& s : h.slots) {
        if (s.slot == n) return s;
      }
      throw std::out_of_range("no slot " + std::to_string(n));
    };
    const std::string prefix = "slot" + std::to_string(n) + "_";
    readers[prefix + "show"] = {[slot](const H& h) { return set(slot(h).shown); }, true};
    readers[prefix + "row"] = {[slot](const H& h) { return number(slot(h).row); }};
    readers[prefix + "column"] = {[slot](const H& h) { return number(slot(h).column); }};
    readers[prefix + "text"] = {[slot](const H& h) { return std::string(slot(h).text); }};
  }
  return readers;
}

TEST(ExporterLayouts, VellumReadsEveryHeaderFieldTheHostWrites) {
  const auto record = encodeEveryField("vellum", groupTableHeader());
  ASSERT_EQ(record.size(), vellum::kHeaderRecordSize);
  const vellum::GroupTableHeader header = vellum::decodeHeader(bytesOf(record));
  expectEveryFieldReadBack(groupTableHeader(), header, groupTableHeaderReaders());
}

TEST(ExporterLayouts, VellumReadsEveryRowFieldTheHostWrites) {
  using R = vellum::GroupTableRow;
  const auto record = encodeEveryField("vellum", groupTableRow());
  ASSERT_EQ(record.size(), vellum::kRowRecordSize);
  const R row = vellum::decodeRow(bytesOf(record));
  const Readers<R> readers = {
      {"group_key", {[](const R& r) { return std::string(r.groupKey); }}},
      {"b_text", {[](const R& r) { return std::string(r.textB); }}},
      {"text_5", {[](const R& r) { return std::string(r.text5); }}},
      {"text_c", {[](const R& r) { return std::string(r.textC); }}},
      {"text_g", {[](const R& r) { return std::string(r.textG); }}},
      {"number_d", {[](const R& r) { return number(r.numberD); }}},
      {"value_s1", {[](const R& r) { return number(r.valueS1); }}},
      {"value_s2", {[](const R& r) { return number(r.valueS2); }}},
      {"value_f", {[](const R& r) { return number(r.valueF); }}},
      {"value_t", {[](const R& r) { return number(r.valueT); }}},
      {"value_n", {[](const R& r) { return number(r.valueN); }}},
      {"value_m", {[](const R& r) { return number(r.valueM); }}},
      {"value_p", {[](const R& r) { return number(r.valueP); }}},
      {"value_o", {[](const R& r) { return number(r.valueO); }}},
      {"value_h", {[](const R& r) { return number(r.valueH); }}},
      {"value_i", {[](const R& r) { return number(r.valueI); }}},
      {"level_value", {[](const R& r) { return number(r.level); }}},
      {"time_value", {[](const R& r) { return number(r.minutes); }}},
      {"number_z", {[](const R& r) { return number(r.numberZ); }}},
      {"yes_flag", {[](const R& r) { return number(r.yesFlag); }}},
      {"value_u", {[](const R& r) { return number(r.valueU); }}},
      {"value_v", {[](const R& r) { return number(r.valueV); }}},
      {"value_y", {[](const R& r) { return number(r.valueY); }}},
      {"value_x2", {[](const R& r) { return number(r.valueX2); }}},
      {"text_w", {[](const R& r) { return std::string(r.textW); }}},
      {"text_6", {[](const R& r) { return std::string(r.text6); }}},
      {"text_7", {[](const R& r) { return std::string(r.text7); }}},
      {"text_q", {[](const R& r) { return std::string(r.textQ); }}},
      {"text_2", {[](const R& r) { return std::string(r.text2); }}},
      {"text_3", {[](const R& r) { return std::string(r.text3); }}},
      {"text_4", {[](const R& r) { return std::string(r.text4); }}},
  };
  expectEveryFieldReadBack(groupTableRow(), row, readers);
}

// ---- kestrel --------------------------------------------------------------------------------

TEST(ExporterLayouts, KestrelReadsEveryHeaderFieldTheHostWrites) {
  using H = kestrel::DualSpecHeader;
  const auto record = encodeEveryField("kestrel", dualSpecHeader());
  ASSERT_EQ(record.size(), kestrel::kDualSpecHeaderSize);
  const H header = kestrel::decodeDualSpecHeader(bytesOf(record));
  Readers<H> readers = {
      {"template_path", {[](const H& h) { return h.templatePath; }}},
      {"primary_spec", {[](const H& h) { return h.primarySpec; }}},
      {"secondary_spec", {[](const H& h) { return h.secondarySpec; }}},
      {"start_row", {[](const H& h) { return number(h.startRow); }}},
      {"border_weight", {[](const H& h) { return number(h.borderWeight); }}},
  };
  for (std::size_t k = 0; k < 4; ++k) {
    const std::string n = std::to_string(k + 1);
    readers["header_text" + n] = {[k](const H& h) { return h.texts[k].text; }};
    readers["show_flag" + n] = {[k](const H& h) { return set(h.texts[k].shown); }, true};
    readers["header_row" + n] = {[k](const H& h) { return number(h.texts[k].row); }};
    readers["header_column" + n] = {[k](const H& h) { return number(h.texts[k].column); }};
  }
  expectEveryFieldReadBack(dualSpecHeader(), header, readers);
}

// The column-spec symbol a row field's name ends with.
char symbolOf(std::string_view suffix) {
  static const std::map<std::string_view, char> kNamed = {
      {"hash", '#'},     {"dollar", '$'}, {"bang", '!'},   {"lbracket", '['},
      {"rbracket", ']'}, {"lparen", '('}, {"rparen", ')'}, {"amp", '&'},
      {"lt", '<'},       {"gt", '>'},     {"star", '*'}};
  return suffix.size() == 1 ? suffix[0] : kNamed.at(suffix);
}

TEST(ExporterLayouts, KestrelReadsEveryRowFieldTheHostWrites) {
  const auto record = encodeEveryField("kestrel", dualSpecRow());
  ASSERT_EQ(record.size(), kestrel::kDualSpecRowSize);
  using Row = platform::Bytes;
  Readers<Row> readers;
  for (const FieldSpec& field : dualSpecRow().fields) {
    const std::string name(field.name);
    if (name.starts_with("primary_") || name.starts_with("secondary_")) {
      const bool primary = name.starts_with("primary_");
      const char symbol = symbolOf(std::string_view(name).substr(name.find('_') + 1));
      const auto column = primary ? kestrel::primaryField(symbol) : kestrel::secondaryField(symbol);
      ASSERT_TRUE(column) << name;
      readers[name] = {[column](const Row& r) { return kestrel::cellText(*column, r, 1); }};
    } else if (name.starts_with("option_")) {
      const auto k = static_cast<std::size_t>(name.back() - '1');
      readers[name] = {[k](const Row& r) {
        return std::string(platform::RecordView(r).text(kestrel::kOptions[k]));
      }};
    }
  }
  expectEveryFieldReadBack(dualSpecRow(), bytesOf(record), readers);
}

// ---- tamarack -------------------------------------------------------------------------------

TEST(ExporterLayouts, TamarackReadsEveryHeaderFieldTheHostWrites) {
  using H = tamarack::HeaderBlock;
  auto record = encodeEveryField("tamarack", resultHeader());
  ASSERT_EQ(record.size(), tamarack::header::kSize);
  const H header(reinterpret_cast<std::uintptr_t>(record.data()));
  Readers<H> readers = {
      {"workbook_path", {[](const H& h) { return std::string(h.workbookPath()); }}},
      {"column_spec", {[](const H& h) { return std::string(h.columnSpec()); }}},
      {"first_body_row", {[](const H& h) { return number(h.firstBodyRow()); }}},
      {"last_body_row", {[](const H& h) { return number(h.lastBodyRow()); }}},
      {"border_weight", {[](const H& h) { return number(h.borderWeight()); }}},
      {"record_count", {[](const H& h) { return number(h.recordCount()); }}},
      {"pagination", {[](const H& h) { return set(h.paginated()); }, true}},
      {"switch_a", {[](const H& h) { return set(h.subtotalSwitchA()); }, true}},
      {"switch_b", {[](const H& h) { return set(h.subtotalSwitchB()); }, true}},
  };
  for (std::size_t n = 0; n < 5; ++n) {
    const std::string k = std::to_string(n + 1);
    readers["header_text" + k] = {[n](const H& h) { return std::string(h.text(n)); }};
    readers["text" + k + "_enabled"] = {[n](const H& h) { return set(h.textEnabled(n)); }, true};
    readers["text" + k + "_row"] = {[n](const H& h) { return number(h.textRow(n)); }};
    readers["text" + k + "_column"] = {[n](const H& h) { return number(h.textColumn(n)); }};
  }
  expectEveryFieldReadBack(resultHeader(), header, readers);
}

TEST(ExporterLayouts, TamarackReadsEveryRowFieldTheHostWrites) {
  using R = tamarack::RowRecord;
  const auto record = encodeEveryField("tamarack", resultRow());
  ASSERT_EQ(record.size(), tamarack::row::kSize);
  const R row(reinterpret_cast<std::uintptr_t>(record.data()));
  Readers<R> readers;
  // Each selector reads the field named after it ("field_a" for "a"); "7" reads the picture.
  static const std::map<char, std::string> kNamed = {{'7', "picture_path"},   {'<', "field_lt"},
                                                     {'[', "field_lbracket"}, {'>', "field_gt"},
                                                     {')', "field_rparen"},   {'&', "field_amp"}};
  for (const tamarack::RowField& field : tamarack::kRowFields) {
    const auto named = kNamed.find(field.selector);
    const std::string name =
        named != kNamed.end() ? named->second : std::string("field_") + field.selector;
    readers[name] = {[field](const R& r) { return std::string(r.field(field)); }};
  }
  for (std::size_t k = 0; k < tamarack::row::kExtraColumnCount; ++k) {
    readers["extra_" + std::to_string(k + 1)] = {
        [k](const R& r) { return std::string(r.extraColumn(k)); }};
  }
  expectEveryFieldReadBack(resultRow(), row, readers);
}

}  // namespace
}  // namespace qx::testing
