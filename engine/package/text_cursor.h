#pragma once
// The bytes of a part's text by their place in it, from the text held or from the part inflated
// again: a sheet's rows are found by where they lie, and reading them in order costs one pass.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/package/part_stream.h"

namespace qx::engine {

class ZipPackage;

class TextCursor {
 public:
  // The bytes of `text`.
  explicit TextCursor(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}
  // The bytes of the part inflated; `package` is kept open while the cursor lives.
  TextCursor(std::shared_ptr<const ZipPackage> package, std::string partName);

  // The `length` bytes at `offset`, valid until the next call. Reading forward costs the bytes
  // in between; reading behind the last call inflates the part again from its start.
  // EngineError naming the part when it is damaged or shorter.
  std::string_view at(std::uint64_t offset, std::size_t length);
  // Reads the part to its end, so that its CRC is checked.
  void finish();
  // Times the part was inflated from its start after the first (for the tests).
  std::size_t restarts() const { return restarts_; }

 private:
  void fill(std::size_t bytes);

  std::shared_ptr<const std::string> text_;
  std::shared_ptr<const ZipPackage> package_;
  std::unique_ptr<PartStream> stream_;
  std::string buffer_;          // inflated bytes from buffered_ on
  std::uint64_t buffered_ = 0;  // offset in the part of buffer_[0]
  std::size_t restarts_ = 0;
};

}  // namespace qx::engine
