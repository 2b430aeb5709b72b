#include "heron/program.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "automation/apartment.h"
#include "platform/paths.h"
#include "tests/support/captured_messages.h"
#include "tests/support/record_bytes.h"
#include "tests/support/recording_server.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::heron;

namespace {

namespace header_fields = platform::records::check_point_header;

TEST(HeronProgram, FailedStartUpWritesTheFatalLineAndExitsWithOne) {
  TempDir dir;
  RunFiles files;
  files.dataFile = dir.path() / "check_point_temp.dat";
  bool opened = false;
  files.beforeOpeningDataFile = [&](int) { opened = true; };
  ::testing::internal::CaptureStderr();
  const int code = runProgram([]() -> platform::Messages* { return nullptr; }, files);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Fatal Error: MFC initialization failed\n");
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(opened);  // no export was attempted
}

TEST(HeronProgram, ExitCodeIsZeroForEndsWithAMessageAndTwoForAServerFailure) {
  TempDir dir;
  RecordingServer server;
  server.registerAs("Excel.Application");
  CapturedMessages messages;
  RunFiles files;
  files.dataFile = dir.path() / "check_point_temp.dat";
  files.picture = platform::hostTextFromPath(dir.write("p.bmp", "BM"));
  const auto initialize = [&]() -> platform::Messages* { return &messages; };

  EXPECT_EQ(runProgram(initialize, files), 0);  // no data file
  ASSERT_EQ(messages.shown.size(), 1u);

  RecordBytes header{header_fields::kSize};
  header.text(header_fields::template_path, platform::hostTextFromPath(dir.write("t.xlsx", "PK")))
      .int32(header_fields::first_row, 2)
      .text(header_fields::picture_cell1, "A1")
      .text(header_fields::picture_cell2, "B2");
  dir.write("check_point_temp.dat", checkPointFile(header));
  EXPECT_EQ(runProgram(initialize, files), 0);
  EXPECT_EQ(server.saveCount(), 1);

  server.failCall("Workbook.Save", 2, automation::hr::kFail);
  EXPECT_EQ(runProgram(initialize, files), 2);
  EXPECT_EQ(server.outstandingReferences(), 0);
  EXPECT_EQ(automation::apartmentDepthForTesting(), 0);
}

// Messages that fail when asked to show anything: an error the run does not foresee.
class FailingMessages final : public platform::Messages {
 public:
  void show(std::string_view, platform::Buttons) override { throw std::runtime_error("no box"); }
};

TEST(HeronProgram, UnforeseenErrorLeavesNoReferenceAndNoApartmentBehind) {
  TempDir dir;
  RecordingServer server;
  server.registerAs("Excel.Application");
  server.setCellUtf8(1, 2, 1, "taken");  // the not-empty message comes with the session open
  FailingMessages messages;
  RunFiles files;
  files.dataFile = dir.path() / "check_point_temp.dat";
  RecordBytes header{header_fields::kSize};
  header.text(header_fields::template_path, platform::hostTextFromPath(dir.write("t.xlsx", "PK")))
      .int32(header_fields::first_row, 2);
  dir.write("check_point_temp.dat", checkPointFile(header));
  ::testing::internal::CaptureStderr();
  const int code = runProgram([&]() -> platform::Messages* { return &messages; }, files);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "heron: no box\n");
  EXPECT_EQ(code, 2);
  EXPECT_TRUE(server.created());
  EXPECT_EQ(server.outstandingReferences(), 0);
  EXPECT_EQ(automation::apartmentDepthForTesting(), 0);
}

TEST(HeronProgram, StartUpGivesTheSystemMessages) {
  EXPECT_EQ(initializeFramework(), &platform::systemMessages());
}

}  // namespace
}  // namespace qx::testing
