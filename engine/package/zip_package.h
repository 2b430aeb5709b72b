#pragma once
// The package's zip container: finding and reading parts, and writing a new package in which
// the untouched entries are copied with their compressed data as it was.

#include <zip.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/package/chunk_source.h"

namespace qx::engine {

// A part that the saved package gets instead of (or besides) the stored one.
struct PartContent {
  ChunkSource source;
  int compressionLevel = 6;
};

// Parts larger than this are refused when read, so that a bomb cannot exhaust memory.
inline constexpr std::size_t kMaxPartBytes = std::size_t{512} << 20;

class ZipPackage {
 public:
  // Opens the zip at `path`; EngineError naming the file when it is no readable zip.
  explicit ZipPackage(const std::string& path);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  const std::string& path() const { return path_; }

  // The entry that holds the part (a name without leading '/'). Producers that store
  // backslashes or other letter cases are tolerated.
  std::optional<std::size_t> find(std::string_view partName) const;
  bool contains(std::string_view partName) const { return find(partName).has_value(); }
  const std::string& entryName(std::size_t index) const { return names_[index]; }
  std::size_t entryCount() const { return names_.size(); }

  // The part's bytes; EngineError naming the part when it is missing, damaged or too large.
  std::string read(std::string_view partName) const;

  // Writes the package to `target`: entries in stored order, each either copied as stored
  // (compressed bytes unchanged), replaced by `replaced`, or left out when in `removed`; then
  // `added` parts at the end. The new file is written beside the target (through
  // saveFileSystem()), flushed to disk and renamed over it, so that the target is at every
  // moment the old file or the whole new one; a failure leaves it as it was and raises
  // EngineError "<target>: saving failed, the file is unchanged (<reason>)". A symbolic link
  // is saved through to the file it points to.
  void save(const std::string& target, const std::unordered_map<std::string, PartContent>& replaced,
            const std::vector<std::pair<std::string, PartContent>>& added,
            const std::vector<std::string>& removed) const;

 private:
  friend class PartStream;
  std::string path_;
  zip_t* archive_ = nullptr;
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::size_t> index_;  // normalised name -> entry
};

// "xl\Worksheets\Sheet1.xml" -> "xl/worksheets/sheet1.xml": how part names are compared.
std::string normalisePartName(std::string_view name);

}  // namespace qx::engine
