#include "tests/wine/reports.h"

#include <fstream>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/code_page.h"
#include "platform/paths.h"
#include "tests/support/record_bytes.h"
#include "tests/wine/call_log.h"

namespace qx::testing {

namespace {

using namespace qx::testing::layouts;

namespace fs = std::filesystem;

// Code page 936 bytes of a UTF-8 text, as the host writes them. Converted by the code page's
// number, not through the system's ANSI code page the exporters decode with: on a system whose
// code page is not 936 both sides could otherwise agree on the wrong bytes.
std::string gbk(std::string_view utf8) {
#ifdef _WIN32
  const std::u16string wide = platform::utf8ToUtf16(utf8);
  const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
  const int size = static_cast<int>(wide.size());
  std::string bytes(static_cast<std::size_t>(
                        WideCharToMultiByte(936, 0, units, size, nullptr, 0, nullptr, nullptr)),
                    '\0');
  WideCharToMultiByte(936, 0, units, size, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                      nullptr);
  return bytes;
#else
  return platform::utf8ToGbk(utf8);  // iconv, which names the code page too
#endif
}

constexpr const char* kTemplatePlaceholder = "<template>";
constexpr const char* kPicturePlaceholder = "<picture>";

void writeFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string utf8Of(const fs::path& path) {
  return platform::gbkToUtf8(platform::hostTextFromPath(path));
}

// Empties the folders a report reads from and writes its template; returns the template's path.
fs::path freshFolders(const fs::path& configuration, PreparedReport& prepared) {
  fs::remove_all(configuration / "temp");
  fs::remove_all(configuration / "lang");
  const fs::path workbook = configuration / "temp" / "report.xlsx";
  writeFile(workbook, "PK");
  prepared.paths.emplace_back(utf8Of(workbook), kTemplatePlaceholder);
  return workbook;
}

// The host's picture, where the exporter looks for it.
void hostPicture(const char* name, PreparedReport& prepared) {
  const fs::path picture = platform::tempFile(name);
  writeFile(picture, "BM");
  prepared.paths.emplace_back(utf8Of(picture), kPicturePlaceholder);
}

template <class Record, class... Arguments>
std::shared_ptr<Record> keep(PreparedReport& prepared, Arguments... arguments) {
  auto record = std::make_shared<Record>(arguments...);
  prepared.records.push_back(record);
  return record;
}

// --- vellum and vellum_x: group header and rows in the host's memory ---

PreparedReport groupTable(const fs::path& configuration, bool withPicture) {
  PreparedReport prepared;
  const fs::path workbook = freshFolders(configuration, prepared);
  auto header = keep<RecordBytes>(prepared, gt::kSize);
  auto rows = keep<RecordList>(prepared, gtr::kSize, gtr::next);
  header->utf8Text(gt::template_path, utf8Of(workbook));
  header->utf8Text(gt::column_spec, "abl");
  header->int32(gt::start_row, 5);
  header->int32(gt::border_weight, 2);
  header->int32(gt::time_format, 1);
  header->int32(gt::group_column, 1);
  header->slot(slots::kGroupTable[0], gbk("分组报表"), 2, 1)
      .slot(slots::kGroupTable[1], gbk("不显示"), 2, 3, /*shown=*/0);
  if (withPicture) {
    header->int32(gt::picture_flag, 1)
        .utf8Text(gt::picture_first_cell, "B2")
        .utf8Text(gt::picture_last_cell, "C3");
    hostPicture("post_excel_sheet_pictrue.bmp", prepared);
  }
  const struct {
    const char* key;
    double minutes;
  } records[] = {{"一号", 30}, {"一号", 45}, {"二号", 90}};
  for (const auto& record : records) {
    RecordBytes& row = rows->add();
    row.text(gtr::group_key, gbk(record.key));
    row.real(gtr::time_value, record.minutes);
  }
  prepared.header = header->data();
  prepared.firstRow = rows->first();
  return prepared;
}

PreparedReport groupTableWithoutTemplate(const fs::path& configuration) {
  PreparedReport prepared = groupTable(configuration, false);
  fs::remove(configuration / "temp" / "report.xlsx");
  return prepared;
}

// --- kestrel: header and rows in the host's memory ---

PreparedReport dualSpec(const fs::path& configuration) {
  PreparedReport prepared;
  const fs::path workbook = freshFolders(configuration, prepared);
  auto header = keep<RecordBytes>(prepared, ds::kSize);
  auto rows = keep<RecordList>(prepared, dsr::kSize, dsr::next);
  header->text(ds::template_path, platform::hostTextFromPath(workbook))
      .text(ds::primary_spec, "abc")
      .int32(ds::start_row, 5)
      .int32(ds::border_weight, 2)
      .slot(slots::kDualSpec[0], gbk("双规格报表"), 2, 1, 1)
      .slot(slots::kDualSpec[3], gbk("第四"), 3, 2, 1);
  const struct {
    const char* name;
    int count;
  } records[] = {{"甲组", 12}, {"乙组", -3}};
  for (const auto& record : records) {
    rows->add().text(dsr::primary_b, gbk(record.name)).int32(dsr::primary_c, record.count);
  }
  prepared.header = header->data();
  prepared.firstRow = rows->first();
  return prepared;
}

PreparedReport dualSpecWithoutTemplate(const fs::path& configuration) {
  PreparedReport prepared = dualSpec(configuration);
  fs::remove(configuration / "temp" / "report.xlsx");
  return prepared;
}

// --- tamarack: language file, and a data file holding the addresses of the host's records ---

PreparedReport resultTable(const fs::path& configuration, bool paged) {
  PreparedReport prepared;
  const fs::path workbook = freshFolders(configuration, prepared);
  std::string language;
  const std::pair<const char*, const char*> texts[] = {{"excel_fil_01:", "数据文件打不开"},
                                                       {"excel_fil_02:", "数据文件太短"},
                                                       {"excel_fil_03:", "模板"},
                                                       {"excel_fil_04:", "读不了!"},
                                                       {"excel_fil_05:", "环境初始化失败"},
                                                       {"excel_fil_06:", "服务器起不来"},
                                                       {"excel_fil_07:", "数据文件再打不开"},
                                                       {"excel_fil_08:", "数据文件再读太短"},
                                                       {"excel_fil_09:", "工作表不够"},
                                                       {"excel_fil_11:", "小计:"},
                                                       {"excel_fil_12:", "总计:"}};
  for (const auto& [key, text] : texts) language += key + gbk(text) + "\r\n";
  writeFile(platform::languageFile("pinebrook_exe.txt"), language);

  auto host = keep<ResultHost>(prepared);
  host->header.text(rs::workbook_path, platform::hostTextFromPath(workbook));
  host->header.int32(rs::border_weight, 2);
  host->header.slot(slots::kResult[0], gbk("结果表"), 2, 1);
  host->header.slot(slots::kResult[1], "off", 2, 2, false);
  host->header.text(rs::column_spec, paged ? "ae" : "aeb");
  host->bodyRows(5, paged ? 7 : 20).pagination(paged, /*switchA=*/paged, false);
  const char* names[] = {"甲", "乙", "丙", "丁"};
  const char* amounts[] = {"1", "2", "4", "10"};
  for (int i = 0; i < 4; ++i) {
    RecordBytes& row = host->addRow();
    row.text(rr::field_a, gbk(names[i]))
        .text(rr::field_e, amounts[i])
        .text(rr::field_b, std::string(1, 'b').append(std::to_string(i)));
  }
  writeFile(platform::tempFile("pinebrook_temp.dat"), host->transferRecord());
  return prepared;
}

PreparedReport resultTableWithoutTemplate(const fs::path& configuration) {
  PreparedReport prepared = resultTable(configuration, false);
  fs::remove(configuration / "temp" / "report.xlsx");
  return prepared;
}

// --- heron: everything in the data file ---

PreparedReport checkPoint(const fs::path& configuration, bool withPicture) {
  PreparedReport prepared;
  const fs::path workbook = freshFolders(configuration, prepared);
  RecordBytes header{cp::kSize};
  header.text(cp::template_path, platform::hostTextFromPath(workbook))
      .int32(cp::first_row, 5)
      .int32(cp::border_weight, 2)
      .text(cp::picture_cell1, "B2")
      .text(cp::picture_cell2, "C3")
      .slot(slots::kCheckPoint[0], gbk("检查点表"), 1, 1)
      .slot(slots::kCheckPoint[1], "two", 2, 3)
      .slot(slots::kCheckPoint[2], gbk("第三"), 3, 4)
      .int32(cp::row_count, 3)
      .text(cp::column_spec, "abcd");
  const std::vector<std::string> rows = {checkPointRow(gbk("甲"), "b0", "c0", "d0"),
                                         checkPointRow(gbk("乙"), "b1", "", "d1"),
                                         checkPointRow("a2", gbk("丙二"), "c2", "d2")};
  writeFile(platform::tempFile("check_point_temp.dat"), checkPointFile(header, rows));
  if (withPicture) {
    hostPicture("set_check_point_pictrue.bmp", prepared);
  } else {
    prepared.paths.emplace_back(utf8Of(platform::tempFile("set_check_point_pictrue.bmp")),
                                kPicturePlaceholder);
  }
  return prepared;
}

}  // namespace

const char* deliverableName(Deliverable deliverable) {
  switch (deliverable) {
    case Deliverable::Heron:
      return "heron";
    case Deliverable::Vellum:
      return "vellum";
    case Deliverable::VellumX:
      return "vellum_x";
    case Deliverable::Kestrel:
      return "kestrel";
    case Deliverable::Tamarack:
      return "tamarack";
  }
  return "?";
}

const char* exportName(Deliverable deliverable) {
  switch (deliverable) {
    case Deliverable::Vellum:
    case Deliverable::Kestrel:
      return "excel_file";
    case Deliverable::VellumX:
      return "excel_file_auto";
    case Deliverable::Tamarack:
      return "export_to_excel";
    case Deliverable::Heron:
      break;
  }
  return nullptr;
}

const std::vector<Report>& reports() {
  using D = Deliverable;
  const std::string missingTemplate = "模板文件“<template>”, 不存在!";
  const auto groupTableWithPicture = [](const fs::path& c) { return groupTable(c, true); };
  const auto resultTableUnpaged = [](const fs::path& c) { return resultTable(c, false); };
  const auto checkPointWithPicture = [](const fs::path& c) { return checkPoint(c, true); };
  static const std::vector<Report> all = {
      {.name = "vellum_grouped",
       .deliverable = D::Vellum,
       .apartmentsLeft = 1,
       .prepare = groupTableWithPicture},
      {.name = "vellum_missing_template",
       .deliverable = D::Vellum,
       .messages = {missingTemplate},
       .prepare = groupTableWithoutTemplate},
      {.name = "vellum_server_failure",
       .deliverable = D::Vellum,
       .apartmentsLeft = 1,
       .messages = {"Excel 操作失败: Shapes.AddPicture: 图片放不下 (0x80020009)"},
       .prepare = groupTableWithPicture,
       .failure = "Shapes.AddPicture|1|0x80020009|图片放不下"},
      {.name = "vellum_x_grouped",
       .deliverable = D::VellumX,
       .apartmentsLeft = 1,
       .prepare = groupTableWithPicture},
      {.name = "vellum_x_missing_template",
       .deliverable = D::VellumX,
       .messages = {missingTemplate},
       .prepare = groupTableWithoutTemplate},
      {.name = "vellum_x_server_failure",
       .deliverable = D::VellumX,
       .apartmentsLeft = 1,
       .messages = {"Excel 操作失败: Range.BorderAround: 边框画不了 (0x80020009)"},
       .prepare = groupTableWithPicture,
       .failure = "Range.BorderAround|2|0x80020009|边框画不了"},
      {.name = "kestrel_dual_spec",
       .deliverable = D::Kestrel,
       .apartmentsLeft = 1,
       .prepare = dualSpec},
      {.name = "kestrel_missing_template",
       .deliverable = D::Kestrel,
       .messages = {missingTemplate},
       .prepare = dualSpecWithoutTemplate},
      {.name = "kestrel_server_failure",
       .deliverable = D::Kestrel,
       .messages = {"Excel 操作失败: Range.Item: 单元格写不了 (0x80020009)"},
       .prepare = dualSpec,
       .failure = "Range.Item|3|0x80020009|单元格写不了"},
      {.name = "tamarack_result_table",
       .deliverable = D::Tamarack,
       .apartmentsLeft = 1,
       .prepare = resultTableUnpaged},
      {.name = "tamarack_paged",
       .deliverable = D::Tamarack,
       .sheets = 3,
       .apartmentsLeft = 1,
       .prepare = [](const fs::path& c) { return resultTable(c, true); }},
      {.name = "tamarack_missing_template",
       .deliverable = D::Tamarack,
       .messages = {"模板“<template>”, 读不了!"},
       .prepare = resultTableWithoutTemplate},
      {.name = "tamarack_server_failure",
       .deliverable = D::Tamarack,
       .apartmentsLeft = 1,
       .messages = {"Excel 操作失败: Workbook.Save: 保存失败 (0x80020009)"},
       .prepare = resultTableUnpaged,
       .failure = "Workbook.Save|1|0x80020009|保存失败"},
      {.name = "heron_check_point", .deliverable = D::Heron, .prepare = checkPointWithPicture},
      {.name = "heron_missing_picture",
       .deliverable = D::Heron,
       .messages = {"没有产生图片文件, 将不可以帖图!"},
       .prepare = [](const fs::path& c) { return checkPoint(c, false); }},
      {.name = "heron_server_failure",
       .deliverable = D::Heron,
       .exitCode = 2,
       .messages = {"Excel 操作失败: Range.BorderAround: Unspecified failure. (0x80004005)"},
       .prepare = checkPointWithPicture,
       .failure = "Range.BorderAround|2|0x80004005|"},
  };
  return all;
}

std::vector<Report> engineReports() {
  std::vector<Report> chosen;
  for (const Report& report : reports()) {
    if (report.failure.empty()) chosen.push_back(report);
  }
  return chosen;
}

std::string withPlaceholders(std::string text, const PreparedReport& prepared, bool escaped) {
  for (const auto& [path, placeholder] : prepared.paths) {
    text = replaceAll(std::move(text), escaped ? escapedText(path) : path, placeholder);
  }
  return text;
}

}  // namespace qx::testing
