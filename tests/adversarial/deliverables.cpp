#include "tests/adversarial/deliverables.h"

#include "include/qx/host_records.h"
#include "platform/paths.h"
#include "tests/support/loaded_library.h"

namespace qx::testing {

ProgramEnd runHeron(const HostSetting& setting, const std::string* dataFile) {
  if (dataFile != nullptr) setting.write("temp/check_point_temp.dat", *dataFile);
  return runProgram(HERON_PROGRAM);
}

void callTableExport(const char* library, const char* exportName, const void* header,
                     const void* firstRow) {
  const LoadedLibrary loaded(library);
  const qx_table_export_fn exported = loaded.tableExport(exportName);
  if (exported == nullptr) throw std::runtime_error(std::string("no export ") + exportName);
  callOnHostThread([&] { exported(header, firstRow); });
}

void callTamarack(const HostSetting& setting, const std::string& transferRecord) {
  setting.write("temp/pinebrook_temp.dat", transferRecord);
  callTamarackAsItIs(setting);
}

void callTamarackAsItIs(const HostSetting& setting) {
  if (!std::filesystem::exists(setting.folder() / "lang" / "pinebrook_exe.txt")) {
    setting.copy(TAMARACK_LANGUAGE_FILE, "lang/pinebrook_exe.txt");
  }
  const LoadedLibrary loaded(TAMARACK_LIBRARY);
  const auto exported = reinterpret_cast<qx_result_export_fn>(loaded.symbol("export_to_excel"));
  if (exported == nullptr) throw std::runtime_error("no export export_to_excel");
  // The host passes whatever it likes; the export never reads its arguments.
  callOnHostThread([&] { exported(reinterpret_cast<void*>(0x1), nullptr); });
}

std::filesystem::path exampleTemplate(const HostSetting& setting, std::string_view exporter,
                                      std::string_view name) {
  return setting.copy(
      std::filesystem::path(QX_EXAMPLES_DIR) / std::string(exporter) / "template.xlsx", name);
}

std::filesystem::path examplePicture() {
  return std::filesystem::path(QX_EXAMPLES_DIR) / "picture.bmp";
}

std::string hostText(const std::filesystem::path& path) {
  return platform::hostTextFromPath(path);
}

std::string shownText(const std::filesystem::path& path) {
  return path.string();
}

}  // namespace qx::testing
