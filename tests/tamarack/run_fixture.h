#pragma once
// A tamarack run against the recording server: the language file, the template and the data
// file in a fresh directory, the host's records in the test's memory.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "automation/apartment.h"
#include "platform/code_page.h"
#include "tamarack/export_run.h"
#include "tests/support/captured_messages.h"
#include "tests/support/record_bytes.h"
#include "tests/support/recording_server.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

namespace header_fields = platform::records::result_header;
namespace row_fields = platform::records::result_row;

// A path as UTF-8, the way messages and the recording server's texts show it.
inline std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The texts the test's language file holds, in UTF-8 (written as code page 936).
inline const std::map<std::string, std::string>& testTexts() {
  static const std::map<std::string, std::string> texts = {
      {"excel_fil_01:", "数据文件打不开"},
      {"excel_fil_02:", "数据文件太短"},
      {"excel_fil_03:", "模板"},
      {"excel_fil_04:", "读不了!"},
      {"excel_fil_05:", "环境初始化失败"},
      {"excel_fil_06:", "服务器起不来"},
      {"excel_fil_07:", "数据文件再打不开"},
      {"excel_fil_08:", "数据文件再读太短"},
      {"excel_fil_09:", "工作表不够"},
      {"excel_fil_11:", "小计:"},
      {"excel_fil_12:", "总计:"},
  };
  return texts;
}

class TamarackRun : public ::testing::Test {
 protected:
  TamarackRun() {
    writeLanguageFile(testTexts());
    templatePath_ = writeFile(u8"模板.xlsx", "template");
    host.header.text(header_fields::workbook_path, platform::utf8ToGbk(utf8Of(templatePath_)));
    host.header.int32(header_fields::border_weight, 2);
    host.bodyRows(5, 20);
  }

  // A file named in UTF-8, so that paths outside ASCII travel as code page 936 from the host.
  // Written under a plain name first: file streams open narrow names only with some runtimes.
  std::filesystem::path writeFile(std::u8string_view name, std::string_view bytes) {
    const std::filesystem::path path = dir.path() / localName(name);
    std::filesystem::rename(dir.write("unnamed.tmp", bytes), path);
    return path;
  }

  // Wine without a Chinese Unix locale cannot make such names; there the tests keep to ASCII.
  static std::filesystem::path localName(std::u8string_view name) {
#ifdef _WIN32
    std::string ascii;
    for (const char8_t c : name) ascii += c < 0x80 ? static_cast<char>(c) : 'x';
    return ascii;
#else
    return std::filesystem::path(name);
#endif
  }

  void writeLanguageFile(const std::map<std::string, std::string>& texts) {
    std::string file;
    for (const auto& [key, text] : texts) file += key + platform::utf8ToGbk(text) + "\r\n";
    languageFile = dir.write("lang/pinebrook_exe.txt", file);
  }

  // The recording server with `sheets` worksheets, registered as "Excel.Application".
  RecordingServer& serve(int sheets = 3) {
    server.emplace(sheets);
    server->registerAs("Excel.Application");
    return *server;
  }

  // A row record with field texts by selector (UTF-8 written as code page 936).
  RecordBytes& addRow(const std::map<char, std::string>& fields) {
    RecordBytes& row = host.addRow();
    for (const auto& [selector, text] : fields) row.utf8Text(fieldOf(selector), text);
    return row;
  }

  static platform::TextField fieldOf(char selector) {
    static const std::map<char, platform::TextField> fields = {
        {'a', row_fields::field_a}, {'b', row_fields::field_b},      {'e', row_fields::field_e},
        {'n', row_fields::field_n}, {'7', row_fields::picture_path}, {'8', row_fields::field_8},
        {'0', row_fields::field_0}};
    return fields.at(selector);
  }

  // Writes the data file with the transfer record and runs the export.
  void run(std::size_t transferSize = platform::records::result_transfer::kSize,
           bool withHeader = true) {
    dataFile = dir.write("temp/pinebrook_temp.dat", host.transferRecord(transferSize, withHeader));
    depthBefore = automation::apartmentDepthForTesting();
    outcome = tamarack::runExport({languageFile, dataFile}, messages);
  }

  int apartmentsLeft() const {
    return automation::apartmentDepthForTesting() - depthBefore;
  }

  // The cell's text on the sheet, "" when never written.
  std::string cell(int sheet, int row, int column) const {
    return server->cellUtf8(sheet, row, column);
  }

  // Addresses framed on one sheet, in order.
  std::vector<std::string> framesOn(int sheet) const {
    std::vector<std::string> addresses;
    for (const auto& frame : server->frames()) {
      if (frame.sheet == sheet) addresses.push_back(frame.address);
    }
    return addresses;
  }

  std::vector<std::string> shownTexts() const {
    std::vector<std::string> texts;
    for (const auto& shown : messages.shown) texts.push_back(shown.text);
    return texts;
  }

  TempDir dir;
  ResultHost host;
  std::optional<RecordingServer> server;
  CapturedMessages messages;
  std::filesystem::path languageFile, dataFile, templatePath_;
  int depthBefore = 0;
  std::optional<report::Outcome> outcome;  // of the last run()
};

}  // namespace qx::testing
