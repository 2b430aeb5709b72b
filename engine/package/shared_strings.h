#pragma once
// The shared strings part: the texts that cells refer to by index. Items from the package are
// kept as they are (rich text, phonetic runs); new texts are appended. An item is held as its
// plain text only, unless writing that text back would not give the item's bytes: then its
// bytes are kept too. A text that recurs is
// found again in constant time through a small cache-resident index of recent texts, so the
// repeated values of a report share one item; a text that returns after many others may get a
// second item, which readers accept.

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/package/chunk_source.h"

namespace qx::engine {

class SharedStrings {
 public:
  // Reads the part; EngineError naming it when malformed.
  void load(std::string text, const std::string& partName);

  std::size_t size() const { return offsets_.size(); }
  // The plain text of item `index` (runs joined), "" for an index out of range.
  std::string_view text(std::uint32_t index) const;
  // The index of an item that is exactly this plain text, adding one when none is found.
  std::uint32_t add(std::string_view text) { return add(text, hashOf(text)); }
  // The same with the text's hashOf, after a prefetch() of it.
  std::uint32_t add(std::string_view text, std::uint64_t hash);
  static std::uint64_t hashOf(std::string_view text);
  // Starts loading the index entry of the hash, so that the caller's other work hides the
  // memory latency of the lookup.
  void prefetch(std::uint64_t hash) const {
    __builtin_prefetch(&recent_[(hash & kBucketMask) * 2]);
  }

  bool changed() const { return added_ > 0; }
  // The part with the new items, written piece by piece.
  ChunkSource saver();

 private:
  std::uint32_t append(std::string_view text);
  void remember(std::uint32_t index, std::uint64_t hash);
  // Reads a batch of the part's items.
  void readItems(std::string_view text,
                 const std::vector<std::pair<std::size_t, std::size_t>>& items);
  void keep(std::uint32_t index, std::string_view bytes, bool before);
  // Appends item `index` as the saver writes a plain text.
  void appendItem(std::string& out, std::uint32_t index) const;

  static constexpr std::size_t kBuckets = std::size_t{1} << 16;
  static constexpr std::size_t kBucketMask = kBuckets - 1;

  std::string part_;
  pugi::xml_document document_;            // the part without its items
  std::string open_, openSpaces_, close_;  // the markup of a plain item, with the part's prefix
  // Items whose bytes their plain text does not give (rich text, phonetic runs, other
  // markup), and comments or instructions before an item, in ascending order: the item's
  // index, and where the bytes lie in kept_.
  struct KeptItem {
    std::uint32_t index;
    std::uint32_t length : 31;
    std::uint32_t before : 1;  // what precedes the item, not the item
    std::size_t offset;
  };
  std::vector<KeptItem> keptItems_;
  std::string kept_;
  std::size_t itemsEnd_ = 0;            // in the text being read: where the last item read ends
  std::string arena_;                   // all plain texts, back to back
  std::vector<std::uint64_t> offsets_;  // start in arena_ of item i (length in the top 24 bits)
  // Index of recent texts, two per bucket, small enough to stay in the cache: the hash's top
  // 32 bits over item + 1 (0 for a free entry), so that a miss rarely has to look at a text.
  std::vector<std::uint64_t> recent_ = std::vector<std::uint64_t>(kBuckets * 2, 0);
  std::size_t added_ = 0;
  std::size_t references_ = 0;
};

// Writes a cell text as element content: escapes markup and encodes the control characters
// that XML cannot hold as _xHHHH_, as the application does.
void appendCellText(std::string& out, std::string_view text);
// The inverse for texts read from the package.
std::string decodeCellText(std::string_view text);

}  // namespace qx::engine
