// The zip container: untouched entries keep their compressed bytes; a failed save leaves the
// file as it was.

#include "engine/zip_package.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/engine_error.h"
#include "tests/engine/package_builder.h"
#include "tests/support/temp_dir.h"

namespace qx::engine {
namespace {

PartContent text(std::string bytes) {
  return PartContent{[bytes, done = false](std::string& chunk) mutable {
                       if (done) return false;
                       chunk = bytes;
                       done = true;
                       return true;
                     },
                     6};
}

TEST(ZipPackage, CopiesUntouchedEntriesAsStoredAndReplacesOthers) {
  ::qx::testing::TempDir dir;
  const auto file = dir.path() / "t.xlsx";
  testing::writePackage(file, testing::minimalWorkbook());
  const auto rawBefore = testing::readRawEntries(file);
  ZipPackage package(file.string());
  EXPECT_TRUE(package.contains("/XL/Styles.xml"));  // part names compare case-insensitively
  EXPECT_FALSE(package.contains("xl/missing.xml"));
  package.save(file.string(), {{"xl/styles.xml", text("<new/>")}},
               {{"xl/media/image1.png", text("png")}}, {"xl/worksheets/sheet2.xml"});
  const testing::Parts after = testing::readPackage(file);
  EXPECT_EQ(after.at("xl/styles.xml"), "<new/>");
  EXPECT_EQ(after.at("xl/media/image1.png"), "png");
  EXPECT_EQ(after.count("xl/worksheets/sheet2.xml"), 0u);
  const auto rawAfter = testing::readRawEntries(file);
  for (const auto& [name, raw] : rawBefore) {
    if (name == "xl/styles.xml" || name == "xl/worksheets/sheet2.xml") continue;
    EXPECT_EQ(rawAfter.at(name), raw) << name;
  }
}

TEST(ZipPackage, AFailedSaveLeavesTheFileAndNoLeftovers) {
  ::qx::testing::TempDir dir;
  const auto file = dir.path() / "t.xlsx";
  testing::writePackage(file, testing::minimalWorkbook());
  const testing::Parts before = testing::readPackage(file);
  ZipPackage package(file.string());
  PartContent failing{[](std::string& chunk) -> bool {
                        chunk = "<partial";
                        throw EngineError("disk full while writing");
                      },
                      6};
  try {
    package.save(file.string(), {{"xl/styles.xml", failing}}, {}, {});
    ADD_FAILURE() << "the save did not fail";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("disk full while writing"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("unchanged"), std::string::npos) << e.what();
  }
  EXPECT_EQ(testing::readPackage(file), before);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, 1u);
}

TEST(ZipPackage, RefusesDamagedAndOversizedParts) {
  ::qx::testing::TempDir dir;
  const auto file = dir.path() / "t.xlsx";
  testing::writePackage(file, {{"a.xml", "<a/>"}});
  // Flip a byte of the stored data: the checksum no longer matches.
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::size_t at = bytes.find("a.xml") + 5;
  bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
  const auto damaged = dir.write("d.xlsx", bytes);
  try {
    ZipPackage package(damaged.string());
    package.read("a.xml");
    ADD_FAILURE() << "read a damaged part";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("a.xml"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace qx::engine
