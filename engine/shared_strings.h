#pragma once
// The shared strings part: the texts that cells refer to by index. Items from the package are
// kept as they are (rich text, phonetic runs); new texts are appended once each and found again
// in constant time.

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/zip_package.h"

namespace qx::engine {

class SharedStrings {
 public:
  // Parses the part; EngineError naming it when malformed.
  void load(std::string_view text, const std::string& partName);

  std::size_t size() const { return offsets_.size(); }
  // The plain text of item `index` (runs joined), "" for an index out of range.
  std::string_view text(std::uint32_t index) const;
  // The index of an item that is exactly this plain text, adding one when there is none.
  std::uint32_t add(std::string_view text);

  bool changed() const { return added_ > 0; }
  // The part with the new items, written piece by piece.
  ChunkSource saver();

 private:
  std::uint32_t append(std::string_view text);
  void grow();
  std::size_t slotOf(std::string_view text, std::uint64_t hash) const;
  bool crowded() const { return offsets_.size() * 5 > slots_.size() * 3; }

  std::string part_;
  pugi::xml_document document_;
  std::vector<pugi::xml_node> items_;   // items from the package, in order
  std::vector<bool> plain_;             // whether item i is a single unformatted text
  std::string arena_;                   // all plain texts, back to back
  std::vector<std::uint64_t> offsets_;  // start in arena_ of item i (length in the top 24 bits)
  // Open-addressing index, kept small so that it stays in the cache: 8 bits of the hash over
  // item + 1 in 24 bits (0 for a free slot), so that a probe rarely looks at a text. Items
  // beyond 2^24 - 2 are appended without being indexed.
  std::vector<std::uint32_t> slots_;
  std::size_t added_ = 0;
  std::size_t references_ = 0;
};

// Writes a cell text as element content: escapes markup and encodes the control characters
// that XML cannot hold as _xHHHH_, as the application does.
void appendCellText(std::string& out, std::string_view text);
// The inverse for texts read from the package.
std::string decodeCellText(std::string_view text);

}  // namespace qx::engine
