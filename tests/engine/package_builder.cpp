#include "tests/engine/package_builder.h"

#include <zip.h>

#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>

#include "engine/save/file_path.h"

namespace qx::testing {

Parts minimalWorkbook(const std::string& sheetData, const std::string& beforeData,
                      const std::string& afterData) {
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  Parts parts;
  parts["[Content_Types].xml"] =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
      R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
      R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
      R"(<Default Extension="xml" ContentType="application/xml"/>)"
      R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
      R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
      R"(<Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
      R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
      R"(<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)"
      R"(</Types>)";
  parts["_rels/.rels"] =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId1" Type=")" +
      rel +
      R"(/officeDocument" Target="xl/workbook.xml"/>)"
      R"(</Relationships>)";
  parts["xl/workbook.xml"] =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
      R"(<workbook xmlns=")" +
      main + R"(" xmlns:r=")" + rel +
      R"(">)"
      R"(<bookViews><workbookView activeTab="0"/></bookViews>)"
      R"(<sheets><sheet name="One" sheetId="1" r:id="rId1"/><sheet name="Two" sheetId="2" r:id="rId2"/></sheets>)"
      R"(</workbook>)";
  parts["xl/_rels/workbook.xml.rels"] =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId1" Type=")" +
      rel +
      R"(/worksheet" Target="worksheets/sheet1.xml"/>)"
      R"(<Relationship Id="rId2" Type=")" +
      rel +
      R"(/worksheet" Target="worksheets/sheet2.xml"/>)"
      R"(<Relationship Id="rId3" Type=")" +
      rel +
      R"(/styles" Target="styles.xml"/>)"
      R"(<Relationship Id="rId4" Type=")" +
      rel +
      R"(/sharedStrings" Target="sharedStrings.xml"/>)"
      R"(</Relationships>)";
  parts["xl/worksheets/sheet1.xml"] =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
      R"(<worksheet xmlns=")" +
      main + R"(" xmlns:r=")" + rel +
      R"(" xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" mc:Ignorable="x14ac" xmlns:x14ac="http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac">)"
      R"(<dimension ref="A1"/>)" +
      beforeData + "<sheetData>" + sheetData + "</sheetData>" + afterData + "</worksheet>";
  parts["xl/worksheets/sheet2.xml"] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                                      R"(<worksheet xmlns=")" +
                                      main + R"("><sheetData/></worksheet>)";
  parts["xl/styles.xml"] =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
      R"(<styleSheet xmlns=")" +
      main +
      R"(">)"
      R"(<fonts count="2"><font><sz val="11"/><name val="Calibri"/></font><font><b/><sz val="11"/><name val="Calibri"/></font></fonts>)"
      R"(<fills count="1"><fill><patternFill patternType="none"/></fill></fills>)"
      R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
      R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
      R"(<cellXfs count="3"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
      R"(<xf numFmtId="2" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1"/>)"
      R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>)"
      R"(</styleSheet>)";
  parts["xl/sharedStrings.xml"] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                                  R"(<sst xmlns=")" +
                                  main + R"(" count="1" uniqueCount="1"><si><t>old</t></si></sst>)";
  return parts;
}

void addTable(Parts& parts, const std::string& table) {
  const std::string sheet = "xl/worksheets/sheet1.xml";
  parts["xl/tables/table1.xml"] =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
      R"(<table xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )" +
      table + "</table>";
  parts["xl/worksheets/_rels/sheet1.xml.rels"] =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/table" Target="../tables/table1.xml"/>)"
      R"(</Relationships>)";
  std::string& xml = parts[sheet];
  xml.insert(xml.rfind("</worksheet>"),
             R"(<tableParts count="1"><tablePart r:id="rId9"/></tableParts>)");
  std::string& types = parts["[Content_Types].xml"];
  types.insert(
      types.rfind("</Types>"),
      R"(<Override PartName="/xl/tables/table1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml"/>)");
}

void writePackage(const std::filesystem::path& file, const Parts& parts) {
  int code = 0;
  zip_t* zip = zip_open(engine::pathText(file).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (zip == nullptr) throw std::runtime_error("cannot create " + file.string());
  auto add = [&](const std::string& name, const std::string& bytes) {
    zip_source_t* source = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
    if (zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      throw std::runtime_error("cannot add " + name);
    }
  };
  if (parts.count("[Content_Types].xml") != 0)
    add("[Content_Types].xml", parts.at("[Content_Types].xml"));
  for (const auto& [name, bytes] : parts) {
    if (name != "[Content_Types].xml") add(name, bytes);
  }
  if (zip_close(zip) != 0) throw std::runtime_error("cannot write " + file.string());
}

Parts readPackage(const std::filesystem::path& file) {
  int code = 0;
  zip_t* zip = zip_open(engine::pathText(file).c_str(), ZIP_RDONLY, &code);
  if (zip == nullptr) throw std::runtime_error("cannot open " + file.string());
  Parts parts;
  const zip_int64_t count = zip_get_num_entries(zip, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &stat);
    if (parts.count(stat.name) != 0) continue;
    std::string bytes(stat.size, '\0');
    zip_file_t* f = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
    if (f == nullptr ||
        zip_fread(f, bytes.data(), bytes.size()) != static_cast<zip_int64_t>(stat.size)) {
      throw std::runtime_error(std::string("cannot read ") + stat.name);
    }
    zip_fclose(f);
    parts[stat.name] = std::move(bytes);
  }
  zip_discard(zip);
  return parts;
}

std::map<std::string, std::string> readRawEntries(const std::filesystem::path& file) {
  int code = 0;
  zip_t* zip = zip_open(engine::pathText(file).c_str(), ZIP_RDONLY, &code);
  if (zip == nullptr) throw std::runtime_error("cannot open " + file.string());
  std::map<std::string, std::string> raw;
  const zip_int64_t count = zip_get_num_entries(zip, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &stat);
    if (raw.count(stat.name) != 0) continue;
    std::string bytes(stat.comp_size, '\0');
    zip_file_t* f = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), ZIP_FL_COMPRESSED);
    if (f != nullptr) {
      zip_fread(f, bytes.data(), bytes.size());
      zip_fclose(f);
    }
    raw[stat.name] = std::move(bytes);
  }
  zip_discard(zip);
  return raw;
}

std::string tinyPng() {
  static const unsigned char bytes[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
      0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
      0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
      0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99,
      0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

namespace {

void escaped(std::ostream& out, const char* text, bool inAttribute) {
  for (; *text != '\0'; ++text) {
    switch (*text) {
      case '&':
        out << "&amp;";
        break;
      case '<':
        out << "&lt;";
        break;
      case '>':
        out << "&gt;";
        break;
      case '"':
        out << (inAttribute ? "&quot;" : "\"");
        break;
      default:
        out << *text;
    }
  }
}

void attributeText(std::ostream& out, const pugi::xml_attribute& attribute) {
  out << attribute.name() << "=\"";
  escaped(out, attribute.value(), true);
  out << '"';
}

// Elements as the engine writes them: double quotes, no space before "/>".
void nodeText(std::ostream& out, const pugi::xml_node& node) {
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
    escaped(out, node.value(), false);
    return;
  }
  if (node.type() != pugi::node_element) return;
  out << '<' << node.name();
  for (const pugi::xml_attribute& attribute : node.attributes())
    attributeText(out << ' ', attribute);
  if (!node.first_child()) {
    out << "/>";
    return;
  }
  out << '>';
  for (const pugi::xml_node& child : node.children()) nodeText(out, child);
  out << "</" << node.name() << '>';
}

}  // namespace

std::string xmlFragment(const std::string& xml, const char* xpath) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_string(xml.c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
  if (!parsed) return std::string("(not well-formed: ") + parsed.description() + ")";
  std::ostringstream out;
  for (const pugi::xpath_node& selected : document.select_nodes(xpath)) {
    if (selected.attribute()) {
      attributeText(out, selected.attribute());
    } else {
      nodeText(out, selected.node());
    }
  }
  return out.str();
}

std::string drained(const engine::ChunkSource& source) {
  std::string out, chunk;
  while (source(chunk)) out += chunk;
  return out;
}

}  // namespace qx::testing
