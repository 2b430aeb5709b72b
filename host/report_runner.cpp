#include "host/report_runner.h"

#include <dlfcn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "host/interruption.h"
#include "host/progress.h"
#include "host/record_watch.h"
#include "host/report_checks.h"
#include "include/qx/host_records.h"
#include "platform/record_fields.h"

extern char** environ;

namespace qx::host {

namespace {

namespace fs = std::filesystem;
using Record = std::vector<std::uint8_t>;

// Writes the records one after the other.
void writeFile(const fs::path& path, const Record& first, const RecordList& more = {}) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(first.data()),
            static_cast<std::streamsize>(first.size()));
  for (std::size_t i = 0; i < more.size(); ++i) {
    out.write(reinterpret_cast<const char*>(more[i].data()),
              static_cast<std::streamsize>(more[i].size()));
  }
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The header with the host's own fields filled in: the workbook path.
Record encodeHeader(const Description& d, const RecordLayout& layout, const char* pathField,
                    const fs::path& workbook) {
  if (d.header.contains(pathField)) {
    throw DescriptionError(d.name + ": /header/" + pathField + " (line " +
                           std::to_string(d.lineOf(std::string("/header/") + pathField)) +
                           "): set by the host from \"template\"");
  }
  Json header = d.header;
  header[pathField] = workbook.string();
  return encodeRecord(d, layout, header, "/header");
}

// Links the rows in output order through their next fields; returns the first row or null.
void* linkRows(RecordList& rows, std::size_t nextOffset, std::size_t width) {
  for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
    storeAddress(rows[i], nextOffset, width, reinterpret_cast<std::uintptr_t>(rows[i + 1].data()));
  }
  return rows.empty() ? nullptr : rows[0].data();
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

// Calls an export, telling `progress` (when shown) how far it has read the rows.
template <class Call>
void callWatched(RecordList& rows, Progress* progress, Call call) {
  if (progress == nullptr || rows.empty()) {
    call();
    return;
  }
  const RecordWatch watch(rows);
  progress->phase("filling", rows.size(), [&watch] { return watch.recordsPassed(); });
  call();
  progress->phase("finishing", 0, {});
}

// The picture file, or none: a stale copy of an earlier run must not be placed.
void copyPicture(const Description& d, const fs::path& target) {
  fs::create_directories(target.parent_path());
  std::error_code ignored;
  fs::remove(target, ignored);
  if (d.picture) fs::copy_file(*d.picture, target, fs::copy_options::overwrite_existing);
}

int runHeron(const Description& d, EncodedReport& report, const HandOver& where) {
  writeFile(where.confDir / "temp" / "check_point_temp.dat", report.header, report.rows);
  copyPicture(d, pictureCopy("heron", where.confDir));

  const std::string program = where.exporterFile.string();
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const pid_t parent = ::getpid();
  int started[2];
  if (::pipe2(started, O_CLOEXEC) != 0) throw std::runtime_error("cannot start " + program);
  const pid_t child = ::fork();
  if (child == 0) {
    // Only calls that are safe between fork and exec.
    ::close(started[0]);
    Interruption::restoreInChild();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::execve(program.c_str(), argv, environ);
    const int error = errno;
    [[maybe_unused]] const ssize_t told = ::write(started[1], &error, sizeof error);
    ::_exit(127);
  }
  ::close(started[1]);
  if (child < 0) {
    ::close(started[0]);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(errno));
  }
  Interruption::setChild(child);
  int error = 0;
  ssize_t told;
  while ((told = ::read(started[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(started[0]);
  if (where.progress) {
    const fs::path data = fs::absolute(where.confDir / "temp" / "check_point_temp.dat");
    where.progress->phase("filling", report.rows.size(), [child, data] {
      return heronRecordsRead(child, data, QX_CHECK_POINT_HEADER_SIZE, QX_CHECK_POINT_ROW_SIZE);
    });
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  Interruption::setChild(0);
  if (where.progress) where.progress->phase("finishing", 0, {});
  if (told == sizeof error) {
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void runTableLibrary(const Description& d, EncodedReport& report, const HandOver& where) {
  const bool grouped = d.exporter != "kestrel";
  const platform::AddressField link =
      grouped ? platform::records::group_table_row::next : platform::records::dual_spec_row::next;
  void* first = linkRows(report.rows, link.offset, link.width);
  if (grouped) copyPicture(d, pictureCopy(d.exporter, where.confDir));
  Library library(where.exporterFile);
  auto exported = reinterpret_cast<qx_table_export_fn>(
      library.symbol(d.exporter == "vellum_x" ? "excel_file_auto" : "excel_file"));
  callWatched(report.rows, where.progress, [&] { exported(report.header.data(), first); });
}

void runTamarack(EncodedReport& report, const HandOver& where) {
  namespace transferFields = platform::records::result_transfer;
  const platform::AddressField link = platform::records::result_row::next;
  void* first = linkRows(report.rows, link.offset, link.width);
  Record transfer(transferFields::kSize, 0);
  storeAddress(transfer, transferFields::header_block.offset, transferFields::header_block.width,
               reinterpret_cast<std::uintptr_t>(report.header.data()));
  storeAddress(transfer, transferFields::first_row.offset, transferFields::first_row.width,
               reinterpret_cast<std::uintptr_t>(first));
  writeFile(where.confDir / "temp" / "pinebrook_temp.dat", transfer);

  Library library(where.exporterFile);
  auto exported = reinterpret_cast<qx_result_export_fn>(library.symbol("export_to_excel"));
  callWatched(report.rows, where.progress, [&] { exported(nullptr, nullptr); });
}

}  // namespace

EncodedReport encodeReport(Description& d, const fs::path& workbook) {
  EncodedReport report;
  report.exporter = d.exporter;
  if (d.exporter == "heron") {
    report.header = encodeHeader(d, checkPointHeader(), "template_path", workbook);
  } else if (d.exporter == "tamarack") {
    report.header = encodeHeader(d, resultHeader(), "workbook_path", workbook);
  } else {
    const bool grouped = d.exporter != "kestrel";
    report.header =
        encodeHeader(d, grouped ? groupTableHeader() : dualSpecHeader(), "template_path", workbook);
  }
  d.checkRows();
  checkRequiredFields(d, d.rows.size());
  report.warnings = columnSpecWarnings(d);
  report.rows = std::move(d.rows);
  d.rows = {};
  if (d.exporter == "heron" && !d.header.contains("row_count")) {
    storeAddress(report.header, QX_CHECK_POINT_HEADER_row_count, 4, report.rows.size());
  }
  if (d.exporter == "tamarack" && !d.header.contains("record_count")) {
    storeAddress(report.header, QX_RESULT_HEADER_record_count, 4, report.rows.size());
  }
  return report;
}

int handOver(const Description& d, EncodedReport& report, const HandOver& where) {
  setenv("QX_CONF_DIR", where.confDir.c_str(), 1);
  if (d.exporter == "heron") return runHeron(d, report, where);
  if (d.exporter == "tamarack") {
    runTamarack(report, where);
  } else {
    runTableLibrary(d, report, where);
  }
  return 0;
}

fs::path pictureCopy(const std::string& exporter, const fs::path& confDir) {
  if (exporter == "heron") return confDir / "temp" / "set_check_point_pictrue.bmp";
  if (exporter == "vellum" || exporter == "vellum_x") {
    return confDir / "temp" / "post_excel_sheet_pictrue.bmp";
  }
  return {};
}

}  // namespace qx::host
