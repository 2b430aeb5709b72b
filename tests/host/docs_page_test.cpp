// docs/report-descriptions.md against the host's field tables: every field of every record is
// described in its exporter's section, nothing described is missing from the tables, and every
// example of the page is a description the host accepts.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "host/description.h"
#include "host/report_runner.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::host;

namespace {

struct Section {
  std::map<std::string, std::set<std::string>> fields;  // "Header fields" -> names
  std::vector<std::string> examples;                    // JSON blocks
};

std::string pageText() {
  std::ifstream in(std::string(QX_SOURCE_DIR) + "/docs/report-descriptions.md");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The back-quoted names of a table row's first cell.
std::vector<std::string> namesOfFirstCell(const std::string& line) {
  std::vector<std::string> names;
  const std::size_t end = line.find('|', 1);
  const std::string cell = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  for (std::size_t open = cell.find('`'); open != std::string::npos;) {
    const std::size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    names.push_back(cell.substr(open + 1, close - open - 1));
    open = cell.find('`', close + 1);
  }
  return names;
}

// Sections by their "## " heading; field tables under "### ... fields" headings.
std::map<std::string, Section> readPage(const std::string& text) {
  std::map<std::string, Section> sections;
  std::istringstream lines(text);
  std::string section, subsection, line, example;
  bool inExample = false, inCode = false;
  while (std::getline(lines, line)) {
    if (inExample) {
      if (line == "```") {
        sections[section].examples.push_back(example);
        inExample = false;
      } else {
        example += line + "\n";
      }
    } else if (line.starts_with("```")) {
      inCode = !inCode;
      if (line == "```json") {
        inExample = true;
        inCode = false;
        example.clear();
      }
    } else if (inCode) {
      continue;
    } else if (line.starts_with("## ")) {
      section = line.substr(3);
      subsection.clear();
    } else if (line.starts_with("### ")) {
      subsection = line.substr(4);
    } else if (subsection.ends_with("fields") && line.starts_with("| ") &&
               !line.starts_with("| field ")) {
      for (const std::string& name : namesOfFirstCell(line)) {
        sections[section].fields[subsection].insert(name);
      }
    }
  }
  return sections;
}

std::set<std::string> namesOf(const RecordLayout& layout) {
  std::set<std::string> names;
  for (const FieldSpec& field : layout.fields) {
    if (field.kind != FieldKind::Address) names.insert(std::string(field.name));
  }
  return names;
}

struct Documented {
  const char* section;
  const RecordLayout& header;
  const RecordLayout& row;
  std::set<std::string> exporters;
};

TEST(DocsPageTest, EveryFieldOfEveryRecordIsDescribedByItsName) {
  const std::map<std::string, Section> page = readPage(pageText());
  const Documented documented[] = {
      {"heron", checkPointHeader(), checkPointRow(), {"heron"}},
      {"vellum and vellum_x", groupTableHeader(), groupTableRow(), {"vellum", "vellum_x"}},
      {"kestrel", dualSpecHeader(), dualSpecRow(), {"kestrel"}},
      {"tamarack", resultHeader(), resultRow(), {"tamarack"}},
  };
  for (const Documented& d : documented) {
    SCOPED_TRACE(d.section);
    ASSERT_TRUE(page.contains(d.section)) << "no section \"## " << d.section << "\"";
    const Section& section = page.at(d.section);
    const auto described = [&](const char* table) {
      return section.fields.contains(table) ? section.fields.at(table) : std::set<std::string>{};
    };
    EXPECT_EQ(described("Header fields"), namesOf(d.header)) << d.header.name;
    EXPECT_EQ(described("Row fields"), namesOf(d.row)) << d.row.name;
  }
}

TEST(DocsPageTest, EveryExampleIsADescriptionTheHostAccepts) {
  const std::map<std::string, Section> page = readPage(pageText());
  TempDir dir;
  int examples = 0;
  for (const auto& [name, section] : page) {
    for (const std::string& json : section.examples) {
      SCOPED_TRACE(name + ":\n" + json);
      ++examples;
      try {
        Description d = loadDescription(dir.write("example.json", json));
        checkPictureUse(d);
        EXPECT_NE(name.find(d.exporter), std::string::npos) << "example of another exporter";
        const std::size_t described = d.rows.size();
        const EncodedReport report = encodeReport(d, dir.path() / "out.xlsx");
        EXPECT_EQ(report.rows.size(), described);
        EXPECT_GT(described, 0u);
      } catch (const DescriptionError& error) {
        ADD_FAILURE() << error.what();
      }
    }
  }
  EXPECT_EQ(examples, 4);
}

}  // namespace
}  // namespace qx::testing
