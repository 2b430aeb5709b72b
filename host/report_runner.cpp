#include "host/report_runner.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "automation/code_page.h"
#include "include/qx/host_records.h"

extern char** environ;

namespace qx::host {

namespace {

namespace fs = std::filesystem;
using Record = std::vector<std::uint8_t>;

void writeFile(const fs::path& path, const Record& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The header with the host's own fields filled in: the workbook path.
Record encodeHeader(const Description& d, const RecordLayout& layout, const char* pathField,
                    const fs::path& workbook) {
  if (d.header.contains(pathField)) {
    throw DescriptionError(d.file.string() + ": /header/" + pathField + " (line " +
                           std::to_string(d.lineOf(std::string("/header/") + pathField)) +
                           "): set by the host from \"template\"");
  }
  Json header = d.header;
  header[pathField] = workbook.string();
  return encodeRecord(d, layout, header, "/header");
}

std::vector<Record> encodeRows(const Description& d, const RecordLayout& layout) {
  std::vector<Record> rows;
  for (std::size_t i = 0; i < d.rows.size(); ++i) {
    rows.push_back(encodeRecord(d, layout, d.rows[i], "/rows/" + std::to_string(i)));
  }
  return rows;
}

// Links the rows in output order through their next fields; returns the first row or null.
void* linkRows(std::vector<Record>& rows, std::size_t nextOffset, std::size_t width) {
  for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
    storeAddress(rows[i], nextOffset, width, reinterpret_cast<std::uintptr_t>(rows[i + 1].data()));
  }
  return rows.empty() ? nullptr : rows.front().data();
}

class Library {
 public:
  explicit Library(const fs::path& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr)
      throw std::runtime_error("cannot load " + path.string() + ": " + dlerror());
  }
  ~Library() { dlclose(handle_); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  void* symbol(const char* name) const {
    void* found = dlsym(handle_, name);
    if (found == nullptr) throw std::runtime_error(std::string("no export ") + name);
    return found;
  }

 private:
  void* handle_;
};

// An installed tree keeps the libraries side by side; a build tree keeps each in its folder.
fs::path findLibrary(const fs::path& dir, const std::string& file, const char* component) {
  const fs::path inComponent = dir / component / file;
  return fs::exists(inComponent) ? inComponent : dir / file;
}

// Only once every record is encoded: the template is copied to the workbook to fill.
void prepareWorkbook(const Description& d, const RunOptions& options) {
  fs::create_directories(options.workbook.parent_path());
  fs::copy_file(d.templatePath, options.workbook, fs::copy_options::overwrite_existing);
}

void copyPicture(const Description& d, const fs::path& confDir, const char* fixedName) {
  const fs::path target = confDir / "temp" / fixedName;
  fs::create_directories(target.parent_path());
  std::error_code ignored;
  fs::remove(target, ignored);
  if (d.picture) fs::copy_file(*d.picture, target, fs::copy_options::overwrite_existing);
}

int runHeron(const Description& d, const RunOptions& options, int& records) {
  Record header = encodeHeader(d, checkPointHeader(), "template_path", options.workbook);
  const std::vector<Record> rows = encodeRows(d, checkPointRow());
  if (!d.header.contains("row_count")) {
    storeAddress(header, QX_CHECK_POINT_HEADER_row_count, 4, rows.size());
  }
  Record file = header;
  for (const Record& row : rows) file.insert(file.end(), row.begin(), row.end());
  records = static_cast<int>(rows.size());
  prepareWorkbook(d, options);
  writeFile(options.confDir / "temp" / "check_point_temp.dat", file);
  copyPicture(d, options.confDir, "set_check_point_pictrue.bmp");

  const std::string program = options.heronProgram.string();
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
    throw std::runtime_error("cannot start " + program);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void runTableLibrary(const Description& d, const RunOptions& options, int& records) {
  const bool grouped = d.exporter != "kestrel";
  Record header = encodeHeader(d, grouped ? groupTableHeader() : dualSpecHeader(), "template_path",
                               options.workbook);
  std::vector<Record> rows = encodeRows(d, grouped ? groupTableRow() : dualSpecRow());
  void* first = linkRows(
      rows, grouped ? std::size_t{QX_GROUP_TABLE_ROW_next} : std::size_t{QX_DUAL_SPEC_ROW_next}, 8);
  records = static_cast<int>(rows.size());
  prepareWorkbook(d, options);
  if (grouped) copyPicture(d, options.confDir, "post_excel_sheet_pictrue.bmp");

  const std::string file = d.exporter == "kestrel"  ? "libkestrel.so"
                           : d.exporter == "vellum" ? "libvellum.so"
                                                    : "libvellum_x.so";
  Library library(findLibrary(options.libraryDir, file, grouped ? "vellum" : "kestrel"));
  auto exported = reinterpret_cast<qx_table_export_fn>(
      library.symbol(d.exporter == "vellum_x" ? "excel_file_auto" : "excel_file"));
  exported(header.data(), first);
}

void runTamarack(const Description& d, const RunOptions& options, int& records) {
  Record header = encodeHeader(d, resultHeader(), "workbook_path", options.workbook);
  std::vector<Record> rows = encodeRows(d, resultRow());
  if (!d.header.contains("record_count")) {
    storeAddress(header, QX_RESULT_HEADER_record_count, 4, rows.size());
  }
  void* first = linkRows(rows, QX_RESULT_ROW_NEXT_OFFSET, QX_ADDRESS_WIDTH);
  records = static_cast<int>(rows.size());
  prepareWorkbook(d, options);
  Record transfer(QX_RESULT_TRANSFER_SIZE, 0);
  storeAddress(transfer, 0, QX_ADDRESS_WIDTH, reinterpret_cast<std::uintptr_t>(header.data()));
  storeAddress(transfer, QX_ADDRESS_WIDTH, QX_ADDRESS_WIDTH,
               reinterpret_cast<std::uintptr_t>(first));
  writeFile(options.confDir / "temp" / "pinebrook_temp.dat", transfer);

  Library library(findLibrary(options.libraryDir, "libtamarack.so", "tamarack"));
  auto exported = reinterpret_cast<qx_result_export_fn>(library.symbol("export_to_excel"));
  exported(nullptr, nullptr);
}

}  // namespace

RunResult runReport(const Description& d, const RunOptions& options) {
  setenv("QX_CONF_DIR", options.confDir.c_str(), 1);

  RunResult result;
  if (d.exporter == "heron") {
    result.exitCode = runHeron(d, options, result.records);
  } else if (d.exporter == "tamarack") {
    runTamarack(d, options, result.records);
  } else {
    runTableLibrary(d, options, result.records);
  }
  return result;
}

}  // namespace qx::host
