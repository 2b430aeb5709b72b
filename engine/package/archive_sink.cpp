#include "engine/package/archive_sink.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>

#include "engine/package/function_source.h"
#include "engine/save/save_file_system.h"

namespace qx::engine {

namespace {

struct Sink {
  ReplacementFile& file;
  std::string& failure;
  std::size_t capacity;
  std::string buffer;  // the bytes at [bufferStart, bufferStart + size) of the file
  std::uint64_t bufferStart = 0;
  std::uint64_t position = 0;    // where the next write goes
  std::uint64_t writtenEnd = 0;  // the end of what reached the file
  zip_error_t error;

  std::uint64_t end() const { return std::max(writtenEnd, bufferStart + buffer.size()); }

  void flush() {
    if (buffer.empty()) return;
    file.writeAt(bufferStart, buffer.data(), buffer.size());
    bufferStart += buffer.size();
    writtenEnd = std::max(writtenEnd, bufferStart);
    buffer.clear();
  }

  void put(const char* data, std::size_t size) {
    if (position < bufferStart || position > bufferStart + buffer.size()) {
      flush();
      bufferStart = position;
    }
    const std::size_t at = static_cast<std::size_t>(position - bufferStart);
    if (at + size > buffer.size()) buffer.resize(at + size);
    std::memcpy(buffer.data() + at, data, size);
    position += size;
    if (buffer.size() >= capacity) flush();
  }

  // Runs a step that may throw; a failure becomes libzip's write error.
  template <typename Step>
  zip_int64_t guarded(Step step) {
    try {
      return step();
    } catch (const std::exception& e) {
      if (failure.empty()) failure = e.what();
      zip_error_set(&error, ZIP_ER_WRITE, 0);
      return -1;
    }
  }
};

zip_int64_t sinkCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* sink = static_cast<Sink*>(state);
  switch (command) {
    case ZIP_SOURCE_STAT:
      // There is no archive yet: libzip starts an empty one instead of reading.
      zip_error_set(&sink->error, ZIP_ER_READ, ENOENT);
      return -1;
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_ROLLBACK_WRITE:  // the ReplacementFile removes the copy
      return 0;
    case ZIP_SOURCE_READ:
    case ZIP_SOURCE_TELL:
      return 0;
    case ZIP_SOURCE_SEEK:
      return zip_source_seek_compute_offset(0, 0, data, length, &sink->error) < 0 ? -1 : 0;
    case ZIP_SOURCE_BEGIN_WRITE:
      sink->buffer.clear();
      sink->buffer.reserve(sink->capacity + (std::size_t{64} << 10));
      sink->bufferStart = sink->position = sink->writtenEnd = 0;
      return 0;
    case ZIP_SOURCE_WRITE:
      return sink->guarded([&] {
        sink->put(static_cast<const char*>(data), static_cast<std::size_t>(length));
        return static_cast<zip_int64_t>(length);
      });
    case ZIP_SOURCE_SEEK_WRITE: {
      const zip_int64_t to =
          zip_source_seek_compute_offset(sink->position, sink->end(), data, length, &sink->error);
      if (to < 0) return -1;
      sink->position = static_cast<std::uint64_t>(to);
      return 0;
    }
    case ZIP_SOURCE_TELL_WRITE:
      return static_cast<zip_int64_t>(sink->position);
    case ZIP_SOURCE_COMMIT_WRITE:
      return sink->guarded([&] {
        sink->flush();
        sink->file.finish();
        return zip_int64_t{0};
      });
    case ZIP_SOURCE_REMOVE:
      // libzip removes an archive left without entries; an empty file never replaces a
      // workbook.
      zip_error_set(&sink->error, ZIP_ER_OPNOTSUPP, 0);
      if (sink->failure.empty()) sink->failure = "the package would have no parts";
      return -1;
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&sink->error, data, length);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&sink->error);
      delete sink;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return ZIP_SOURCE_SUPPORTS_WRITABLE;
    default:
      zip_error_set(&sink->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

}  // namespace

zip_source_t* newArchiveSink(ReplacementFile& file, std::string& failure) {
  auto* sink = new Sink{file, failure, saveFileSystem().writeBufferBytes(), {}, 0, 0, 0, {}};
  return newFunctionSource(sinkCallback, sink);
}

}  // namespace qx::engine
