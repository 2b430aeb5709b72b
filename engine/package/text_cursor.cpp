#include "engine/package/text_cursor.h"

#include "engine/package/zip_package.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
constexpr std::size_t kPieceBytes = std::size_t{1} << 16;
}

TextCursor::TextCursor(std::shared_ptr<const ZipPackage> package, std::string partName)
    : package_(std::move(package)),
      stream_(std::make_unique<PartStream>(*package_, std::move(partName))) {}

void TextCursor::fill(std::size_t bytes) {
  while (buffer_.size() < bytes) {
    const std::size_t had = buffer_.size();
    buffer_.resize(had + kPieceBytes);
    const std::size_t got = stream_->read(buffer_.data() + had, kPieceBytes);
    buffer_.resize(had + got);
    if (got == 0) throw partError(stream_->part(), "damaged (its rows lie beyond its end)");
  }
}

std::string_view TextCursor::at(std::uint64_t offset, std::size_t length) {
  if (text_) {
    if (offset > text_->size() || length > text_->size() - offset) {
      throw EngineError("a row lies beyond the end of its sheet's text");
    }
    return std::string_view(*text_).substr(static_cast<std::size_t>(offset), length);
  }
  if (offset < buffered_) {
    stream_->restart();
    ++restarts_;
    buffer_.clear();
    buffered_ = 0;
  }
  // What lies before the offset is dropped; what the stream has not reached yet is skipped.
  const std::uint64_t bufferEnd = buffered_ + buffer_.size();
  if (offset >= bufferEnd) {
    buffer_.clear();
    buffered_ = bufferEnd;
    char skipped[kPieceBytes];
    while (buffered_ < offset) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(sizeof skipped, offset - buffered_));
      const std::size_t got = stream_->read(skipped, want);
      if (got == 0) throw partError(stream_->part(), "damaged (its rows lie beyond its end)");
      buffered_ += got;
    }
  } else if (offset - buffered_ > kPieceBytes) {
    buffer_.erase(0, static_cast<std::size_t>(offset - buffered_));
    buffered_ = offset;
  }
  const auto start = static_cast<std::size_t>(offset - buffered_);
  fill(start + length);
  return std::string_view(buffer_).substr(start, length);
}

void TextCursor::finish() {
  if (text_) return;
  char rest[kPieceBytes];
  while (stream_->read(rest, sizeof rest) != 0) {
  }
}

}  // namespace qx::engine
