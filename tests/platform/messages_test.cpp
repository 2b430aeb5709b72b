#include "platform/messages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::platform;

namespace {

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(MessageLog, EveryMessageIsAppendedAsOneUtf8Line) {
  TempDir dir;
  const auto log = dir.path() / "messages.log";
  ScopedEnv env("QX_MESSAGE_LOG", log.string());
  systemMessages().show("无法启动Excel服务器!", Buttons::Ok);
  systemMessages().show("second", Buttons::OkCancel);
  EXPECT_EQ(readAll(log), "无法启动Excel服务器!\nsecond\n");
}

TEST(MessageLog, NothingIsWrittenWithoutTheVariable) {
  ScopedEnv env("QX_MESSAGE_LOG", "");
  appendToMessageLog("ignored");  // must not throw or create a file named ""
  SUCCEED();
}

TEST(Format, GrowsToHoldLongArguments) {
  const std::string path(600, 'p');
  const std::string text = format("模板文件“%s”, 不存在!", path.c_str());
  EXPECT_EQ(text.size(), path.size() + std::string("模板文件“”, 不存在!").size());
  EXPECT_EQ(format("%d-%0.3f", 7, 1.5), "7-1.500");
}

}  // namespace
}  // namespace qx::testing
