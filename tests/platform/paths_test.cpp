#include "platform/paths.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::platform;

namespace {

#ifndef _WIN32
TEST(Paths, ConfigDirectoryFollowsTheEnvironment) {
  {
    ScopedEnv conf("QX_CONF_DIR", "/srv/conf");
    EXPECT_EQ(configDirectory(), std::filesystem::path("/srv/conf"));
    EXPECT_EQ(tempFile("check_point_temp.dat"),
              std::filesystem::path("/srv/conf/temp/check_point_temp.dat"));
    EXPECT_EQ(languageFile("pinebrook_exe.txt"),
              std::filesystem::path("/srv/conf/lang/pinebrook_exe.txt"));
  }
  ScopedEnv conf("QX_CONF_DIR", "");
  ScopedEnv home("HOME", "/home/user");
  EXPECT_EQ(configDirectory(), std::filesystem::path("/home/user/qx_conf"));
}

TEST(Paths, HostTextPathsAreConvertedFromGbk) {
  const std::string gbk = "/tmp/\xC4\xA3\xB0\xE5.xlsx";  // 模板
  EXPECT_EQ(pathFromHostText(gbk).string(), "/tmp/模板.xlsx");
  EXPECT_EQ(hostTextFromPath(pathFromHostText(gbk)), gbk);
}
#else
TEST(Paths, ConfigDirectoryIsFixedOnWindows) {
  EXPECT_EQ(tempFile("check_point_temp.dat").string(), "D:\\qx_conf\\temp\\check_point_temp.dat");
}
#endif

}  // namespace
}  // namespace qx::testing
