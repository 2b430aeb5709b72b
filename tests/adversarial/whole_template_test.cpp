// The whole template comes back: every workbook of the corpus (and LibreOffice re-saves of the
// smaller ones, where LibreOffice is installed) filled by heron inside its used area and far
// below its data, with header texts over the first rows of its used area, then by kestrel,
// vellum and tamarack further down, then compared with the template by an independent reader:
// cells, styles, sheet features and every part the fill rewrote. Anything the written cells,
// their frames, the dimension, the added pictures and the table columns named by written
// header cells do not explain fails, naming file, part, cell and both values. The package
// saved by each of the five fills passes the strict check with no finding its template did not
// have.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/adversarial/deliverables.h"
#include "tests/support/corpus.h"
#include "tests/support/record_bytes.h"
#include "tests/support/strict_check_run.h"

namespace qx::testing {
namespace {

using namespace qx::testing::layouts;

namespace fs = std::filesystem;

// The engine's view of a template's active sheet, from template_diff.py plan.
struct Plan {
  std::string name;
  bool worksheet = false;
  int top = 1, left = 1, bottom = 1, right = 1;
  int insideRow = 0;  // counted from the used range's top; 0: no row with an empty first cell
};

std::string quoted(const fs::path& path) {
  std::string text = "'";
  text += path.string();
  text += '\'';
  return text;
}

std::string run(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

std::string script(const char* verb, const fs::path& listing) {
  return std::string("/usr/bin/python3 ") + QX_TEMPLATE_DIFF + " " + verb + " " + quoted(listing);
}

// LibreOffice re-saves of the corpus's smaller workbooks, made once into the build folder.
std::vector<fs::path> libreOfficeResaves(const std::vector<fs::path>& corpus) {
  int status = 0;
  const std::string office = run("command -v soffice", status);
  if (status != 0 || office.empty()) {
    std::printf("[ SKIPPED  ] LibreOffice re-saves: soffice is not installed\n");
    return {};
  }
  const fs::path folder = fs::path(QX_RESAVE_DIR);
  fs::create_directories(folder);
  std::string sources;
  // A re-save is named after its source with the extension .xlsx.
  auto resaveOf = [&](const fs::path& file) {
    return folder / fs::path(file.filename()).replace_extension(".xlsx");
  };
  for (const fs::path& file : corpus) {
    if (fs::file_size(file) < 100 * 1024 && !fs::exists(resaveOf(file))) {
      sources.append(" ").append(quoted(file));
    }
  }
  if (!sources.empty()) {
    const std::string convert =
        "cd " + quoted(folder) + " && soffice -env:UserInstallation=file://" + folder.string() +
        "/profile --headless --convert-to xlsx:\"Calc MS Excel 2007 XML\" --outdir " +
        quoted(folder / "out") + sources + " >/dev/null";
    run(convert, status);
    for (const auto& made : fs::directory_iterator(folder / "out")) {
      fs::rename(made.path(), folder / made.path().filename());
    }
  }
  std::vector<fs::path> resaves;
  for (const fs::path& file : corpus) {
    if (fs::exists(resaveOf(file))) resaves.push_back(resaveOf(file));
  }
  std::printf("LibreOffice re-saves: %zu\n", resaves.size());
  return resaves;
}

std::vector<Plan> plans(const std::vector<fs::path>& templates, const fs::path& listing) {
  std::ofstream(listing) << [&] {
    std::string lines;
    for (const fs::path& t : templates) lines += t.string() + "\n";
    return lines;
  }();
  int status = 0;
  std::istringstream out(run(script("plan", listing), status));
  EXPECT_EQ(status, 0) << out.str();
  std::vector<Plan> result;
  for (std::string line; std::getline(out, line);) {
    std::istringstream fields(line);
    Plan p;
    int worksheet = 0;
    std::getline(fields, p.name, '\t');
    fields >> worksheet >> p.top >> p.left >> p.bottom >> p.right >> p.insideRow;
    p.worksheet = worksheet != 0;
    result.push_back(p);
  }
  return result;
}

std::string cellName(int row, int column) {
  std::string name(1, static_cast<char>('A' + column - 1));
  name += std::to_string(row);
  return name;
}

// heron writes `rows` rows of columns a and b from `firstRow` of the used range; it frames the
// same numbers as sheet rows and columns, which is where the frames land. With `headers`, its
// three header texts go over the first two rows of the used range, where a template's title
// or a table's header row usually stands.
void fillWithHeron(const HostSetting& setting, const fs::path& workbook, int firstRow, int rows,
                   std::string& framed, bool headers = false) {
  RecordBytes header{cp::kSize};
  header.int32(cp::first_row, firstRow)
      .int32(cp::border_weight, 2)
      .int32(cp::row_count, rows)
      .text(cp::column_spec, "ab");
  if (headers) {
    header.slot(slots::kCheckPoint[0], "QXW-heron-h1", 1, 1)
        .slot(slots::kCheckPoint[1], "QXW-heron-h2", 1, 2)
        .slot(slots::kCheckPoint[2], "QXW-heron-h3", 2, 2);
  }
  header.text(cp::picture_cell1, cellName(firstRow, 2))
      .text(cp::picture_cell2, cellName(firstRow + 4, 4));
  header.text(cp::template_path, hostText(workbook));
  std::vector<std::string> body;
  for (int i = 0; i < rows; ++i) {
    const std::string tag = "QXW-heron-" + std::to_string(firstRow + i);
    body.push_back(checkPointRow(tag + "-a", tag + "-b", "", ""));
    for (int column = 1; column <= 2; ++column) framed += cellName(firstRow + i, column) + ",";
  }
  const std::string data = checkPointFile(header, body);
  const ProgramEnd end = runHeron(setting, &data);
  EXPECT_TRUE(end.exited && end.code == 0) << workbook << " heron ended with " << end.code;
}

void fillWithKestrel(const fs::path& workbook, int startRow, std::string& framed) {
  RecordBytes header{ds::kSize};
  header.text(ds::template_path, hostText(workbook))
      .text(ds::primary_spec, "bb")
      .int32(ds::start_row, startRow)
      .int32(ds::border_weight, 2);
  RecordList rows{dsr::kSize, dsr::next};
  rows.add().text(platform::records::dual_spec_row::primary_b, "QXW-kestrel");
  callTableExport(kKestrel, "excel_file", header.data(), rows.first());
  for (int column = 1; column <= 2; ++column) framed += cellName(startRow, column) + ",";
}

// vellum: a header text at (2, 1) of the used range, a group heading row and one record of
// two text columns, framed.
void fillWithVellum(const fs::path& workbook, int startRow, std::string& framed) {
  RecordBytes header{gt::kSize};
  header.slot(slots::kGroupTable[0], platform::utf8ToGbk("QXW-vellum-h"), 2, 1, true);
  header.int32(gt::start_row, startRow);
  header.int32(gt::group_column, 1);
  header.int32(gt::border_weight, 2);
  header.utf8Text(gt::column_spec, "cg");
  header.utf8Text(gt::template_path, hostText(workbook));
  RecordList rows{gtr::kSize, gtr::next};
  rows.add().utf8Text(gtr::group_key, "QXW-vellum-group");
  rows[0].text(platform::records::group_table_row::text_c, "QXW-vellum-c");
  rows[0].text(platform::records::group_table_row::text_g, "QXW-vellum-g");
  callTableExport(kVellum, "excel_file", header.data(), rows.first());
  for (int column = 1; column <= 2; ++column) framed += cellName(startRow + 1, column) + ",";
}

// tamarack: a header text at (1, 3) of the used range and one record of two text columns,
// framed, on one page.
void fillWithTamarack(const HostSetting& setting, const fs::path& workbook, int startRow,
                      std::string& framed) {
  ResultHost records;
  records.header.slot(slots::kResult[0], "QXW-tamarack-h", 1, 3);
  records.header.text(rs::workbook_path, hostText(workbook));
  records.header.text(rs::column_spec, "ab");
  records.bodyRows(startRow, startRow + 4);
  records.header.int32(rs::border_weight, 2);
  RecordBytes& row = records.addRow();
  row.text(rr::field_a, "QXW-tamarack-a");
  row.text(rr::field_b, "QXW-tamarack-b");
  callTamarack(setting, records.transferRecord());
  for (int column = 1; column <= 2; ++column) framed += cellName(startRow, column) + ",";
}

TEST(WholeTemplate, EveryTemplateComesBackWhole) {
  std::vector<fs::path> templates;
  for (const std::string& name : corpusFiles(true)) {
    templates.push_back(corpusFile(name));
  }
  const std::vector<fs::path> resaves = libreOfficeResaves(templates);
  templates.insert(templates.end(), resaves.begin(), resaves.end());

  const HostSetting shared;
  const std::vector<Plan> planned = plans(templates, shared.folder() / "plan.txt");
  ASSERT_EQ(planned.size(), templates.size());
  std::vector<std::unique_ptr<HostSetting>> cases;
  std::string checks;
  std::vector<std::pair<fs::path, fs::path>> stages;  // template, the package one fill saved
  for (std::size_t i = 0; i < templates.size(); ++i) {
    const Plan& plan = planned[i];
    if (!plan.worksheet) continue;  // the engine refuses a chart sheet as the active sheet
    cases.push_back(std::make_unique<HostSetting>());
    const HostSetting& setting = *cases.back();
    setting.copy(examplePicture(), "temp/set_check_point_pictrue.bmp");
    const fs::path workbook =
        setting.copy(templates[i], "template" + templates[i].extension().string());
    std::string framed;
    auto saved = [&](const char* fill) {
      stages.emplace_back(templates[i], setting.copy(workbook, std::string(fill) + ".xlsx"));
    };
    if (plan.insideRow > 0) {
      fillWithHeron(setting, workbook, plan.insideRow, 1, framed);
      saved("heron-inside");
    }
    const int below = plan.bottom - plan.top + 1000;
    fillWithHeron(setting, workbook, below, 2, framed, true);
    saved("heron-below");
    fillWithKestrel(workbook, below + 20, framed);
    saved("kestrel");
    fillWithVellum(workbook, below + 40, framed);
    saved("vellum");
    fillWithTamarack(setting, workbook, below + 60, framed);
    saved("tamarack");
    EXPECT_EQ(setting.messages(), std::vector<std::string>()) << templates[i];
    checks += templates[i].string() + "\t" + workbook.string() + "\t" + framed + "\n";
  }
  const fs::path listing = shared.folder() / "check.txt";
  std::ofstream(listing) << checks;
  int status = 0;
  const std::string report = run(script("check", listing), status);
  std::printf("%s", report.c_str());
  EXPECT_EQ(status, 0) << "differences above";

  const StrictCheck strict = strictCheck(stages, shared.folder());
  std::printf("strict check of every fill:\n%s", strict.report.c_str());
  EXPECT_EQ(strict.status, 0) << "findings the fills introduced above";
}

}  // namespace
}  // namespace qx::testing
