#pragma once
// A generated part deflated while it is produced (engine/part_deflater.h), and handed to
// libzip as data already compressed (method, CRC and sizes in its stat), so that libzip only
// copies it into the archive.

#include <zip.h>

#include <string>

#include "engine/zip_package.h"

namespace qx::engine {

// A libzip source of `source`'s bytes, deflated. An exception of `source` is kept in
// `failure` (the first one only) and fails the read. Null when libzip refuses the source.
zip_source_t* newDeflatedSource(ChunkSource source, std::string& failure);

}  // namespace qx::engine
