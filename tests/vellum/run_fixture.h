#pragma once
// A grouped table run against the recording server, with the host's records in byte buffers,
// a template file and the configuration directory in a fresh folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/captured_messages.h"
#include "tests/support/record_bytes.h"
#include "tests/support/recording_server.h"
#include "tests/support/temp_dir.h"
#include "vellum/build_rules.h"

namespace qx::testing {

namespace header_fields = platform::records::group_table_header;
namespace row_fields = platform::records::group_table_row;

// "R6C2=0:30" for every Range.Item put the server received, in order (UTF-8).
std::vector<std::string> writesOf(const RecordingServer& server);
// "B6" for every frame, in order.
std::vector<std::string> framesOf(const RecordingServer& server);

class GroupTableRunTest : public ::testing::Test {
 protected:
  GroupTableRunTest();
  ~GroupTableRunTest() override;

  // Writes the host's picture file where the run looks for it (the configuration directory:
  // the test folder, or the fixed directory on Windows). False when it cannot be written.
  bool writeHostPicture();

  // Calls the export's core as the host calls the library.
  void run(const vellum::BuildRules& rules);
  void runWithoutRows(const vellum::BuildRules& rules);

  std::vector<std::string> writes() const { return writesOf(server); }
  std::vector<std::string> frames() const { return framesOf(server); }
  std::vector<std::string> messageTexts() const;
  std::string cell(int row, int column) const { return server.cellUtf8(1, row, column); }

  TempDir dir;
  ScopedEnv confDir;
  RecordingServer server;
  CapturedMessages messages;
  RecordBytes header{header_fields::kSize};
  RecordList rows{row_fields::kSize, row_fields::next};
  std::string templatePath;
  std::filesystem::path picturePath;
};

}  // namespace qx::testing
