#include "tests/vellum/run_fixture.h"

#include <fstream>

#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "vellum/group_table_run.h"

namespace qx::testing {

using namespace qx::vellum;

GroupTableRunTest::GroupTableRunTest()
    : confDir("QX_CONF_DIR", dir.path().string()),
      templatePath(dir.write("report.xlsx", "PK").string()) {
  server.registerAs("Excel.Application");
  header.utf8Text(header_fields::template_path, templatePath);
  header.int32(header_fields::start_row, 5);
  header.int32(header_fields::border_weight, 2);
  header.int32(header_fields::group_column, 1);
}

GroupTableRunTest::~GroupTableRunTest() {
  std::error_code ignored;
  if (!picturePath.empty()) std::filesystem::remove(picturePath, ignored);
}

bool GroupTableRunTest::writeHostPicture() {
  const std::filesystem::path path = platform::tempFile("post_excel_sheet_pictrue.bmp");
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary);
  out << "BM";
  out.close();
  if (!out) return false;
  picturePath = path;
  return true;
}

void GroupTableRunTest::run(const BuildRules& rules) {
  exportGroupTable(header.data(), rows.first(), rules, messages);
}

void GroupTableRunTest::runWithoutRows(const BuildRules& rules) {
  exportGroupTable(header.data(), nullptr, rules, messages);
}

std::vector<std::string> writesOf(const RecordingServer& server) {
  std::vector<std::string> out;
  for (const Call& call : server.calls()) {
    if (call.operation() != "Range.Item" || call.kind != automation::InvokeKind::PropertyPut) {
      continue;
    }
    out.push_back(platform::format("R%dC%d=", call.arguments[0].integerValue(),
                                   call.arguments[1].integerValue()) +
                  platform::utf16ToUtf8(call.arguments[2].textValue()));
  }
  return out;
}

std::vector<std::string> framesOf(const RecordingServer& server) {
  std::vector<std::string> out;
  for (const Frame& frame : server.frames()) out.push_back(frame.address);
  return out;
}

std::vector<std::string> GroupTableRunTest::messageTexts() const {
  std::vector<std::string> out;
  for (const ShownMessage& shown : messages.shown) out.push_back(shown.text);
  return out;
}

}  // namespace qx::testing
