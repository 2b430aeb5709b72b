#pragma once
// One export run against the recording server, with a template file that exists, start row 5
// and frame weight 2 unless a test says otherwise.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/apartment.h"
#include "kestrel/dual_spec_run.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "tests/support/captured_messages.h"
#include "tests/support/record_bytes.h"
#include "tests/support/recording_server.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

namespace header_fields = platform::records::dual_spec_header;
namespace row_fields = platform::records::dual_spec_row;

class DualSpecRun : public ::testing::Test {
 protected:
  void SetUp() override {
    server.registerAs();
    depthBefore = automation::apartmentDepthForTesting();
    templatePath = platform::hostTextFromPath(dir.write("report.xlsx", "template"));
    header.text(header_fields::template_path, templatePath)
        .int32(header_fields::start_row, 5)
        .int32(header_fields::border_weight, 2);
  }
  void TearDown() override {
    while (automation::apartmentDepthForTesting() > depthBefore) {
      automation::uninitializeApartment();
    }
  }

  void run() {
    kestrel::runDualSpecExport(kestrel::decodeDualSpecHeader(header.bytes()), rows.first(),
                               messages);
  }

  // The text of an absolute cell of the sheet, as code page 936 ("" when never written).
  std::string cell(int row, int column) const {
    return platform::utf16ToGbk(server.cell(1, row, column).value_or(u""));
  }
  std::vector<std::string> frameAddresses() const {
    std::vector<std::string> addresses;
    for (const auto& frame : server.frames()) addresses.push_back(frame.address);
    return addresses;
  }
  std::vector<std::string> shownTexts() const {
    std::vector<std::string> texts;
    for (const auto& shown : messages.shown) texts.push_back(shown.text);
    return texts;
  }
  // Range.Item puts to (row, column) relative to the used range.
  int writesTo(int row, int column) const {
    int count = 0;
    for (const auto& call : server.calls()) {
      if (call.operation() == "Range.Item" && call.kind == automation::InvokeKind::PropertyPut &&
          call.arguments[0].integerValue() == row && call.arguments[1].integerValue() == column) {
        ++count;
      }
    }
    return count;
  }

  RecordingServer server;
  CapturedMessages messages;
  TempDir dir;
  RecordBytes header{header_fields::kSize};
  RecordList rows{row_fields::kSize, row_fields::next};
  std::string templatePath;
  int depthBefore = 0;
};

}  // namespace qx::testing
