// The large-report comparison: `heron` filling 10 framed text cells per row from a data file,
// against libxlsxwriter in constant-memory mode writing the same texts from scratch; `vellum`
// and `tamarack` called through their exports the way the host calls them; and the sample host
// (a JSON description) against the exporter alone. Every job runs in its own process, the
// competitors alternate, and the medians of the repetitions are printed with the machine load.
//
//   million_rows [--quick] [--host | --heron | --libraries] BUILD_DIR EXAMPLES_DIR WORK_DIR
//
// `--host` runs the sample host's comparison alone, `--heron` heron against libxlsxwriter
// alone, `--libraries` vellum and tamarack against libxlsxwriter alone.
//
// CPU is user + system time of the job's process (and its children); peak is its maximum
// resident set. heron also runs with QX_SAVE_THREADS=1, on one thread: its data file read and
// its save deflated on the thread that writes; the ratios
// are CPU and wall time against libxlsxwriter's. For the libraries, CPU and peak count the export
// call alone: its peak over the resident set just before the call, which already holds the records.

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "include/qx/host_records.h"
#include "platform/code_page.h"
#include "platform/record_fields.h"

namespace {

namespace fs = std::filesystem;
namespace records = qx::platform::records;
using qx::platform::RecordWriter;
using Record = std::vector<std::uint8_t>;

constexpr int kCells = 10;  // framed text cells per row, in every job

// 测点 钢筋 混凝土 合格 强度 尺寸 厚度 位置 备注 结论, in GBK.
const char* const kNames[kCells] = {
    "\xB2\xE2\xB5\xE3", "\xB8\xD6\xBD\xEE", "\xBB\xEC\xC4\xFD\xCD\xC1", "\xBA\xCF\xB8\xF1",
    "\xC7\xBF\xB6\xC8", "\xB3\xDF\xB4\xE7", "\xBA\xF1\xB6\xC8",         "\xCE\xBB\xD6\xC3",
    "\xB1\xB8\xD7\xA2", "\xBD\xE1\xC2\xDB"};

// The text of field `field` of record `row`: "测点12-3", distinct in every cell.
std::string fieldText(const char* name, long row, int field) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%ld-%d", row, field);
  return std::string(name) + digits;
}

double seconds(const timeval& t) {
  return t.tv_sec + t.tv_usec / 1e6;
}
double cpuOf(const rusage& u) {
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// ---- the jobs, each run in a process of its own ------------------------------------------

// libxlsxwriter, constant memory: a title, then `rows` rows of 10 framed texts. With `fields`
// 4 the texts repeat as heron's column spec "abcdabcdab" repeats its four fields.
int xlsxwriterJob(long rows, int fields, const char* file) {
  std::string names[kCells];
  for (int i = 0; i < kCells; ++i) names[i] = qx::platform::gbkToUtf8(kNames[i]);
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* workbook = workbook_new_opt(file, &options);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  lxw_format* frame = workbook_add_format(workbook);
  format_set_border(frame, LXW_BORDER_MEDIUM);
  worksheet_write_string(sheet, 0, 0, "Report", nullptr);
  for (long r = 0; r < rows; ++r) {
    for (int c = 0; c < kCells; ++c) {
      const int field = c % fields;
      const std::string text = fieldText(names[field].c_str(), r + 1, field);
      worksheet_write_string(sheet, static_cast<lxw_row_t>(r + 4), static_cast<lxw_col_t>(c),
                             text.c_str(), frame);
    }
  }
  return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
}

Record vellumHeader(const std::string& workbook, long rows) {
  namespace f = records::group_table_header;
  Record header(f::kSize, 0);
  RecordWriter w(header);
  w.int32(f::slot1_show, 1), w.int32(f::slot1_row, 2), w.int32(f::slot1_column, 1);
  w.text(f::slot1_text, "\xCF\xEE\xC4\xBF");  // 项目
  w.int32(f::border_weight, 2), w.int32(f::start_row, 5), w.int32(f::group_column, 2);
  w.text(f::column_spec, "bcgqw23456");
  w.text(f::template_path, workbook);
  (void)rows;
  return header;
}

void vellumRow(Record& row, long r) {
  namespace f = records::group_table_row;
  RecordWriter w(row);
  w.text(f::group_key, "\xC8\xAB\xB2\xBF");  // 全部: one group
  const qx::platform::TextField texts[kCells] = {f::b_text, f::text_c, f::text_g, f::text_q,
                                                 f::text_w, f::text_2, f::text_3, f::text_4,
                                                 f::text_5, f::text_6};
  for (int c = 0; c < kCells; ++c) w.text(texts[c], fieldText(kNames[c], r, c));
}

Record tamarackHeader(const std::string& workbook, long rows) {
  namespace f = records::result_header;
  Record header(f::kSize, 0);
  RecordWriter w(header);
  w.text(f::header_text1, "\xBD\xE1\xB9\xFB");  // 结果
  w.int32(f::text1_enabled, 1), w.int32(f::text1_row, 2), w.int32(f::text1_column, 1);
  w.text(f::column_spec, "abcdfghijk");
  w.text(f::workbook_path, workbook);
  w.int32(f::first_body_row, 5), w.int32(f::last_body_row, 9), w.int32(f::border_weight, 2);
  w.int32(f::record_count, static_cast<std::int32_t>(rows));
  return header;
}

void tamarackRow(Record& row, long r) {
  namespace f = records::result_row;
  RecordWriter w(row);
  const qx::platform::TextField texts[kCells] = {f::field_a, f::field_b, f::field_c, f::field_d,
                                                 f::field_f, f::field_g, f::field_h, f::field_i,
                                                 f::field_j, f::field_k};
  for (int c = 0; c < kCells; ++c) w.text(texts[c], fieldText(kNames[c], r, c));
}

// Builds the records as the host does (one allocation each, linked in order), loads the
// library and calls its export; prints the export's CPU and its peak over the records.
int exportJob(const std::string& exporter, long rows, const char* library, const char* workbook) {
  const bool tamarack = exporter == "tamarack";
  const std::size_t size = tamarack ? records::result_row::kSize : records::group_table_row::kSize;
  const qx::platform::AddressField next =
      tamarack ? records::result_row::next : records::group_table_row::next;
  Record header = tamarack ? tamarackHeader(workbook, rows) : vellumHeader(workbook, rows);
  std::vector<Record> list(static_cast<std::size_t>(rows), Record(size, 0));
  for (long r = 0; r < rows; ++r) {
    tamarack ? tamarackRow(list[r], r + 1) : vellumRow(list[r], r + 1);
    if (r > 0)
      RecordWriter(list[r - 1]).address(next, reinterpret_cast<std::uintptr_t>(list[r].data()));
  }
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", library, dlerror());
    return 1;
  }
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const long baseKb = residentKb();
  if (tamarack) {
    Record transfer(records::result_transfer::kSize, 0);
    RecordWriter w(transfer);
    w.address(records::result_transfer::header_block,
              reinterpret_cast<std::uintptr_t>(header.data()));
    w.address(records::result_transfer::first_row,
              reinterpret_cast<std::uintptr_t>(list.front().data()));
    const fs::path conf = std::getenv("QX_CONF_DIR");
    std::ofstream(conf / "temp" / "pinebrook_temp.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(transfer.data()),
               static_cast<std::streamsize>(transfer.size()));
    reinterpret_cast<qx_result_export_fn>(dlsym(handle, "export_to_excel"))(nullptr, nullptr);
  } else {
    reinterpret_cast<qx_table_export_fn>(dlsym(handle, "excel_file"))(header.data(),
                                                                      list.front().data());
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  std::printf("export %.3f %ld\n", cpuOf(after) - cpuOf(before), after.ru_maxrss - baseKb);
  return 0;
}

// ---- the runner ------------------------------------------------------------------------

struct Figures {
  double cpu = 0, wall = 0;
  long peakKb = 0;
};

// Runs `argv` as a child; CPU and peak of it and of every process it waited for.
Figures run(const std::vector<std::string>& args, std::string* output = nullptr) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
  rusage before{};
  getrusage(RUSAGE_CHILDREN, &before);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(pipeFds[0]);
  int status = 0;
  rusage own{};
  wait4(child, &status, 0, &own);
  const auto end = std::chrono::steady_clock::now();
  rusage after{};
  getrusage(RUSAGE_CHILDREN, &after);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(args[0] + " failed (status " + std::to_string(status) + ")");
  }
  if (output) *output = text;
  return {cpuOf(after) - cpuOf(before), std::chrono::duration<double>(end - start).count(),
          own.ru_maxrss};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Series {
  std::vector<double> cpu, wall, peakKb;
  void add(const Figures& f) {
    cpu.push_back(f.cpu), wall.push_back(f.wall), peakKb.push_back(static_cast<double>(f.peakKb));
  }
};

void printRow(const char* what, long rows, long cells, const Series& s, const Series* versus) {
  const double cpu = median(s.cpu), peak = median(s.peakKb) * 1024.0;
  std::printf("%-28s %9ld %7.2f s %7.2f s %8.1f MB %7.1f", what, rows, cpu, median(s.wall),
              peak / 1e6, peak / static_cast<double>(cells));
  if (versus)
    std::printf("   %.2f   %.2f", cpu / median(versus->cpu), median(s.wall) / median(versus->wall));
  std::printf("\n");
}

void copyTemplate(const fs::path& from, const fs::path& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

struct Setup {
  fs::path self, build, examples, work, conf;
};

std::string writeHeronData(const Setup& s, long rows, const fs::path& workbook) {
  namespace h = records::check_point_header;
  namespace f = records::check_point_row;
  const fs::path file = s.conf / "temp" / "check_point_temp.dat";
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  Record header(h::kSize, 0);
  RecordWriter w(header);
  w.int32(h::text1_flag, 1), w.int32(h::text1_row, 2), w.int32(h::text1_col, 1);
  w.text(h::text1, "\xB9\xA4\xB3\xCC");  // 工程
  w.int32(h::first_row, 5), w.int32(h::border_weight, 2);
  w.int32(h::row_count, static_cast<std::int32_t>(rows));
  w.text(h::column_spec, "abcdabcdab");
  w.text(h::template_path, workbook.string());
  w.text(h::picture_cell1, "L2"), w.text(h::picture_cell2, "N12");
  out.write(reinterpret_cast<const char*>(header.data()), h::kSize);
  Record row(f::kSize, 0);
  const qx::platform::TextField fields[4] = {f::field_a, f::field_b, f::field_c, f::field_d};
  for (long r = 1; r <= rows; ++r) {
    RecordWriter rw(row);
    for (int i = 0; i < 4; ++i) rw.text(fields[i], fieldText(kNames[i], r, i));
    out.write(reinterpret_cast<const char*>(row.data()), f::kSize);
  }
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file.string();
}

// A description for the sample host: the same vellum report as the export job.
void writeVellumDescription(const Setup& s, long rows, const fs::path& file) {
  std::ofstream out(file);
  out << "{\n  \"exporter\": \"vellum\",\n  \"template\": \""
      << (s.examples / "vellum" / "template.xlsx").string() << "\",\n  \"header\": {\n"
      << "    \"slot1_show\": 1, \"slot1_row\": 2, \"slot1_column\": 1, \"slot1_text\": \""
      << qx::platform::gbkToUtf8("\xCF\xEE\xC4\xBF") << "\",\n"
      << "    \"border_weight\": 2, \"start_row\": 5, \"group_column\": 2,\n"
      << "    \"column_spec\": \"bcgqw23456\"\n  },\n  \"rows\": [\n";
  static const char* const kFields[kCells] = {"b_text", "text_c", "text_g", "text_q", "text_w",
                                              "text_2", "text_3", "text_4", "text_5", "text_6"};
  std::string names[kCells];
  for (int i = 0; i < kCells; ++i) names[i] = qx::platform::gbkToUtf8(kNames[i]);
  const std::string key = qx::platform::gbkToUtf8("\xC8\xAB\xB2\xBF");
  for (long r = 1; r <= rows; ++r) {
    out << "    {\"group_key\": \"" << key << "\"";
    for (int c = 0; c < kCells; ++c) {
      out << ", \"" << kFields[c] << "\": \"" << fieldText(names[c].c_str(), r, c) << "\"";
    }
    out << (r < rows ? "},\n" : "}\n");
  }
  out << "  ]\n}\n";
}

int runner(bool quick, bool hostOnly, bool heronOnly, bool librariesOnly, const Setup& s) {
  const int repeats = 3;
  const fs::path heron = s.build / "heron" / "heron";
  const fs::path lib = s.build / "lib" / "qx-exporters";
  fs::create_directories(s.conf / "temp");
  fs::create_directories(s.conf / "lang");
  fs::copy_file(s.build / "share" / "qx-exporters" / "lang" / "pinebrook_exe.txt",
                s.conf / "lang" / "pinebrook_exe.txt", fs::copy_options::overwrite_existing);
  fs::copy_file(s.examples / "picture.bmp", s.conf / "temp" / "set_check_point_pictrue.bmp",
                fs::copy_options::overwrite_existing);
  setenv("QX_CONF_DIR", s.conf.c_str(), 1);
  const fs::path lxw = s.work / "libxlsxwriter.xlsx";

  std::printf("machine load before: %s (%ld cores online)\n", loadAverage().c_str(),
              sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("%-28s %9s %9s %9s %11s %7s   %s\n", "job", "rows", "CPU", "wall", "peak RSS",
              "B/cell", "CPU and wall ratios");

  // heron against libxlsxwriter, alternating.
  std::vector<long> heronSizes =
      quick ? std::vector<long>{10000, 100000} : std::vector<long>{10000, 100000, 1000000};
  if (hostOnly || librariesOnly) heronSizes.clear();
  for (const long rows : heronSizes) {
    const fs::path workbook = s.work / "heron.xlsx";
    Series engine, oneThread, writer;
    for (int i = 0; i < repeats; ++i) {
      copyTemplate(s.examples / "heron" / "template.xlsx", workbook);
      writeHeronData(s, rows, workbook);
      engine.add(run({heron.string()}));
      copyTemplate(s.examples / "heron" / "template.xlsx", workbook);
      writeHeronData(s, rows, workbook);
      setenv("QX_SAVE_THREADS", "1", 1);
      oneThread.add(run({heron.string()}));
      unsetenv("QX_SAVE_THREADS");
      writer.add(run({s.self.string(), "--xlsxwriter", std::to_string(rows), "4", lxw.string()}));
    }
    const long cells = rows * kCells;
    printRow("heron", rows, cells, engine, &writer);
    printRow("heron, one thread", rows, cells, oneThread, &writer);
    printRow("libxlsxwriter constant_memory", rows, cells, writer, nullptr);
    std::printf("%-28s %9s %9.0f ns per cell; output %.1f MB (libxlsxwriter %.1f MB)\n", "", "",
                median(engine.cpu) / static_cast<double>(cells) * 1e9,
                static_cast<double>(fs::file_size(workbook)) / 1e6,
                static_cast<double>(fs::file_size(lxw)) / 1e6);
    std::fflush(stdout);
  }
  fs::remove(s.conf / "temp" / "check_point_temp.dat");
  if (heronOnly) return 0;

  // The libraries through their exports, and the host.
  const long libraryRows = quick ? 30000 : 300000;
  for (const char* exporter : {"vellum", "tamarack"}) {
    if (hostOnly) break;
    const fs::path workbook = s.work / (std::string(exporter) + ".xlsx");
    const fs::path library = lib / (std::string("lib") + exporter + ".so");
    Series exportOnly, whole, writer;
    std::vector<double> exportCpu, exportPeakKb;
    for (int i = 0; i < repeats; ++i) {
      copyTemplate(s.examples / exporter / "template.xlsx", workbook);
      std::string out;
      whole.add(run({s.self.string(), "--export", exporter, std::to_string(libraryRows),
                     library.string(), workbook.string()},
                    &out));
      double cpu = 0;
      long peakKb = 0;
      std::sscanf(out.c_str(), "export %lf %ld", &cpu, &peakKb);
      exportOnly.add({cpu, 0, peakKb});
      writer.add(
          run({s.self.string(), "--xlsxwriter", std::to_string(libraryRows), "10", lxw.string()}));
    }
    exportOnly.wall = whole.wall;
    const long cells = libraryRows * kCells;
    printRow((std::string(exporter) + " export (over records)").c_str(), libraryRows, cells,
             exportOnly, &writer);
    printRow((std::string(exporter) + " whole driver").c_str(), libraryRows, cells, whole, nullptr);
    printRow("libxlsxwriter constant_memory", libraryRows, cells, writer, nullptr);
    std::fflush(stdout);
  }
  if (librariesOnly) {
    std::printf("machine load after: %s\n", loadAverage().c_str());
    return 0;
  }

  // The sample host: JSON description against the driver that builds the records itself.
  {
    const fs::path description = s.work / "vellum_report.json";
    writeVellumDescription(s, libraryRows, description);
    const fs::path output = s.work / "host_vellum.xlsx";
    const fs::path workbook = s.work / "vellum.xlsx";
    Series host, driver;
    for (int i = 0; i < repeats; ++i) {
      host.add(run({(s.build / "host" / "qx_host").string(), description.string(), "--output",
                    output.string(), "--conf", s.conf.string()}));
      copyTemplate(s.examples / "vellum" / "template.xlsx", workbook);
      driver.add(run({s.self.string(), "--export", "vellum", std::to_string(libraryRows),
                      (lib / "libvellum.so").string(), workbook.string()}));
    }
    const long cells = libraryRows * kCells;
    printRow("qx_host vellum (JSON)", libraryRows, cells, host, &driver);
    printRow("vellum driver (records)", libraryRows, cells, driver, nullptr);
    std::printf("%-28s host over driver: CPU %+.0f %%, peak %+.0f %%\n", "",
                (median(host.cpu) / median(driver.cpu) - 1) * 100,
                (median(host.peakKb) / median(driver.peakKb) - 1) * 100);
    fs::remove(description);
  }
  std::printf("machine load after: %s\n", loadAverage().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "--xlsxwriter") {
      return xlsxwriterJob(std::atol(args[1].c_str()), std::atoi(args[2].c_str()), args[3].c_str());
    }
    if (args.size() == 5 && args[0] == "--export") {
      return exportJob(args[1], std::atol(args[2].c_str()), args[3].c_str(), args[4].c_str());
    }
    std::size_t at = 0;
    const bool quick = at < args.size() && args[at] == "--quick";
    if (quick) ++at;
    const bool hostOnly = at < args.size() && args[at] == "--host";
    if (hostOnly) ++at;
    const bool heronOnly = !hostOnly && at < args.size() && args[at] == "--heron";
    if (heronOnly) ++at;
    const bool librariesOnly =
        !hostOnly && !heronOnly && at < args.size() && args[at] == "--libraries";
    if (librariesOnly) ++at;
    if (args.size() != at + 3) {
      std::fprintf(
          stderr,
          "usage: million_rows [--quick] [--host | --heron | --libraries] BUILD_DIR EXAMPLES_DIR "
          "WORK_DIR\n");
      return 2;
    }
    Setup s;
    s.self = fs::canonical("/proc/self/exe");
    s.build = fs::absolute(args[at]);
    s.examples = fs::absolute(args[at + 1]);
    s.work = fs::absolute(args[at + 2]);
    s.conf = s.work / "conf";
    fs::create_directories(s.work);
    return runner(quick, hostOnly, heronOnly, librariesOnly, s);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "million_rows: %s\n", error.what());
    return 1;
  }
}
