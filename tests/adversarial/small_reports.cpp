#include "tests/adversarial/small_reports.h"

#include "platform/code_page.h"
#include "tests/adversarial/deliverables.h"
#include "tests/support/record_bytes.h"

namespace qx::testing {

namespace {

using namespace qx::testing::layouts;
using platform::utf8ToGbk;

ProgramEnd heronReport(const HostSetting& setting, const std::filesystem::path& workbook) {
  RecordBytes header{cp::kSize};
  header.slot(slots::kCheckPoint[0], utf8ToGbk("标题"), 2, 1)
      .int32(cp::first_row, 5)
      .int32(cp::border_weight, 2)
      .int32(cp::row_count, 1)
      .text(cp::column_spec, "ab")
      .text(cp::template_path, hostText(workbook))
      .text(cp::picture_cell1, "F2")
      .text(cp::picture_cell2, "H12");
  setting.copy(examplePicture(), "temp/set_check_point_pictrue.bmp");
  const std::string data = checkPointFile(header, {checkPointRow("1", "甲", "", "")});
  return runHeron(setting, &data);
}

void groupTableReport(const char* library, const char* exportName,
                      const std::filesystem::path& workbook) {
  RecordBytes header{gt::kSize};
  header.slot(slots::kGroupTable[0], platform::utf8ToGbk("标题"), 2, 1, true);
  header.int32(gt::start_row, 5);
  header.int32(gt::group_column, 3);
  header.int32(gt::border_weight, 2);
  header.utf8Text(gt::column_spec, "al");
  // A path as long as its room keeps no NUL.
  header.raw(platform::records::group_table_header::template_path, std::string(256, '\0'));
  header.raw(platform::records::group_table_header::template_path, hostText(workbook));
  RecordList rows{gtr::kSize, gtr::next};
  rows.add().utf8Text(gtr::group_key, "一组");
  rows[0].real(gtr::time_value, 30);
  callTableExport(library, exportName, header.data(), rows.first());
}

void kestrelReport(const std::filesystem::path& workbook) {
  RecordBytes header{ds::kSize};
  header.text(ds::template_path, hostText(workbook))
      .slot(slots::kDualSpec[0], utf8ToGbk("标题"), 2, 1, 1)
      .text(ds::primary_spec, "ab")
      .int32(ds::start_row, 5)
      .int32(ds::border_weight, 2);
  RecordList rows{dsr::kSize, dsr::next};
  rows.add().text(platform::records::dual_spec_row::primary_b, utf8ToGbk("型号"));
  callTableExport(kKestrel, "excel_file", header.data(), rows.first());
}

void tamarackReport(const HostSetting& setting, const std::filesystem::path& workbook) {
  ResultHost records;
  records.header.slot(slots::kResult[0], utf8ToGbk("标题"), 2, 1);
  records.header.text(rs::workbook_path, hostText(workbook));
  records.header.text(rs::column_spec, "ab");
  records.bodyRows(5, 9);
  records.header.int32(rs::border_weight, 2);
  records.addRow().text(rr::field_a, "1");
  callTamarack(setting, records.transferRecord());
}
}  // namespace

const char* exporterName(Exporter exporter) {
  switch (exporter) {
    case Exporter::Heron:
      return "heron";
    case Exporter::Vellum:
      return "vellum";
    case Exporter::VellumX:
      return "vellum_x";
    case Exporter::Kestrel:
      return "kestrel";
    case Exporter::Tamarack:
      return "tamarack";
  }
  return "?";
}

const char* exampleFolder(Exporter exporter) {
  return exporter == Exporter::VellumX ? "vellum" : exporterName(exporter);
}

std::optional<ProgramEnd> runSmallReport(Exporter exporter, const HostSetting& setting,
                                         const std::filesystem::path& workbook) {
  switch (exporter) {
    case Exporter::Heron:
      return heronReport(setting, workbook);
    case Exporter::Vellum:
      groupTableReport(kVellum, "excel_file", workbook);
      break;
    case Exporter::VellumX:
      groupTableReport(kVellumX, "excel_file_auto", workbook);
      break;
    case Exporter::Kestrel:
      kestrelReport(workbook);
      break;
    case Exporter::Tamarack:
      tamarackReport(setting, workbook);
      break;
  }
  return std::nullopt;
}

}  // namespace qx::testing
