// The zip container: untouched entries keep their compressed bytes; a failed save leaves the
// file as it was.

#include "engine/package/zip_package.h"

#include <gtest/gtest.h>

#include <zip.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <vector>

#include "engine/package/deflated_source.h"
#include "engine/save/engine_error.h"
#include "tests/engine/package_builder.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::engine;

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

// Deflates on a second thread or not for the life of the guard.
struct DeflateBeside {
  explicit DeflateBeside(bool on) { setDeflateBeside(on); }
  ~DeflateBeside() { setDeflateBeside(std::nullopt); }
};

// The file's bytes with every entry's modification time zeroed, walking the local headers and
// then the central directory.
std::string withoutTimes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  auto field = [&](std::size_t at, int width) {
    std::size_t value = 0;
    for (int i = width - 1; i >= 0; --i)
      value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
  };
  std::size_t at = 0;
  while (at + 30 <= bytes.size() && bytes.compare(at, 4, "PK\x03\x04") == 0) {
    bytes.replace(at + 10, 4, 4, '\0');
    at += 30 + field(at + 26, 2) + field(at + 28, 2) + field(at + 18, 4);
  }
  while (at + 46 <= bytes.size() && bytes.compare(at, 4, "PK\x01\x02") == 0) {
    bytes.replace(at + 12, 4, 4, '\0');
    at += 46 + field(at + 28, 2) + field(at + 30, 2) + field(at + 32, 2);
  }
  EXPECT_EQ(bytes.compare(at, 4, "PK\x05\x06"), 0) << "the walk missed an entry of " << file;
  return bytes;
}

TEST(ZipPackage, CopiesUntouchedEntriesAsStoredAndReplacesOthers) {
  TempDir dir;
  const auto file = dir.path() / "t.xlsx";
  writePackage(file, minimalWorkbook());
  const auto rawBefore = readRawEntries(file);
  ZipPackage package(file.string());
  EXPECT_TRUE(package.contains("/XL/Styles.xml"));  // part names compare case-insensitively
  EXPECT_FALSE(package.contains("xl/missing.xml"));
  package.save(file.string(), {{"xl/styles.xml", text("<new/>")}},
               {{"xl/media/image1.png", text("png")}}, {"xl/worksheets/sheet2.xml"});
  const Parts after = readPackage(file);
  EXPECT_EQ(after.at("xl/styles.xml"), "<new/>");
  EXPECT_EQ(after.at("xl/media/image1.png"), "png");
  EXPECT_EQ(after.count("xl/worksheets/sheet2.xml"), 0u);
  const auto rawAfter = readRawEntries(file);
  for (const auto& [name, raw] : rawBefore) {
    if (name == "xl/styles.xml" || name == "xl/worksheets/sheet2.xml") continue;
    EXPECT_EQ(rawAfter.at(name), raw) << name;
  }
}

// Also when the source fails a few pieces in, while the second thread deflates those before.
TEST(ZipPackage, AFailedSaveLeavesTheFileAndNoLeftovers) {
  for (const bool beside : {false, true}) {
    SCOPED_TRACE(beside ? "deflated beside" : "deflated on the saving thread");
    DeflateBeside mode(beside);
    TempDir dir;
    const auto file = dir.path() / "t.xlsx";
    writePackage(file, minimalWorkbook());
    const Parts before = readPackage(file);
    ZipPackage package(file.string());
    PartContent failing{[calls = 0](std::string& chunk) mutable -> bool {
                          if (++calls == 5) throw EngineError("disk full while writing");
                          chunk.assign(1 << 18, 'x');
                          return true;
                        },
                        6};
    try {
      package.save(file.string(), {{"xl/styles.xml", failing}}, {}, {});
      ADD_FAILURE() << "the save did not fail";
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find("disk full while writing"), std::string::npos)
          << e.what();
      EXPECT_NE(std::string(e.what()).find("unchanged"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readPackage(file), before);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
      ++files;
    EXPECT_EQ(files, 1u);
  }
}

TEST(ZipPackage, RefusesDamagedAndOversizedParts) {
  TempDir dir;
  const auto file = dir.path() / "t.xlsx";
  writePackage(file, {{"a.xml", "<a/>"}});
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

// A part handed over in pieces, as the sheet and shared strings savers hand theirs.
PartContent pieces(std::vector<std::string> all) {
  return PartContent{[all = std::move(all), next = std::size_t{0}](std::string& chunk) mutable {
                       if (next == all.size()) return false;
                       chunk = all[next++];
                       return true;
                     },
                     6};
}

// Generated parts are deflated as they are produced: whatever the pieces, each comes back
// whole, and the archive's CRC and size are those of the bytes (checked with zlib here). The
// file is the same, but for its times, whether a second thread deflated or not.
TEST(ZipPackage, GeneratedPartsComeBackWholeWithTheirCrcAndSize) {
  std::mt19937 random(7);
  std::string noise(3u << 20, '\0');  // incompressible, larger than any deflate window
  for (char& c : noise) c = static_cast<char>(random());
  std::string rows;
  for (int r = 1; rows.size() < (5u << 20); ++r) {
    rows +=
        "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\" s=\"3\"/></row>";
  }
  // Many more pieces than the deflater has in flight, of uneven sizes, some empty.
  std::vector<std::string> many;
  for (std::size_t at = 0, step = 1; at < rows.size(); at += step, step = step * 7 % 300007) {
    many.push_back(rows.substr(at, step));
    if (many.size() % 5 == 0) many.emplace_back();
  }
  const std::vector<std::pair<std::string, std::vector<std::string>>> parts = {
      {"xl/empty.xml", {}},
      {"xl/empty_pieces.xml", {"", "", ""}},
      {"xl/one_byte.xml", {"x"}},
      {"xl/noise.bin", {noise}},
      {"xl/rows.xml", {rows.substr(0, 70000), "", rows.substr(70000, 1), rows.substr(70001)}},
      {"xl/mixed.bin", {rows.substr(0, 1 << 16), noise.substr(0, 1 << 20), rows.substr(0, 99)}},
      {"xl/many.xml", many},
  };
  TempDir dir;
  std::vector<std::string> saved;
  for (const bool beside : {false, true}) {
    SCOPED_TRACE(beside ? "deflated beside" : "deflated on the saving thread");
    DeflateBeside mode(beside);
    const auto file = dir.path() / (beside ? "two.xlsx" : "one.xlsx");
    writePackage(file, minimalWorkbook());
    std::vector<std::pair<std::string, PartContent>> added;
    for (const auto& [name, all] : parts) added.emplace_back(name, pieces(all));
    ZipPackage(file.string()).save(file.string(), {{"xl/styles.xml", pieces(many)}}, added, {});

    const Parts after = readPackage(file);
    int code = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_RDONLY, &code);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, all] : parts) {
      std::string whole;
      for (const std::string& piece : all) whole += piece;
      EXPECT_EQ(after.at(name), whole) << name;
      zip_stat_t stat;
      ASSERT_EQ(zip_stat(zip, name.c_str(), 0, &stat), 0) << name;
      EXPECT_EQ(stat.size, whole.size()) << name;
      EXPECT_EQ(stat.comp_method, ZIP_CM_DEFLATE) << name;
      const auto crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(whole.data()),
                             static_cast<uInt>(whole.size()));
      EXPECT_EQ(stat.crc, crc) << name;
    }
    zip_close(zip);
    EXPECT_EQ(after.at("xl/styles.xml"), rows);
    saved.push_back(withoutTimes(file));
  }
  if (saved[0] == saved[1]) return;
  // Which entries differ, so that a difference says where it lies.
  const auto one = readRawEntries(dir.path() / "one.xlsx");
  const auto two = readRawEntries(dir.path() / "two.xlsx");
  std::string differing;
  for (const auto& [name, raw] : one) {
    if (!two.contains(name) || two.at(name) != raw) differing += " " + name;
  }
  ADD_FAILURE() << "the two saves differ; their stored bytes differ in:"
                << (differing.empty() ? std::string(" (none: the headers differ)") : differing);
}

}  // namespace
}  // namespace qx::testing
