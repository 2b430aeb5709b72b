#pragma once
// A generated part deflated while it is produced (engine/part_deflater.h), and handed to
// libzip as data already compressed (method, CRC and sizes in its stat), so that libzip only
// copies it into the archive. Where the machine has a second core, the deflater runs on a
// thread of its own while the part's next pieces are produced, a few pieces ahead at most.

#include <zip.h>

#include <optional>
#include <string>

#include "engine/package/chunk_source.h"

namespace qx::engine {

// A libzip source of `source`'s bytes, deflated. `source` is called on the thread that reads
// the source only. An exception of `source` or of the deflater is kept in `failure` (the first
// one only) and fails the read. Null when libzip refuses the source.
zip_source_t* newDeflatedSource(ChunkSource source, std::string& failure);

// Whether sources opened from now on deflate on a second thread: by default where the machine
// has more than one core, unless the environment sets QX_SAVE_THREADS=1. Either way the
// deflated bytes are the same. `std::nullopt` returns to the default.
void setDeflateBeside(std::optional<bool> on);

}  // namespace qx::engine
