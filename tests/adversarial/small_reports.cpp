#include "tests/adversarial/small_reports.h"

#include "platform/code_page.h"
#include "tests/adversarial/deliverables.h"
#include "tests/heron/check_point_bytes.h"
#include "tests/kestrel/dual_spec_records.h"
#include "tests/tamarack/host_records.h"
#include "tests/vellum/host_records.h"

namespace qx::adversarial {

namespace {
using platform::utf8ToGbk;

ProgramEnd heronReport(const HostSetting& setting, const std::filesystem::path& workbook) {
  heron::testing::HeaderBytes header;
  header.text1(2, 1, utf8ToGbk("标题"))
      .firstRow(5)
      .borderWeight(2)
      .rowCount(1)
      .columnSpec("ab")
      .templatePath(hostText(workbook))
      .pictureCells("F2", "H12");
  setting.copy(examplePicture(), "temp/set_check_point_pictrue.bmp");
  const std::string data =
      heron::testing::fileBytes(header, {heron::testing::rowBytes("1", "甲", "", "")});
  return runHeron(setting, &data);
}

void groupTableReport(const char* library, const char* exportName,
                      const std::filesystem::path& workbook) {
  vellum::test::HeaderRecord header;
  header.slot(1, true, 2, 1, "标题");
  header.startRow(5);
  header.groupColumn(3);
  header.borderWeight(2);
  header.columnSpec("al");
  // A path as long as its room keeps no NUL.
  header.raw(platform::records::group_table_header::template_path, std::string(256, '\0'));
  header.raw(platform::records::group_table_header::template_path, hostText(workbook));
  vellum::test::RowList rows;
  rows.add().groupKey("一组");
  rows[0].minutes(30);
  callTableExport(library, exportName, header.data(), rows.first());
}

void kestrelReport(const std::filesystem::path& workbook) {
  kestrel::testing::HeaderRecord header;
  header.templatePath(hostText(workbook))
      .headerText(1, utf8ToGbk("标题"), 1, 2, 1)
      .primary("ab")
      .startRow(5)
      .weight(2);
  kestrel::testing::RowList rows;
  rows.add().text(platform::records::dual_spec_row::primary_b, utf8ToGbk("型号"));
  callTableExport(kKestrel, "excel_file", header.data(), rows.first());
}

void tamarackReport(const HostSetting& setting, const std::filesystem::path& workbook) {
  tamarack::testing::HostRecords records;
  records.setHeaderSlot(1, utf8ToGbk("标题"), 2, 1);
  records.setWorkbookPath(hostText(workbook));
  records.setColumnSpec("ab");
  records.setBodyRows(5, 9);
  records.setBorderWeight(2);
  tamarack::testing::putText(records.addRow(), 0, "1");
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

}  // namespace qx::adversarial
