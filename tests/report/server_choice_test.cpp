#include "report/server_choice.h"

#include <gtest/gtest.h>

#include "tests/support/captured_messages.h"

namespace qx::testing {

using namespace qx::report;

namespace {

struct SettingCase {
  const char* server;  // null: unset
  const char* open;    // null: unset
  ServerChoice choice;
  bool openReport;
  const char* unknown;
};

const SettingCase kSettings[] = {
    {nullptr, nullptr, ServerChoice::Com, true, ""},
    {"", "", ServerChoice::Com, true, ""},
    {"   ", "\t", ServerChoice::Com, true, ""},
    {"com", nullptr, ServerChoice::Com, true, ""},
    {" COM\t", nullptr, ServerChoice::Com, true, ""},
    {"embedded", nullptr, ServerChoice::Embedded, true, ""},
    {"  Embedded \r\n", nullptr, ServerChoice::Embedded, true, ""},
    {"EMBEDDED", "0", ServerChoice::Embedded, false, ""},
    {"auto", nullptr, ServerChoice::Auto, true, ""},
    {"AuTo ", " No ", ServerChoice::Auto, false, ""},
    {"embedded", "off", ServerChoice::Embedded, false, ""},
    {"embedded", "FALSE", ServerChoice::Embedded, false, ""},
    {"embedded", "1", ServerChoice::Embedded, true, ""},
    {"embedded", "yes", ServerChoice::Embedded, true, ""},
    {"embedded", "00", ServerChoice::Embedded, true, ""},
    {"embedded", "nope", ServerChoice::Embedded, true, ""},
    // A value that names no choice is kept as written, for the message; COM is used.
    {"excel", nullptr, ServerChoice::Com, true, "excel"},
    {" embeded ", nullptr, ServerChoice::Com, true, " embeded "},
    {"embedded auto", nullptr, ServerChoice::Com, true, "embedded auto"},
    {"com,embedded", "0", ServerChoice::Com, false, "com,embedded"},
    {"\xc4\xda\xd6\xc3", nullptr, ServerChoice::Com, true, "\xc4\xda\xd6\xc3"},
};

class ServerSettings : public ::testing::TestWithParam<SettingCase> {};

TEST_P(ServerSettings, ReadAsTheUserMeantThem) {
  const SettingCase& c = GetParam();
  const ServerSetting setting = parseServerSetting(c.server, c.open);
  EXPECT_EQ(setting.choice, c.choice);
  EXPECT_EQ(setting.openReport, c.openReport);
  EXPECT_EQ(setting.unknownChoice, c.unknown);
}

INSTANTIATE_TEST_SUITE_P(Values, ServerSettings, ::testing::ValuesIn(kSettings));

TEST(ServerSettingMessage, AnUnknownValueIsToldOncePerProcessNamingItAndCom) {
  CapturedMessages messages;
  tellUnknownChoiceOnce(parseServerSetting("com", nullptr), messages);
  EXPECT_TRUE(messages.shown.empty());
  tellUnknownChoiceOnce(parseServerSetting("excel", nullptr), messages);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find("QX_SPREADSHEET_SERVER"), std::string::npos);
  EXPECT_NE(messages.shown[0].text.find("“excel”"), std::string::npos);
  EXPECT_NE(messages.shown[0].text.find("使用 COM"), std::string::npos);
  EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
  tellUnknownChoiceOnce(parseServerSetting("excel", nullptr), messages);
  tellUnknownChoiceOnce(parseServerSetting("other", nullptr), messages);
  EXPECT_EQ(messages.shown.size(), 1u);
}

}  // namespace
}  // namespace qx::testing
