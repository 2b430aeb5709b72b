#include "host/description.h"
#include "host/report_runner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "include/qx/host_records.h"
#include "platform/byte_fields.h"
#include "platform/code_page.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::host;

namespace {

class DescriptionTest : public ::testing::Test {
 protected:
  Description load(const std::string& json) { return loadDescription(dir.write("r.json", json)); }
  // The error text of loading and encoding every record of `json`; the rows are encoded as
  // they are read, with `row`.
  std::string refusal(const std::string& json, const RecordLayout& header,
                      const RecordLayout& row) {
    try {
      const Description d = load(json);
      EXPECT_EQ(rowLayoutOf(d.exporter), &row) << json;
      encodeRecord(d, header, d.header, "/header");
      d.checkRows();
    } catch (const DescriptionError& error) {
      return error.what();
    }
    return "";
  }
  TempDir dir;
};

TEST_F(DescriptionTest, FieldsLandAtTheOffsetsOfTheirRecord) {
  const Description d = load(R"({"exporter": "vellum_x", "template": "t.xlsx",
    "header": {"slot22_show": 1, "slot22_row": -3, "slot22_text": "计算人",
               "reference_value": 12.5, "column_spec": "abl"},
    "rows": [{"group_key": "A", "time_value": 30}]})");
  const auto header = encodeRecord(d, groupTableHeader(), d.header, "/header");
  ASSERT_EQ(header.size(), 3880u);
  EXPECT_EQ(platform::int32At(header, 160), 1);
  EXPECT_EQ(platform::int32At(header, 164), -3);
  EXPECT_EQ(platform::textAt(header, 3110, 80), "\xBC\xC6\xCB\xE3\xC8\xCB");  // GBK
  EXPECT_EQ(platform::doubleAt(header, 3848), 12.5);
  EXPECT_EQ(platform::textAt(header, QX_GROUP_TABLE_HEADER_column_spec, 80), "abl");
  ASSERT_EQ(d.rows.size(), 1u);
  const auto& row = d.rows[0];
  ASSERT_EQ(row.size(), groupTableRow().size);
  EXPECT_EQ(platform::textAt(row, 4, 80), "A");
  EXPECT_EQ(platform::doubleAt(row, 1232), 30.0);
  EXPECT_EQ(d.templatePath, dir.path() / "t.xlsx");
}

TEST_F(DescriptionTest, RefusalsNameTheFieldAndItsLine) {
  struct Case {
    const char* json;
    const char* expected;
  };
  const Case cases[] = {
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"header\": {\n\"text9\": \"x\"}}",
       "/header/text9 (line 3): no field of that name in QX_CHECK_POINT_HEADER"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{},\n{\"field_a\":\n 5}]}",
       "/rows/1/field_a (line 3): must be a text"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"header\": {\"picture_cell1\": "
       "\"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA1\"}}",
       "/header/picture_cell1 (line 1): is 32 bytes in GBK; its slot holds 29"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"header\": {\"text1\": "
       "\"\xF0\x9F\x98\x80\"}}",
       "/header/text1 (line 1): holds U+1F600 (\xF0\x9F\x98\x80) at character 1, which code page "
       "936 cannot hold"},
      // A refused character is named with its place, counted in characters.
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"\u6d4b\u70b9x\\ud83d\\ude00\"}]}",
       "/rows/0/field_a (line 2): holds U+1F600 (\xF0\x9F\x98\x80) at character 4, which code page "
       "936 cannot hold"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_b\": "
       "\"\u6d4b\u70b9\\u0000x\"}]}",
       "/rows/0/field_b (line 2): holds a NUL character (\\u0000) at character 3; a text in a "
       "record ends at its first NUL"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"header\": {\"row_count\": 1.5}}",
       "/header/row_count (line 1): must be a whole number"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"header\": {\"row_count\": "
       "3000000000}}",
       "/header/row_count (line 1): outside 32-bit integers"},
      {"{\"exporter\": \"excel\", \"template\": \"t.xlsx\"}",
       "/exporter (line 1): unknown exporter \"excel\""},
      {"{\"template\": \"t.xlsx\"}", "/exporter (line 1): must name the exporter"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\n \"colour\": 1}",
       "/colour (line 3): unknown member"},
      {"{\"exporter\": \"heron\",\n \"template\": \"t.xlsx\",\n \"rows\": [,]}",
       "(line 3): not valid JSON"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"header\": {\"row_count\": 1e999}}",
       "(line 2): not valid JSON: [json.exception.out_of_range.406] number overflow"},
      // Rows are encoded as they are read; which refusal is told stays the same.
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "5}],\n\"rows\": [,]}",
       "(line 3): not valid JSON"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "5}],\n\"colour\": 1}",
       "/colour (line 3): unknown member"},
      {"{\"rows\": [{\"field_a\": 5}],\n\"exporter\": \"heron\", \"template\": "
       "\"t.xlsx\",\n\"header\": "
       "{\"text9\": 1}}",
       "/header/text9 (line 3): no field of that name"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": 5},\n 7]}",
       "/rows/1 (line 2): must be an object"},
      // An exporter named after the rows, or named again after them: the rows are read again
      // with its layout.
      {"{\"rows\": [{\"field_a\": \"x\"},\n{\"field_a\": 5}],\n\"exporter\": \"heron\", "
       "\"template\": "
       "\"t.xlsx\"}",
       "/rows/1/field_a (line 2): must be a text"},
      {"{\"exporter\": \"kestrel\",\n\"rows\": [{\"field_a\": \"x\"}],\n\"exporter\": \"heron\", "
       "\"template\": \"t.xlsx\", \"header\": {\"text9\": 1}}",
       "/header/text9 (line 3)"},
      // Of a member named twice the last value counts, and its line is told.
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"x\",\n\"field_a\": "
       "5}]}",
       "/rows/0/field_a (line 3): must be a text"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"header\": {\"text1\": "
       "\"x\"},\n\"header\": "
       "{\n\"a/b~\": 1}}",
       "/header/a~1b~0 (line 3): no field of that name"},
      // Within a row the first member refused in the row's order is told; a member named again
      // is judged by its last value, at its first place.
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"colour\": 1,\n"
       "\"field_a\": 5}]}",
       "/rows/0/colour (line 2): no field of that name in QX_CHECK_POINT_ROW"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": 5, "
       "\"field_b\": 6,\n\"field_a\": \"x\"}]}",
       "/rows/0/field_b (line 2): must be a text"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_b\": "
       "\"ok\", \"field_a\": 5,\n\"field_b\": 7}]}",
       "/rows/0/field_b (line 3): must be a text"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "{\"field_b\": 1}, \"field_b\": [2]}]}",
       "/rows/0/field_a (line 2): must be a text"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"\u4e2d\u6587\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c"
       "\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c"
       "\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c\u6587\u672c\"}]}",
       "/rows/0/field_a (line 2): is 80 bytes in GBK; its slot holds 79"},
      // What the JSON grammar refuses, wherever it stands.
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"\\uDC00\"}]}",
       "(line 2): not valid JSON: [json.exception.parse_error.101]"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"\\uD800x\"}]}",
       "(line 2): not valid JSON: [json.exception.parse_error.101]"},
      {"{\"exporter\": \"vellum\", \"template\": \"t.xlsx\",\n\"rows\": [{\"time_value\": "
       "1.7976931348623159e308}]}",
       "(line 2): not valid JSON: [json.exception.out_of_range.406] number overflow"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"\xC0\x80\"}]}",
       "(line 2): not valid JSON: [json.exception.parse_error.101]"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"x\"}]} {}",
       "(line 2): not valid JSON: [json.exception.parse_error.101]"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"x\",}]}",
       "(line 2): not valid JSON: [json.exception.parse_error.101]"},
      {"{\"exporter\": \"heron\", \"template\": \"t.xlsx\",\n\"rows\": [{\"field_a\": "
       "\"\\ud83d\\ude00\"}]}",
       "/rows/0/field_a (line 2): holds U+1F600 (\xF0\x9F\x98\x80) at character 1"},
  };
  for (const Case& c : cases) {
    const std::string error = refusal(c.json, checkPointHeader(), checkPointRow());
    EXPECT_NE(error.find(c.expected), std::string::npos) << error << "\nexpected: " << c.expected;
  }
  // Accepted: a field named twice whose last value is right, rows named twice (the last
  // count), an exporter after the rows.
  const char* const accepted[] = {
      "{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"rows\": [{\"field_a\": 5, "
      "\"field_a\": "
      "\"x\"}]}",
      "{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"rows\": [{\"field_a\": 5}], \"rows\": "
      "[{\"field_a\": \"x\"}]}",
      "{\"rows\": [{\"field_a\": \"x\"}], \"exporter\": \"heron\", \"template\": \"t.xlsx\"}",
      "{\"exporter\": \"kestrel\", \"rows\": [{\"field_a\": \"x\"}], \"exporter\": \"heron\", "
      "\"template\": \"t.xlsx\"}",
      // A longer text named first leaves nothing behind; a byte order mark is no content.
      "{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"rows\": [{\"field_a\": \"a longer "
      "text\", \"field_a\": \"x\"}]}",
      "\xEF\xBB\xBF{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"rows\": [{\"field_a\": "
      "\"x\"}]}",
      "{\"exporter\": \"heron\", \"template\": \"t.xlsx\", \"rows\": [{\"field_a\": 5, "
      "\"field_a\": [5], \"field_a\": \"x\"}]}",
  };
  const std::size_t width = checkPointRow().find("field_a")->width;
  for (const char* json : accepted) {
    EXPECT_EQ(refusal(json, checkPointHeader(), checkPointRow()), "") << json;
    const Description d = load(json);
    ASSERT_EQ(d.rows.size(), 1u) << json;
    const auto slot = d.rows[0].subspan(QX_CHECK_POINT_ROW_field_a, width);
    EXPECT_EQ(std::string(slot.begin(), slot.end()),
              std::string("x") + std::string(width - 1, '\0'))
        << json;
  }
}

// A long row array, one row a line: a refusal anywhere in it names its row and line, and an
// accepted one keeps every record in order, across the blocks that hold them.
TEST_F(DescriptionTest, LongRowArraysKeepTheirRecordsAndLines) {
  constexpr int kRows = 3000;  // several blocks of vellum's rows
  const auto description = [](int bad) {
    std::string json = "{\"exporter\": \"vellum\",\n\"template\": \"t.xlsx\",\n\"rows\": [\n";
    for (int i = 0; i < kRows; ++i) {
      // Every third row names its members in another order.
      const std::string key = "\"group_key\": \"" + std::to_string(i) + "\"";
      const std::string number =
          "\"number_d\": " + (i == bad ? std::string("\"x\"") : std::to_string(i));
      json.append("{").append(i % 3 == 1 ? number : key).append(", ");
      json.append(i % 3 == 1 ? key : number).append(i + 1 < kRows ? "},\n" : "}\n");
    }
    return json + "]}";
  };
  for (const int bad : {0, kRows / 2, kRows - 1}) {
    const std::string expected = "/rows/" + std::to_string(bad) + "/number_d (line " +
                                 std::to_string(bad + 4) + "): must be a whole number";
    const std::string error = refusal(description(bad), groupTableHeader(), groupTableRow());
    EXPECT_NE(error.find(expected), std::string::npos) << error << "\nexpected: " << expected;
  }
  const Description d = load(description(-1));
  ASSERT_EQ(d.rows.size(), static_cast<std::size_t>(kRows));
  for (int i = 0; i < kRows; i += 97) {
    EXPECT_EQ(platform::textAt(d.rows[i], QX_GROUP_TABLE_ROW_group_key, 80), std::to_string(i));
    EXPECT_EQ(platform::int32At(d.rows[i], QX_GROUP_TABLE_ROW_number_d), i);
  }
  EXPECT_EQ(platform::int32At(d.rows[kRows - 1], QX_GROUP_TABLE_ROW_number_d), kRows - 1);
}

// Everything a reading made of a description, as one text: its refusal, or its members,
// records, row pictures and row refusal.
std::string outcome(const std::filesystem::path& file, JsonReading reading) {
  try {
    const Description d = loadDescription(file, reading);
    std::string out = d.exporter + "\n" + d.templatePath.string() + "\n" +
                      (d.picture ? d.picture->string() : "-") + "\n" + d.header.dump() + "\n";
    for (std::size_t i = 0; i < d.rows.size(); ++i) {
      out.append(reinterpret_cast<const char*>(d.rows[i].data()), d.rows[i].size());
    }
    for (const RowPicture& picture : d.rowPictures) {
      out.append("\n").append(std::to_string(picture.row)).append(" ").append(picture.path);
    }
    if (d.rowRefusal) out.append("\n").append(d.rowRefusal->pointer).append(d.rowRefusal->what);
    return out;
  } catch (const std::exception& error) {
    return std::string("refused: ") + error.what();
  }
}

// The host reads with RapidJSON and lets nlohmann read again where it stops; whatever the
// file, that must end exactly as nlohmann's reading alone. Every example, cut short and
// damaged a byte at a time at places spread over it.
TEST_F(DescriptionTest, TheFastReadingEndsAsNlohmannsAlone) {
  std::vector<std::string> texts = {
      "\xEF\xBB\xBF{\"exporter\": \"heron\", \"template\": \"t.xlsx\"}",
      R"({"exporter": "vellum", "template": "t.xlsx", "rows": [{"time_value": -0, "number_d": -0}]})",
      R"({"exporter": "heron", "template": "t.xlsx", "header": {"text1": "\uDBFF\uDFFF"}})",
      R"({"exporter": "heron", "template": "t.xlsx", "header": {"text1": "a\u0000b\/"}})",
      R"([{"exporter": "heron"}])",
      R"("heron")",
  };
  for (const char* example : {"heron/report.json", "kestrel/report.json", "tamarack/report.json",
                              "vellum/report.json", "vellum/report_x.json"}) {
    std::ifstream in(std::string(QX_SOURCE_DIR) + "/examples/" + example, std::ios::binary);
    texts.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> inputs;
  for (const std::string& text : texts) {
    inputs.push_back(text);
    constexpr std::size_t kPlaces = 16;
    for (std::size_t i = 1; i <= kPlaces; ++i) {
      const std::size_t at = text.size() * i / (kPlaces + 1);
      inputs.push_back(text.substr(0, at));
      for (const char damage : {'"', '\\', '}', ',', '-', 'e', '\xED', '\xC0'}) {
        std::string damaged = text;
        damaged[at] = damage;
        inputs.push_back(damaged);
      }
    }
  }
  for (const std::string& input : inputs) {
    const auto file = dir.write("r.json", input);
    EXPECT_EQ(outcome(file, JsonReading::Fast), outcome(file, JsonReading::NlohmannAlone)) << input;
  }
}

// Numbers land as nlohmann's reader takes them on its own: doubles bit for bit, and whole
// numbers only where JSON writes them whole and they fit 32 bits.
TEST_F(DescriptionTest, NumbersLandAsAJsonReaderTakesThem) {
  const char* const numbers[] = {
      "0",
      "-0",
      "-0.0",
      "7",
      "5.0",
      "1E+2",
      "-2147483648",
      "2147483647",
      "2147483648",
      "-2147483649",
      "-9223372036854775809",
      "18446744073709551615",
      "18446744073709551616",
      "123456789012345678901234567890",
      "0.1",
      "0.30000000000000004",
      "1e-999",
      "4.9e-324",
      "2.2250738585072011e-308",
      "1.7976931348623157e308",
      "1e0000000000000000000001",
      "0.0000000000000000000000000000000000000000001e-280",
      "100000000000000000000000000000000000000000000000000000000e-350",
      "3.14159265358979323846264338327950288419716939937510582097494459"};
  const auto row = [](const char* field, const char* number) {
    std::string json = R"({"exporter": "vellum", "template": "t.xlsx", "rows": [{")";
    json.append(field).append("\": ").append(number).append("}]}");
    return json;
  };

  for (const char* number : numbers) {
    const Json reference = Json::parse(number);
    const Description real = load(row("time_value", number));
    ASSERT_EQ(real.rows.size(), 1u) << number;
    const double stored = platform::doubleAt(real.rows[0], QX_GROUP_TABLE_ROW_time_value);
    const double expected = reference.get<double>();
    EXPECT_EQ(std::memcmp(&stored, &expected, sizeof stored), 0)
        << number << ": " << stored << " instead of " << expected;

    const bool fits = reference.is_number_unsigned()
                          ? reference.get<std::uint64_t>() <= INT32_MAX
                          : reference.is_number_integer() &&
                                reference.get<std::int64_t>() >= INT32_MIN &&
                                reference.get<std::int64_t>() <= INT32_MAX;
    const std::string error = refusal(row("number_d", number), groupTableHeader(), groupTableRow());
    if (fits) {
      EXPECT_EQ(error, "") << number;
      EXPECT_EQ(
          platform::int32At(load(row("number_d", number)).rows[0], QX_GROUP_TABLE_ROW_number_d),
          reference.get<std::int64_t>())
          << number;
    } else {
      EXPECT_NE(error.find(reference.is_number_integer() ? "outside 32-bit integers"
                                                         : "must be a whole number"),
                std::string::npos)
          << number << ": " << error;
    }
  }
  // Values that no number field takes.
  for (const char* other : {"[1]", "{\"a\": 1}", "null", "true", "\"1\""}) {
    EXPECT_NE(refusal(row("time_value", other), groupTableHeader(), groupTableRow())
                  .find("/rows/0/time_value (line 1): must be a number"),
              std::string::npos)
        << other;
    EXPECT_NE(refusal(row("number_d", other), groupTableHeader(), groupTableRow())
                  .find("/rows/0/number_d (line 1): must be a whole number"),
              std::string::npos)
        << other;
  }
}

// Texts are converted a character at a time; each must come out as the whole text converted
// by the code page does, and be refused where that does not come back the same.
TEST_F(DescriptionTest, TextsConvertAsWholeTextsDo) {
  const Description d = load(R"({"exporter": "heron", "template": "t.xlsx"})");
  const char* const texts[] = {"plain",
                               "计算人",
                               "€ 5",
                               "A·B—C",
                               "한국어",
                               "Ａ１",
                               "测点\xF0\x9F\x98\x80",
                               "\xE2\x82\xAC\xE2\x82\xAC",
                               "äöü",
                               "ｶﾀｶﾅ",
                               "混凝土",
                               "€"};
  for (const char* text : texts) {
    const std::string whole = platform::utf8ToGbk(text);
    const bool holds = platform::gbkToUtf8(whole) == text;
    std::string error;
    std::string encoded;
    try {
      const auto record = encodeRecord(d, checkPointHeader(), Json{{"text1", text}}, "/header");
      encoded = std::string(platform::textAt(record, QX_CHECK_POINT_HEADER_text1, 30));
    } catch (const DescriptionError& refused) {
      error = refused.what();
    }
    if (holds) {
      EXPECT_EQ(encoded, whole) << text << ": " << error;
    } else {
      EXPECT_NE(error.find("code page 936 cannot hold"), std::string::npos) << text;
    }
  }
}

TEST_F(DescriptionTest, AddressesAreTheHostsOwn) {
  const std::string error =
      refusal(R"({"exporter": "kestrel", "template": "t.xlsx", "rows": [{"next": "0"}]})",
              dualSpecHeader(), dualSpecRow());
  EXPECT_NE(error.find("/rows/0/next (line 1): is an address that the host sets itself"),
            std::string::npos)
      << error;
}

TEST_F(DescriptionTest, LayoutsKeepTheirSizesAndFieldsInsideThem) {
  const RecordLayout* layouts[] = {&checkPointHeader(), &checkPointRow(),  &groupTableHeader(),
                                   &groupTableRow(),    &dualSpecHeader(), &dualSpecRow(),
                                   &resultHeader(),     &resultRow()};
  for (const RecordLayout* layout : layouts) {
    std::vector<bool> used(layout->size, false);
    for (const FieldSpec& field : layout->fields) {
      ASSERT_LE(field.offset + field.width, layout->size) << layout->name << "." << field.name;
      for (std::size_t i = field.offset; i < field.offset + field.width; ++i) {
        EXPECT_FALSE(used[i]) << layout->name << "." << field.name << " overlaps at " << i;
        used[i] = true;
      }
    }
  }
  EXPECT_EQ(resultRow().size, sizeof(void*) == 8 ? 5048u : 5040u);
  EXPECT_EQ(dualSpecRow().find("next")->offset, 5456u);
  EXPECT_EQ(groupTableRow().find("next")->offset, 3912u);
}

TEST_F(DescriptionTest, ABadRecordStopsTheRunBeforeAnyExportIsLoaded) {
  dir.write("t.xlsx", "PK");
  Description d = load(R"({"exporter": "kestrel", "template": "t.xlsx",
    "rows": [{"primary_b": "ok"}, {"primary_b": "this text is longer than thirty bytes"}]})");
  const auto workbook = dir.path() / "out.xlsx";
  try {
    encodeReport(d, workbook);
    FAIL() << "no refusal";
  } catch (const DescriptionError& error) {
    EXPECT_NE(std::string(error.what()).find("/rows/1/primary_b"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(workbook));
}

TEST_F(DescriptionTest, PicturesOnlyWhereTheExporterPlacesThem) {
  struct Case {
    const char* json;
    const char* expected;  // empty: accepted
  };
  const Case cases[] = {
      {R"({"exporter": "heron", "template": "t.xlsx"})", "/picture (line 1): heron always"},
      {R"({"exporter": "heron", "template": "t.xlsx", "picture": "p.bmp"})", ""},
      {R"({"exporter": "kestrel", "template": "t.xlsx", "picture": "p.bmp"})",
       "/picture (line 1): kestrel places no picture"},
      {R"({"exporter": "tamarack", "template": "t.xlsx", "picture": "p.bmp"})",
       "/picture (line 1): tamarack places a picture per row"},
      {R"({"exporter": "vellum", "template": "t.xlsx",
          "header": {"picture_flag": 1}})",
       "/header/picture_flag (line 2): asks for a picture"},
      {R"({"exporter": "vellum_x", "template": "t.xlsx", "header": {"picture_flag": 0}})", ""},
  };
  for (const Case& c : cases) {
    std::string error;
    try {
      checkPictureUse(load(c.json));
    } catch (const DescriptionError& refused) {
      error = refused.what();
    }
    if (*c.expected == '\0') {
      EXPECT_EQ(error, "") << c.json;
    } else {
      EXPECT_NE(error.find(c.expected), std::string::npos) << error << "\nexpected: " << c.expected;
    }
  }
}

}  // namespace
}  // namespace qx::testing
