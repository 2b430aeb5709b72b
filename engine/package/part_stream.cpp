#include "engine/package/part_stream.h"

#include "engine/package/zip_package.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

PartStream::PartStream(const ZipPackage& package, std::string partName)
    : package_(package), part_(std::move(partName)) {
  open();
}

PartStream::~PartStream() {
  if (file_ != nullptr) zip_fclose(file_);
}

void PartStream::open() {
  const std::optional<std::size_t> index = package_.find(part_);
  if (!index) throw partError(part_, "missing from the package " + package_.path());
  zip_stat_t stat;
  if (zip_stat_index(package_.archive_, *index, 0, &stat) != 0 ||
      (stat.valid & ZIP_STAT_SIZE) == 0) {
    throw partError(part_, "cannot be read from the package");
  }
  if (stat.size > kMaxPartBytes) {
    throw partError(part_, "is larger than " + std::to_string(kMaxPartBytes >> 20) +
                               " MiB uncompressed; refused");
  }
  size_ = stat.size;
  file_ = zip_fopen_index(package_.archive_, *index, 0);
  if (file_ == nullptr) {
    throw partError(part_,
                    std::string("cannot be opened (") + zip_strerror(package_.archive_) + ")");
  }
  position_ = 0;
  ended_ = false;
}

void PartStream::restart() {
  if (file_ != nullptr) zip_fclose(file_);
  file_ = nullptr;
  open();
}

std::size_t PartStream::read(char* into, std::size_t size) {
  if (ended_ || size == 0) return 0;
  // The stated size is not trusted: a damaged or hostile package can state any.
  const zip_int64_t got = zip_fread(file_, into, size);
  if (got < 0) throw partError(part_, std::string("damaged (") + zip_file_strerror(file_) + ")");
  position_ += static_cast<std::uint64_t>(got);
  if (position_ > size_) throw partError(part_, "damaged (longer than its stated size)");
  if (got == 0) {
    if (position_ != size_) throw partError(part_, "damaged (shorter than its stated size)");
    ended_ = true;
  }
  return static_cast<std::size_t>(got);
}

}  // namespace qx::engine
