#pragma once
// Where the host finds what it was installed with. Everything is taken relative to the running
// program (bin/qx_host next to lib/qx-exporters/ and share/qx-exporters/), so a moved or
// packaged tree works and no
// build path is kept in the binary. The build tree is laid out the same way.

#include <filesystem>

namespace qx::host {

struct InstallLayout {
  std::filesystem::path libraryDir;    // lib/qx-exporters: the exporters' libraries and heron
  std::filesystem::path languageFile;  // share/qx-exporters/lang/pinebrook_exe.txt (may be missing)
};

// The layout around the running program; `libDir` (from --lib-dir) replaces the library folder.
InstallLayout findInstallLayout(const std::filesystem::path* libDir);

}  // namespace qx::host
