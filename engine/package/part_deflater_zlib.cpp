#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "engine/package/part_deflater.h"

namespace qx::engine {

namespace {

// zlib's level 1, raw deflate (negative window bits): where no ISA-L is built.
class ZlibDeflater final : public PartDeflater {
 public:
  ~ZlibDeflater() override { end(); }

  void start() override {
    end();
    if (deflateInit2(&stream_, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::runtime_error("deflate failed");
    }
    started_ = true;
  }

  void deflate(std::string_view piece, bool last, std::vector<std::uint8_t>& out) override {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    stream_.avail_in = static_cast<uInt>(piece.size());
    const int flush = last ? Z_FINISH : Z_NO_FLUSH;
    int status = Z_OK;
    do {
      const std::size_t used = out.size();
      out.resize(used + std::max<std::size_t>(piece.size() / 2, 1u << 14));
      stream_.next_out = out.data() + used;
      stream_.avail_out = static_cast<uInt>(out.size() - used);
      status = ::deflate(&stream_, flush);
      if (status == Z_STREAM_ERROR) throw std::runtime_error("deflate failed");
      out.resize(out.size() - stream_.avail_out);
    } while (stream_.avail_in > 0 || (last && status != Z_STREAM_END));
  }

  std::uint32_t crc32(std::uint32_t crc, std::string_view piece) const override {
    return static_cast<std::uint32_t>(::crc32(crc, reinterpret_cast<const Bytef*>(piece.data()),
                                              static_cast<uInt>(piece.size())));
  }

 private:
  void end() {
    if (started_) deflateEnd(&stream_);
    started_ = false;
  }

  z_stream stream_{};
  bool started_ = false;
};

}  // namespace

std::unique_ptr<PartDeflater> newPartDeflater() {
  return std::make_unique<ZlibDeflater>();
}

}  // namespace qx::engine
