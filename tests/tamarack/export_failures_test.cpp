#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "automation/server_registry.h"
#include "tests/tamarack/run_fixture.h"

namespace qx::testing {

using namespace qx::tamarack;

namespace {

using platform::Buttons;

// Each row of the failure table: what goes wrong, what the user is told, what is closed.
class TamarackFailures : public TamarackRun {
 protected:
  TamarackFailures() {
    host.header.text(header_fields::column_spec, "ae");
    addRow({{'e', "1"}});
  }

  // The recording server behind a factory that first does `beforeCreation`: the only moment
  // between the two reads of the data file.
  void serveChanging(std::function<void()> beforeCreation) {
    serve();
    server->registerAs("Recording.Application");
    automation::registerServer("Excel.Application", [beforeCreation] {
      beforeCreation();
      return automation::createServerObject("Recording.Application");
    });
  }
  ~TamarackFailures() override { automation::unregisterServer("Excel.Application"); }

  void expectOnly(const std::string& text, Buttons buttons) {
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, text);
    EXPECT_EQ(messages.shown[0].buttons, buttons);
  }
  bool serverStarted() const { return server && server->created(); }
};

TEST_F(TamarackFailures, MissingLabelsShowTheLookupsOwnMessage) {
  for (const char* key : {"excel_fil_11:", "excel_fil_12:"}) {
    messages.shown.clear();
    auto texts = testTexts();
    texts.erase(key);
    writeLanguageFile(texts);
    serve();
    run();
    expectOnly(std::string("在 ") + utf8Of(languageFile) + " 文件中找不到 " + key +
                   " 标题,请查看标题否正确!",
               Buttons::Ok);
    EXPECT_FALSE(serverStarted());
    EXPECT_EQ(apartmentsLeft(), 0);
  }
}

// A folder in the file's place cannot be opened either, on every system.
TEST_F(TamarackFailures, MissingLanguageFileIsToldOnce) {
  for (const bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "a folder" : "missing");
    messages.shown.clear();
    std::filesystem::remove(languageFile);
    if (folder) std::filesystem::create_directory(languageFile);
    serve();
    run();
    expectOnly("找不到 " + utf8Of(languageFile) + " 语言配置文件,请重新安装!", Buttons::Ok);
    EXPECT_FALSE(serverStarted());
  }
}

TEST_F(TamarackFailures, DataFileMissing) {
  std::filesystem::create_directories(dir.path() / "temp" / "folder.dat");
  for (const char* name : {"none.dat", "folder.dat"}) {
    SCOPED_TRACE(name);
    messages.shown.clear();
    serve();
    depthBefore = automation::apartmentDepthForTesting();
    runExport({languageFile, dir.path() / "temp" / name}, messages);
    expectOnly("数据文件打不开", Buttons::Ok);
    EXPECT_FALSE(serverStarted());
    EXPECT_EQ(apartmentsLeft(), 0);
  }
}

TEST_F(TamarackFailures, DataFileShorterThanOneRecord) {
  serve();
  run(951);
  expectOnly("数据文件太短", Buttons::OkCancel);
  EXPECT_FALSE(serverStarted());
  EXPECT_TRUE(std::filesystem::remove(dataFile));  // closed again
}

// A null header address would take the host down; it reads as a failed read instead.
TEST_F(TamarackFailures, NullHeaderAddressIsAFailedRead) {
  serve();
  run(platform::records::result_transfer::kSize, /*withHeader=*/false);
  expectOnly("数据文件太短", Buttons::OkCancel);
  EXPECT_FALSE(serverStarted());
}

TEST_F(TamarackFailures, NullHeaderAddressOnTheSecondRead) {
  serveChanging([this] {
    dir.write("temp/pinebrook_temp.dat",
              host.transferRecord(platform::records::result_transfer::kSize, /*withHeader=*/false));
  });
  run();
  expectOnly("数据文件再读太短", Buttons::OkCancel);
  EXPECT_TRUE(server->workbooksClosed());
  EXPECT_TRUE(server->quit());
  EXPECT_EQ(server->outstandingReferences(), 0);
}

TEST_F(TamarackFailures, TemplateNotReadable) {
  const std::string missing = utf8Of(dir.path() / localName(u8"无.xlsx"));
  host.header.text(header_fields::workbook_path, platform::utf8ToGbk(missing));
  serve();
  run();
  expectOnly("模板“" + missing + "”, 读不了!", Buttons::Ok);
  EXPECT_FALSE(serverStarted());
  EXPECT_EQ(apartmentsLeft(), 0);
}

TEST_F(TamarackFailures, TemplateMessageIsNeverCut) {
  auto texts = testTexts();
  texts["excel_fil_03:"] = std::string(84, 'a') + "模板";  // 252 bytes of code page 936
  texts["excel_fil_04:"] = std::string(250, 'z');
  writeLanguageFile(texts);
  const std::string missing = utf8Of(dir.path() / (std::string(200, 'p') + ".xlsx"));
  host.header.text(header_fields::workbook_path, platform::utf8ToGbk(missing));
  serve();
  run();
  expectOnly(texts["excel_fil_03:"] + "“" + missing + "”, " + texts["excel_fil_04:"], Buttons::Ok);
}

TEST_F(TamarackFailures, ApartmentCannotBeInitialised) {
  serve();
  automation::failNextApartmentInitializeForTesting(automation::hr::kOutOfMemory);
  run();
  expectOnly("环境初始化失败", Buttons::Ok);
  EXPECT_FALSE(serverStarted());
  EXPECT_EQ(apartmentsLeft(), 0);
}

TEST_F(TamarackFailures, ServerCannotBeCreated) {
  serve().failCreation();
  run();
  expectOnly("服务器起不来", Buttons::Ok);
  EXPECT_EQ(apartmentsLeft(), 0);  // uninitialised again
}

TEST_F(TamarackFailures, DataFileGoneForTheSecondRead) {
  serveChanging([this] { std::filesystem::remove(dataFile); });
  run();
  expectOnly("数据文件再打不开", Buttons::Ok);
  EXPECT_TRUE(server->workbooksClosed());
  EXPECT_TRUE(server->quit());
  EXPECT_EQ(server->saveCount(), 0);
  EXPECT_TRUE(server->frames().empty());
  EXPECT_EQ(server->outstandingReferences(), 0);
  EXPECT_EQ(apartmentsLeft(), 0);
}

TEST_F(TamarackFailures, SecondReadShort) {
  serveChanging([this] { std::filesystem::resize_file(dataFile, 100); });
  run();
  expectOnly("数据文件再读太短", Buttons::OkCancel);
  EXPECT_TRUE(server->workbooksClosed());
  EXPECT_TRUE(server->quit());
  EXPECT_EQ(server->saveCount(), 0);
  EXPECT_EQ(server->outstandingReferences(), 0);
  EXPECT_EQ(apartmentsLeft(), 0);
}

// Without the text for its message, the run ends at once: no Workbooks.Close, no Quit, COM
// left as it is; only the references are released. The start-up texts plug into the run like
// the others: a server that does not start keeps the apartment when its text is missing.
TEST_F(TamarackFailures, MissingTextForAClosingMessageSkipsTheClosingSteps) {
  struct Case {
    const char* key;
    bool serverFails;
  };
  for (const Case c : {Case{"excel_fil_07:", false}, Case{"excel_fil_06:", true}}) {
    SCOPED_TRACE(c.key);
    messages.shown.clear();
    auto texts = testTexts();
    texts.erase(c.key);
    writeLanguageFile(texts);
    serveChanging([this] { std::filesystem::remove(dataFile); });
    server->failCreation(c.serverFails);
    run();
    expectOnly("在 " + utf8Of(languageFile) + " 文件中找不到 " + c.key + " 标题,请查看标题否正确!",
               Buttons::Ok);
    EXPECT_EQ(outcome, report::Outcome::Stopped);
    EXPECT_FALSE(server->workbooksClosed());
    EXPECT_FALSE(server->quit());
    EXPECT_EQ(server->outstandingReferences(), 0);
    EXPECT_EQ(apartmentsLeft(), 1);
    automation::uninitializeApartment();
  }
}

TEST_F(TamarackFailures, ServerFailingToOpenTheWorkbook) {
  serve().failCall("Workbooks.Open", 1, automation::hr::kException,
                   automation::ExceptionInfo{1004, u"Excel", u"文件已损坏"});
  run();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Excel 操作失败: Workbooks.Open: 文件已损坏 (0x80020009)");
  EXPECT_EQ(server->outstandingReferences(), 0);
  EXPECT_EQ(server->saveCount(), 0);
}

}  // namespace
}  // namespace qx::testing
