// The built library loaded by file name, the way the host loads it: the data file and the
// language file come from the configuration directory, the records from the test's memory.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <fstream>
#include <iterator>
#include <string>

#include "platform/code_page.h"
#include "tests/support/loaded_library.h"
#include "tests/support/record_bytes.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

namespace {

using ResultExport = void (*)(void*, void*);

namespace header_fields = platform::records::result_header;

class ExportLibrary : public ::testing::Test {
 protected:
  ExportLibrary() {
    if (library.loaded()) {
      exported = reinterpret_cast<ResultExport>(library.symbol("export_to_excel"));
    }
  }

  void writeLanguageFile() {
    dir.write("lang/pinebrook_exe.txt",
              platform::utf8ToGbk("excel_fil_11:小计:\r\nexcel_fil_12:总计:\r\n"
                                  "excel_fil_03:模板文件\r\nexcel_fil_04:不存在!\r\n"));
  }
  void writeDataFile() { dir.write("temp/pinebrook_temp.dat", host.transferRecord()); }

  std::string messageLog() const {
    std::ifstream in(log, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  LoadedLibrary library{TAMARACK_LIBRARY};
  ResultExport exported = nullptr;
  TempDir dir;
  std::filesystem::path log = dir.path() / "messages.log";
  ScopedEnv logEnv{"QX_MESSAGE_LOG", log.string()};
  ScopedEnv confEnv{"QX_CONF_DIR", dir.path().string()};
  ResultHost host;
};

TEST_F(ExportLibrary, ExportsOnlyThePlainName) {
  ASSERT_TRUE(library.loaded());
  EXPECT_NE(exported, nullptr);
  EXPECT_EQ(library.symbol("_export_to_excel"), nullptr);
  EXPECT_EQ(library.symbol("export_to_excel@8"), nullptr);
  // What the library links in stays inside it, so no other module's copy can stand in for it.
  EXPECT_EQ(library.symbol("_ZN2qx8tamarack9runExportERKNS0_8RunFilesERNS_8platform8MessagesE"),
            nullptr);
}

// The configuration directory is fixed on Windows ("D:\qx_conf"); elsewhere the tests give the
// library a directory of their own.
#ifndef _WIN32

// The template path reaches the message only through the header address in the data file,
// followed into the test's memory.
TEST_F(ExportLibrary, FollowsTheTransferRecordIntoTheHostsMemory) {
  ASSERT_NE(exported, nullptr);
  writeLanguageFile();
  const std::string missing = dir.path().string() + "/报表.xlsx";
  host.header.text(header_fields::workbook_path, platform::utf8ToGbk(missing));
  host.header.text(header_fields::column_spec, "a");
  host.addRow();
  writeDataFile();
  exported(nullptr, nullptr);
  EXPECT_EQ(messageLog(), "模板文件“" + missing + "”, 不存在!\n");
}

TEST_F(ExportLibrary, LooksForItsLanguageFileInTheLangFolder) {
  ASSERT_NE(exported, nullptr);
  writeDataFile();
  exported(nullptr, nullptr);
  const std::string expected = "找不到 " + (dir.path() / "lang" / "pinebrook_exe.txt").string() +
                               " 语言配置文件,请重新安装!\n";
  EXPECT_EQ(messageLog(), expected);
}

TEST_F(ExportLibrary, LooksForItsDataFileInTheTempFolder) {
  ASSERT_NE(exported, nullptr);
  dir.write("lang/pinebrook_exe.txt",
            platform::utf8ToGbk("excel_fil_11:a\nexcel_fil_12:b\nexcel_fil_01:无数据文件\n"));
  exported(nullptr, nullptr);
  EXPECT_EQ(messageLog(), "无数据文件\n");
  dir.write("temp/pinebrook_temp.dat", "short");
  std::filesystem::remove(log);
  dir.write("lang/pinebrook_exe.txt",
            platform::utf8ToGbk("excel_fil_11:a\nexcel_fil_12:b\nexcel_fil_02:数据太短\n"));
  exported(nullptr, nullptr);
  EXPECT_EQ(messageLog(), "数据太短\n");
}

#endif  // _WIN32

}  // namespace
}  // namespace qx::testing
