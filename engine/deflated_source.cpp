#include "engine/deflated_source.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/function_source.h"
#include "engine/part_deflater.h"

namespace qx::engine {

namespace {

struct DeflatedPart {
  ChunkSource source;
  std::string* failure = nullptr;
  std::string chunk;                  // the last piece of the part
  std::vector<std::uint8_t> pending;  // deflated bytes not yet read
  std::size_t offset = 0;
  std::unique_ptr<PartDeflater> deflater = newPartDeflater();
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  std::uint64_t compressedSize = 0;
  bool ended = false;  // the last deflated byte is in `pending`
  zip_error_t error{};

  void start() {
    deflater->start();
    chunk.clear();
    pending.clear();
    offset = 0;
    crc = 0;
    size = compressedSize = 0;
    ended = false;
  }

  // Deflates the next piece of the part into `pending`.
  void deflateNext() {
    chunk.clear();
    const bool last = !source(chunk);
    crc = deflater->crc32(crc, chunk);
    size += chunk.size();
    pending.clear();
    offset = 0;
    deflater->deflate(chunk, last, pending);
    compressedSize += pending.size();
    ended = last;
  }

  zip_int64_t read(char* out, zip_uint64_t length) {
    zip_uint64_t written = 0;
    while (written < length) {
      if (offset == pending.size()) {
        if (ended) break;
        deflateNext();
        continue;
      }
      const std::size_t n = std::min<std::size_t>(pending.size() - offset,
                                                  static_cast<std::size_t>(length - written));
      std::copy_n(pending.data() + offset, n, out + written);
      offset += n;
      written += n;
    }
    return static_cast<zip_int64_t>(written);
  }
};

zip_int64_t deflatedCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
  auto* part = static_cast<DeflatedPart*>(state);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      part->start();
      return 0;
    case ZIP_SOURCE_READ:
      try {
        return part->read(static_cast<char*>(data), length);
      } catch (const std::exception& e) {
        if (part->failure->empty()) *part->failure = e.what();
        zip_error_set(&part->error, ZIP_ER_INTERNAL, 0);
        return -1;
      }
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* stat = static_cast<zip_stat_t*>(data);
      zip_stat_init(stat);
      stat->mtime = std::time(nullptr);
      stat->comp_method = ZIP_CM_DEFLATE;
      stat->valid |= ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
      if (part->ended && part->offset == part->pending.size()) {
        // Read to the end: libzip takes the entry's CRC and sizes from here.
        stat->size = part->size;
        stat->comp_size = part->compressedSize;
        stat->crc = part->crc;
        stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
      }
      return sizeof(*stat);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&part->error, data, length);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&part->error);
      delete part;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&part->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

}  // namespace

zip_source_t* newDeflatedSource(ChunkSource source, std::string& failure) {
  auto* part = new DeflatedPart;
  part->source = std::move(source);
  part->failure = &failure;
  return newFunctionSource(deflatedCallback, part);
}

}  // namespace qx::engine
