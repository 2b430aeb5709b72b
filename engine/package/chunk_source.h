#pragma once
// How a generated part hands over its bytes: piece by piece, so that a large part is never
// held whole.

#include <functional>
#include <string>

namespace qx::engine {

// Each call replaces `chunk` with the next piece and returns false once nothing is left.
using ChunkSource = std::function<bool(std::string& chunk)>;

}  // namespace qx::engine
