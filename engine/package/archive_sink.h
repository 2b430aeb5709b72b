#pragma once
// The zip source libzip writes a new archive into when it closes one: every byte goes to a
// ReplacementFile, so that all writes of a save pass through the save file system.

#include <zip.h>

#include <string>

#include "engine/save/replacement_file.h"

namespace qx::engine {

// A source for zip_open_from_source(..., ZIP_CREATE | ZIP_TRUNCATE, ...) that starts empty.
// Writes are gathered in a buffer, so the seek back to rewrite each entry's header usually
// costs no write of its own. `failure` receives the first reason a write failed. The source
// refers to both arguments until it is freed; nullptr when libzip cannot make one.
zip_source_t* newArchiveSink(ReplacementFile& file, std::string& failure);

}  // namespace qx::engine
