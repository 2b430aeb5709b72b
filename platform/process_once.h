#pragma once
// Something done once in a process, however often a library that does it is loaded and
// unloaded again: the host may free an exporter's library after every call.

#include <string_view>

namespace qx::platform {

// True the first time in this process that `key` is claimed, false ever after. On Windows the
// claim is a named kernel object of this process, held until the process ends.
bool claimOncePerProcess(std::string_view key);

}  // namespace qx::platform
