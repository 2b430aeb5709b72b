// Fuzz target for the XML parts of a package: a small sound workbook in which one part (the
// first byte picks which) is replaced by the rest of the input. The workbook must open or fail
// with an EngineError; when it opens, writing, framing and saving must give a package that
// opens again, shows what was written and keeps every text of the replaced part that the fill
// did not change. Where QX_FUZZ_SAVED_DIR names a folder, each input that saved is kept there
// with what it saved, listed in its strict-check.txt, for the strict check to hold each saved
// package to its input.

#include <unistd.h>
#include <zip.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "engine/package/cell_values.h"
#include "engine/package/frame.h"
#include "engine/package/workbook.h"
#include "engine/save/engine_error.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using qx::engine::EngineError;
using qx::engine::Workbook;

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kDocumentRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string xmlHeader() {
  return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
}

using Parts = std::array<std::pair<std::string, std::string>, 7>;

Parts soundParts() {
  const std::string rel = kDocumentRelationships;
  const std::string main = kMain;
  const std::string type = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
  return {{
      {"[Content_Types].xml",
       xmlHeader() +
           R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
           R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
           R"(<Default Extension="xml" ContentType="application/xml"/>)"
           R"(<Override PartName="/xl/workbook.xml" ContentType=")" +
           type +
           R"(sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType=")" +
           type + R"(worksheet+xml"/><Override PartName="/xl/styles.xml" ContentType=")" + type +
           R"(styles+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType=")" + type +
           R"(sharedStrings+xml"/></Types>)"},
      {"_rels/.rels",
       xmlHeader() +
           R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
           R"(<Relationship Id="rId1" Type=")" +
           rel + R"(/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
      {"xl/workbook.xml",
       xmlHeader() + R"(<workbook xmlns=")" + main + R"(" xmlns:r=")" + rel +
           R"("><bookViews><workbookView activeTab="0"/></bookViews>)"
           R"(<sheets><sheet name="One" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
      {"xl/_rels/workbook.xml.rels",
       xmlHeader() +
           R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
           R"(<Relationship Id="rId1" Type=")" +
           rel + R"(/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId3" Type=")" +
           rel + R"(/styles" Target="styles.xml"/><Relationship Id="rId4" Type=")" + rel +
           R"(/sharedStrings" Target="sharedStrings.xml"/></Relationships>)"},
      {"xl/worksheets/sheet1.xml",
       xmlHeader() + R"(<worksheet xmlns=")" + main + R"(" xmlns:r=")" + rel +
           R"("><dimension ref="B2:D4"/><sheetData>)"
           R"(<row r="2"><c r="B2" t="s"><v>0</v></c><c r="C2" s="1"><v>2.5</v></c>)"
           R"(<c r="D2" t="inlineStr"><is><t>in</t></is></c></row>)"
           R"(<row r="3"><c r="B3"><f>C2*2</f><v>5</v></c><c r="C3" t="b"><v>1</v></c>)"
           R"(<c r="D3" s="2" t="str"><v>x</v></c></row>)"
           R"(<row r="4"><c r="B4"><f t="shared" ref="B4:D4" si="0">C2+1</f><v>3.5</v></c>)"
           R"(<c r="C4"><f t="shared" si="0"/><v>1</v></c><c r="D4" s="3"><v>0.25</v></c></row>)"
           R"(</sheetData><mergeCells count="1"><mergeCell ref="E5:F6"/></mergeCells></worksheet>)"},
      {"xl/styles.xml",
       xmlHeader() + R"(<styleSheet xmlns=")" + main +
           R"("><numFmts count="1"><numFmt numFmtId="164" formatCode="[h]:mm"/></numFmts>)"
           R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>)"
           R"(<fills count="1"><fill><patternFill patternType="none"/></fill></fills>)"
           R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
           R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
           R"(<cellXfs count="4"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
           R"(<xf numFmtId="2" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
           R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
           R"(<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
           R"(</styleSheet>)"},
      {"xl/sharedStrings.xml", xmlHeader() + R"(<sst xmlns=")" + main +
                                   R"(" count="1" uniqueCount="1"><si><t>old</t></si></sst>)"},
  }};
}

// Parts are stored uncompressed, so that the fuzzer's changes reach the XML as they are.
bool writePackage(const std::string& path, const Parts& parts) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) return false;
  for (const auto& [name, bytes] : parts) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    const zip_int64_t index =
        source == nullptr ? -1 : zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
    if (index < 0) {
      zip_source_free(source);
      zip_discard(archive);
      return false;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  return zip_close(archive) == 0;
}

std::string readPart(const std::string& path, const std::string& name) {
  std::string bytes;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
  if (archive == nullptr) return bytes;
  if (zip_file_t* file = zip_fopen(archive, name.c_str(), 0)) {
    char buffer[4096];
    for (zip_int64_t n; (n = zip_fread(file, buffer, sizeof buffer)) > 0;) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    zip_fclose(file);
  }
  zip_close(archive);
  return bytes;
}

// Every text node of a part (element text and CDATA, spaces included); empty when it is no
// XML that pugixml reads.
std::vector<std::string> textsOf(const std::string& bytes) {
  std::vector<std::string> texts;
  pugi::xml_document document;
  const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
  if (!document.load_buffer(bytes.data(), bytes.size(), options)) return texts;
  struct Collector : pugi::xml_tree_walker {
    std::vector<std::string>* out;
    bool for_each(pugi::xml_node& node) override {
      // Text directly inside the root element is no content any reader shows (the roots of
      // these parts hold elements only); the engine does not keep it when it rewrites a part.
      const bool stray = node.parent().parent().type() == pugi::node_document;
      if ((node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) && !stray) {
        out->emplace_back(node.value());
      }
      return true;
    }
  } collector;
  collector.out = &texts;
  document.traverse(collector);
  return texts;
}

// True when `bytes` is well-formed UTF-8. A part that is not cannot keep its texts byte for
// byte: the engine writes such bytes back as replacement characters, never as invalid XML.
bool isUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 2) return false;
    }
    i += length;
  }
  return true;
}

// The texts of `before` appear in `after` in the same order: the fill only adds.
bool keepsTexts(const std::vector<std::string>& before, const std::vector<std::string>& after) {
  std::size_t at = 0;
  for (const std::string& text : before) {
    while (at < after.size() && after[at] != text) ++at;
    if (at++ >= after.size()) return false;
  }
  return true;
}

// Writes a text and a time into the used range's corner and below it, frames the corner,
// saves; returns the corner where the text went.
std::pair<std::uint32_t, std::uint32_t> fill(Workbook& workbook) {
  const std::size_t active = workbook.activeSheet();
  qx::engine::Worksheet& sheet = workbook.worksheet(active);
  const qx::engine::CellRect used = sheet.usedRange();
  for (std::uint32_t row = used.top; row <= used.bottom && row < used.top + 8; ++row) {
    for (std::uint32_t column = used.left; column <= used.right && column < used.left + 8;
         ++column) {
      qx::engine::cellText(workbook, sheet, row, column);
    }
  }
  qx::engine::putCellValue(workbook, sheet, used.top, used.left,
                           qx::engine::CellInput::ofText("fuzz"));
  if (used.top < qx::engine::kMaxRows) {
    qx::engine::putCellValue(workbook, sheet, used.top + 1, used.left,
                             qx::engine::CellInput::ofText("25:30"));
  }
  const std::uint32_t line = qx::engine::borderLineId(
      workbook, {qx::engine::kLineContinuous, qx::engine::kWeightThin, {}, {}});
  qx::engine::frameRange(workbook, sheet, {used.top, used.left, used.top, used.left}, line);
  workbook.save();
  return {used.top, used.left};
}

// Keeps the input and the package it saved in the folder QX_FUZZ_SAVED_DIR names, if any.
void keepSaved(const Parts& input, const std::string& saved) {
  const char* folder = std::getenv("QX_FUZZ_SAVED_DIR");
  if (folder == nullptr || *folder == '\0') return;
  static int kept = 0;
  const std::filesystem::path base = std::filesystem::path(folder) / std::to_string(::getpid());
  std::filesystem::create_directories(base);
  const std::string n = std::to_string(++kept);
  const std::filesystem::path keptInput = base / (n + "-input.xlsx");
  const std::filesystem::path output = base / (n + "-saved.xlsx");
  if (!writePackage(keptInput.string(), input)) return;
  std::filesystem::copy_file(saved, output, std::filesystem::copy_options::overwrite_existing);
  std::ofstream(std::filesystem::path(folder) / "strict-check.txt", std::ios::app)
      << keptInput.string() << '\t' << output.string() << '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const std::string path = "/tmp/qx-parts-fuzz-" + std::to_string(::getpid()) + ".xlsx";
  auto parts = soundParts();
  parts[data[0] % parts.size()].second.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!writePackage(path, parts)) return 0;

  std::pair<std::uint32_t, std::uint32_t> corner;
  bool saved = false;
  try {
    Workbook workbook(path);
    corner = fill(workbook);
    saved = true;
  } catch (const EngineError&) {
  }
  if (saved) {
    try {
      Workbook again(path);
      qx::engine::Worksheet& sheet = again.worksheet(again.activeSheet());
      QX_FUZZ_CHECK(qx::engine::cellText(again, sheet, corner.first, corner.second) == "fuzz",
                    "the saved workbook lost the text written");
      // The sheet loses the values written over; any other part keeps every text it had.
      const auto& [name, bytes] = parts[data[0] % parts.size()];
      if (name != sheet.part() && isUtf8(bytes)) {
        QX_FUZZ_CHECK(keepsTexts(textsOf(bytes), textsOf(readPart(path, name))),
                      "a part lost a text the fill did not change");
      }
      keepSaved(parts, path);
    } catch (const EngineError& error) {
      std::fprintf(stderr, "reopening the saved workbook: %s\n", error.what());
      QX_FUZZ_CHECK(false, "a workbook the engine saved does not open again");
    }
  }
  std::remove(path.c_str());
  return 0;
}
