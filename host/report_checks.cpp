#include "host/report_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/code_page.h"

namespace qx::host {

namespace {

[[noreturn]] void refuse(const Description& d, const std::string& field, const std::string& what) {
  const std::string pointer = "/header/" + field;
  throw DescriptionError(d.name + ": " + pointer + " (line " + std::to_string(d.lineOf(pointer)) +
                         "): " + what);
}

// A whole-number field as the description gives it; nothing when it is left out.
std::optional<std::int64_t> number(const Description& d, const std::string& field) {
  const auto it = d.header.find(field);
  if (it == d.header.end() || !it->is_number_integer()) return std::nullopt;
  return it->get<std::int64_t>();
}

bool flagOn(const Description& d, const std::string& field) {
  return number(d, field).value_or(0) != 0;
}

std::string text(const Description& d, const std::string& field) {
  const auto it = d.header.find(field);
  return it != d.header.end() && it->is_string() ? it->get<std::string>() : std::string();
}

void requireBorderWeight(const Description& d) {
  constexpr const char* kWeights = "1 (hairline), 2 (thin), -4138 (medium) or 4 (thick)";
  const auto weight = number(d, "border_weight");
  if (!weight) refuse(d, "border_weight", std::string("is required: ") + kWeights);
  if (*weight != 1 && *weight != 2 && *weight != -4138 && *weight != 4) {
    refuse(d, "border_weight",
           "is " + std::to_string(*weight) + "; the frame's weight is one of " + kWeights);
  }
}

// A row the table starts in; rows count from 1.
void requireRow(const Description& d, const std::string& field, const std::string& what) {
  const auto row = number(d, field);
  if (!row) refuse(d, field, "is required: " + what + " (1 or more)");
  if (*row < 1) refuse(d, field, "is " + std::to_string(*row) + "; rows count from 1");
}

// A header text that is shown needs its cell.
void requireShownCell(const Description& d, const std::string& flag, const std::string& row,
                      const std::string& column) {
  if (!flagOn(d, flag)) return;
  for (const std::string& field : {row, column}) {
    const auto value = number(d, field);
    if (!value || *value < 1) {
      refuse(d, field,
             (value ? "is " + std::to_string(*value) : std::string("is left out")) + ", but " +
                 flag + " shows its text: rows and columns count from 1");
    }
  }
}

void requireCellReference(const Description& d, const std::string& field, const std::string& why) {
  const std::string reference = text(d, field);
  if (reference.empty()) refuse(d, field, "is required: " + why + ", as B2 or $B$2");
  if (!isCellReference(reference)) {
    refuse(d, field, "\"" + reference + "\" is no cell reference; name one cell as B2 or $B$2");
  }
}

// A count the host knows from the rows: given, it must agree.
void requireCount(const Description& d, const std::string& field, std::size_t rows) {
  const auto given = number(d, field);
  if (given && *given != static_cast<std::int64_t>(rows)) {
    refuse(d, field,
           "is " + std::to_string(*given) + ", but \"rows\" holds " + std::to_string(rows) +
               " records; leave it out and the host counts them");
  }
}

// The characters of each exporter's column specs that take a column.
struct SpecAlphabet {
  const char* exporters;  // the exporters it belongs to, as --help names them
  const char* field;
  std::string_view letters;
};

constexpr std::string_view kLowerLetters = "abcdefghijklmnopqrstuvwxyz";
const std::string kVellumLetters = std::string(kLowerLetters) + "12345678";
const std::string kKestrelPrimary = std::string(kLowerLetters) + "0123456789!#$&()*<>[]";
const std::string kTamarackLetters = std::string(kLowerLetters) + "0123456789<[>)&";

std::vector<SpecAlphabet> alphabetsOf(const std::string& exporter) {
  if (exporter == "heron") return {{"heron", "column_spec", "abcdw"}};
  if (exporter == "vellum" || exporter == "vellum_x")
    return {{"vellum", "column_spec", kVellumLetters}};
  if (exporter == "kestrel") {
    return {{"kestrel", "primary_spec", kKestrelPrimary},
            {"kestrel", "secondary_spec", "abcdefghijklmnopqz"}};
  }
  if (exporter == "tamarack") return {{"tamarack", "column_spec", kTamarackLetters}};
  return {};
}

// "X", "a space" or "U+00B7 (·)" for what a warning names.
std::string shown(std::u16string_view character) {
  if (character.size() == 1 && character[0] == u' ') return "a space";
  if (character.size() == 1 && character[0] > 0x20 && character[0] < 0x7F) {
    return std::string("\"") + static_cast<char>(character[0]) + "\"";
  }
  std::uint32_t code = character[0];
  if (character.size() == 2) code = 0x10000 + ((code - 0xD800u) << 10) + (character[1] - 0xDC00u);
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
  return std::string(name) + (code < 0x20 ? "" : " (" + platform::utf16ToUtf8(character) + ")");
}

}  // namespace

bool isCellReference(const std::string& reference) {
  std::size_t at = 0;
  if (at < reference.size() && reference[at] == '$') ++at;
  std::int64_t column = 0;
  const std::size_t lettersStart = at;
  while (at < reference.size() && std::isalpha(static_cast<unsigned char>(reference[at])) &&
         at - lettersStart < 3) {
    column = column * 26 + (std::toupper(static_cast<unsigned char>(reference[at])) - 'A' + 1);
    ++at;
  }
  if (at == lettersStart || column > 16384) return false;
  if (at < reference.size() && reference[at] == '$') ++at;
  std::int64_t row = 0;
  const std::size_t digitsStart = at;
  while (at < reference.size() && std::isdigit(static_cast<unsigned char>(reference[at])) &&
         at - digitsStart < 8) {
    row = row * 10 + (reference[at] - '0');
    ++at;
  }
  return at == reference.size() && at > digitsStart && reference[digitsStart] != '0' &&
         row <= 1048576;
}

void checkRequiredFields(const Description& d, std::size_t rows) {
  const std::string& e = d.exporter;
  if (e == "heron") {
    requireBorderWeight(d);
    requireRow(d, "first_row", "the row of the first table row");
    for (const char* n : {"1", "2", "3"}) {
      const std::string t = std::string("text") + n;
      requireShownCell(d, t + "_flag", t + "_row", t + "_col");
    }
    requireCellReference(d, "picture_cell1", "heron places its picture from this corner cell");
    requireCellReference(d, "picture_cell2", "heron places its picture up to this corner cell");
    requireCount(d, "row_count", rows);
  } else if (e == "vellum" || e == "vellum_x") {
    requireBorderWeight(d);
    requireRow(d, "start_row", "the row of the first table row");
    if (e == "vellum") {
      const auto column = number(d, "group_column");
      if (!column)
        refuse(d, "group_column", "is required: the column of the group headings (1 or more)");
      if (*column < 1) {
        refuse(d, "group_column", "is " + std::to_string(*column) + "; columns count from 1");
      }
    }
    for (int n = 1; n <= 24; ++n) {
      const std::string slot = "slot" + std::to_string(n);
      requireShownCell(d, slot + "_show", slot + "_row", slot + "_column");
    }
    if (flagOn(d, "picture_flag")) {
      requireCellReference(d, "picture_first_cell", "picture_flag places the picture from it");
      requireCellReference(d, "picture_last_cell", "picture_flag places the picture up to it");
    }
    if (e == "vellum" && rows == 0) {
      throw DescriptionError(d.name + ": /rows (line " + std::to_string(d.lineOf("/rows")) +
                             "): vellum needs at least one row: with an empty row list it "
                             "returns at once and fills nothing (vellum_x fills the header "
                             "alone)");
    }
  } else if (e == "kestrel") {
    requireBorderWeight(d);
    requireRow(d, "start_row", "the row of the first table row");
    for (const char* n : {"1", "2", "3", "4"}) {
      requireShownCell(d, std::string("show_flag") + n, std::string("header_row") + n,
                       std::string("header_column") + n);
    }
  } else if (e == "tamarack") {
    requireBorderWeight(d);
    requireRow(d, "first_body_row", "the first table row of a page");
    for (const char* n : {"1", "2", "3", "4", "5"}) {
      const std::string t = std::string("text") + n;
      requireShownCell(d, t + "_enabled", t + "_row", t + "_column");
    }
    if (flagOn(d, "pagination")) {
      const std::int64_t first = *number(d, "first_body_row");
      const auto last = number(d, "last_body_row");
      if (!last) {
        refuse(d, "last_body_row",
               "is required with pagination: the last table row of a page (first_body_row or "
               "more)");
      }
      if (*last < first) {
        refuse(d, "last_body_row",
               "is " + std::to_string(*last) + ", above first_body_row " + std::to_string(first) +
                   "; a page holds the rows from first_body_row to last_body_row");
      }
    }
    requireCount(d, "record_count", rows);
  }
}

std::vector<std::string> columnSpecWarnings(const Description& d) {
  std::vector<std::string> warnings;
  for (const SpecAlphabet& alphabet : alphabetsOf(d.exporter)) {
    const std::u16string spec = platform::utf8ToUtf16(text(d, alphabet.field));
    std::string passed;
    std::vector<std::u16string> named;
    for (std::size_t i = 0; i < spec.size(); ++i) {
      const std::size_t length =
          spec[i] >= 0xD800 && spec[i] <= 0xDBFF && i + 1 < spec.size() ? 2 : 1;
      const std::u16string character = spec.substr(i, length);
      i += length - 1;
      // The exporter reads the GBK bytes: a character is passed over unless a byte of it is a
      // letter (the second byte of a double-byte character can be).
      bool takes = false;
      for (const char byte : platform::utf16ToGbk(character)) {
        takes = takes || alphabet.letters.find(byte) != std::string_view::npos;
      }
      if (takes || std::find(named.begin(), named.end(), character) != named.end()) continue;
      named.push_back(character);
      passed.append(passed.empty() ? "" : ", ").append(shown(character));
    }
    if (named.empty()) continue;
    const std::string pointer = std::string("/header/") + alphabet.field;
    warnings.push_back(d.name + ": " + pointer + " (line " + std::to_string(d.lineOf(pointer)) +
                       "): " + passed + (named.size() == 1 ? " takes" : " take") + " no column: " +
                       alphabet.exporters + " passes over " + (named.size() == 1 ? "it" : "them") +
                       " (its letters: " + std::string(alphabet.letters) + ")");
  }
  return warnings;
}

}  // namespace qx::host
