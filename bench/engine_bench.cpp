// Fills a report the way an exporter does, through the automation layer into the embedded
// engine (write a cell through the used range, take the one-cell range at its absolute address,
// frame it), then writes the same content from scratch with libxlsxwriter in constant-memory
// mode, and prints both times, their ratio and the engine's peak memory.
//
//   engine_bench [rows] [directory]

#include <sys/resource.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "platform/messages.h"
#include "report/sheet_writing.h"
#include "report/workbook_session.h"

namespace {

namespace fs = std::filesystem;
using namespace qx;
constexpr int kColumns = 10;
constexpr int kHeaderRows = 2;

// "测点12-3" style texts (GBK bytes), distinct in every cell.
std::string cellText(int row, int column) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%d-%d", row, column);
  static const char* const kNames[kColumns] = {
      "\xB2\xE2\xB5\xE3", "\xB8\xD6\xBD\xEE", "\xBB\xEC\xC4\xFD\xCD\xC1", "\xBA\xCF\xB8\xF1",
      "\xC7\xBF\xB6\xC8", "\xB3\xDF\xB4\xE7", "\xBA\xF1\xB6\xC8",         "\xCE\xBB\xD6\xC3",
      "\xB1\xB8\xD7\xA2", "\xBD\xE1\xC2\xDB"};  // 测点 钢筋 混凝土 合格 强度 尺寸 厚度 位置 备注
                                                // 结论
  return std::string(kNames[column - 1]) + digits;
}

std::string headerText(int column) {
  return "\xB1\xED\xCD\xB7" + std::to_string(column);  // 表头N
}

// A 160 x 120 24-bit BMP, as the host renders its pictures.
void writePicture(const fs::path& file) {
  const int width = 160, height = 120, rowBytes = width * 3;
  const int size = 54 + rowBytes * height;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  auto put32 = [&](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  bytes[0] = 'B', bytes[1] = 'M';
  put32(2, size), put32(10, 54), put32(14, 40), put32(18, width), put32(22, height);
  bytes[26] = 1, bytes[28] = 24;
  put32(34, rowBytes * height);
  for (int i = 54; i < size; ++i) bytes[i] = static_cast<char>((i * 7) & 0xFF);
  std::ofstream(file, std::ios::binary).write(bytes.data(), size);
}

// The template: a title in A1, the header row empty, as a report template has.
void writeTemplate(const fs::path& file) {
  lxw_workbook* workbook = workbook_new(file.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  worksheet_write_string(sheet, 0, 0, "Report", nullptr);
  worksheet_set_column(sheet, 0, kColumns - 1, 12, nullptr);
  if (workbook_close(workbook) != LXW_NO_ERROR) throw std::runtime_error("template");
}

// CPU time of the process so far: less disturbed than wall time on a shared machine.
double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double engineRun(const fs::path& file, const fs::path& picture, int rows) {
  const auto start = std::chrono::steady_clock::now();
  report::WorkbookSession session;
  if (!session.application.createByProgId("Excel.Application")) {
    throw std::runtime_error("Excel.Application is not available");
  }
  report::openTemplate(session, file.string());
  report::FramedCell cell;
  for (int c = 1; c <= kColumns; ++c) {
    report::writeCell(session.usedRange, kHeaderRows, c, headerText(c));
    report::frameCell(session.sheet, c, kHeaderRows, 2, cell);
  }
  for (int r = kHeaderRows + 1; r <= kHeaderRows + rows; ++r) {
    for (int c = 1; c <= kColumns; ++c) {
      report::writeCell(session.usedRange, r, c, cellText(r, c));
      report::frameCell(session.sheet, c, r, 2, cell);
    }
  }
  report::placePicture(session.sheet.copy(), "$B$3", "$E$12", picture.string(),
                       report::PictureStyle::NearestSingle, platform::systemMessages());
  const auto saving = std::chrono::steady_clock::now();
  std::printf("engine fill: %.3f s\n", seconds(start));
  automation::workbookSave(session.workbook);
  std::printf("engine save: %.3f s\n", seconds(saving));
  session.release();
  return seconds(start);
}

double libxlsxwriterRun(const fs::path& file, const fs::path& picture, int rows) {
  const auto start = std::chrono::steady_clock::now();
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* workbook = workbook_new_opt(file.c_str(), &options);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  lxw_format* framed = workbook_add_format(workbook);
  format_set_border(framed, LXW_BORDER_THIN);
  worksheet_set_column(sheet, 0, kColumns - 1, 12, nullptr);
  worksheet_write_string(sheet, 0, 0, "Report", nullptr);
  for (int c = 1; c <= kColumns; ++c) {
    worksheet_write_string(sheet, kHeaderRows - 1, c - 1,
                           platform::gbkToUtf8(headerText(c)).c_str(), framed);
  }
  lxw_image_options place{};
  place.x_offset = 2, place.y_offset = 3;
  worksheet_insert_image_opt(sheet, 2, 1, picture.c_str(), &place);
  for (int r = kHeaderRows + 1; r <= kHeaderRows + rows; ++r) {
    for (int c = 1; c <= kColumns; ++c) {
      worksheet_write_string(sheet, r - 1, c - 1, platform::gbkToUtf8(cellText(r, c)).c_str(),
                             framed);
    }
  }
  if (workbook_close(workbook) != LXW_NO_ERROR) throw std::runtime_error("libxlsxwriter");
  return seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const fs::path directory = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const fs::path engineFile = directory / "engine_bench_report.xlsx";
    const fs::path referenceFile = directory / "engine_bench_libxlsxwriter.xlsx";
    const fs::path picture = directory / "engine_bench_picture.bmp";
    writePicture(picture);
    writeTemplate(engineFile);

    const double cpuStart = cpuSeconds();
    const double engine = engineRun(engineFile, picture, rows);
    const double engineCpu = cpuSeconds() - cpuStart;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double peakMb = usage.ru_maxrss / 1024.0;
    if (std::getenv("QX_BENCH_ENGINE_ONLY") != nullptr) {  // for profiling the engine alone
      std::printf("engine: %.3f s, peak %.1f MB\n", engine, peakMb);
      return 0;
    }
    const double referenceStart = cpuSeconds();
    const double reference = libxlsxwriterRun(referenceFile, picture, rows);
    const double referenceCpu = cpuSeconds() - referenceStart;

    std::printf(
        "cells: %d rows x %d columns, each written and framed, plus headers and a picture\n", rows,
        kColumns);
    std::printf(
        "engine (automation layer, template filled and saved): %.3f s (cpu %.3f s), "
        "%.1f MB file\n",
        engine, engineCpu, fs::file_size(engineFile) / 1e6);
    std::printf(
        "libxlsxwriter constant_memory (from scratch):        %.3f s (cpu %.3f s), "
        "%.1f MB file\n",
        reference, referenceCpu, fs::file_size(referenceFile) / 1e6);
    std::printf("ratio engine / libxlsxwriter: %.2f wall, %.2f cpu (target <= 1.0)\n",
                engine / reference, engineCpu / referenceCpu);
    std::printf("engine peak memory (max RSS): %.1f MB (target <= 150 MB)\n", peakMb);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "engine_bench: %s\n", e.what());
    return 1;
  }
}
