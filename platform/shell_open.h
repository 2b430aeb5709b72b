#pragma once
// Opening a file with the program the system associates with its kind (Windows only).

#include <string_view>

namespace qx::platform {

#ifdef _WIN32
// Starts the program associated with the file's extension on the file (the shell's "open"),
// without a dialog of the shell's own. `hostPath` is code page 936 text, as the host writes
// paths. Returns false when nothing was started (no associated program, no such file).
bool openWithAssociatedProgram(std::string_view hostPath);
#endif

}  // namespace qx::platform
