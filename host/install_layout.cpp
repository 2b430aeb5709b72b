#include "host/install_layout.h"

#include <system_error>

namespace qx::host {

namespace fs = std::filesystem;

namespace {

// The folder of the running program; argv[0] would be wrong for a program found on PATH.
fs::path programFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::current_path() : self.parent_path();
}

}  // namespace

InstallLayout findInstallLayout(const fs::path* libDir) {
  const fs::path prefix = programFolder().parent_path();
  InstallLayout layout;
  layout.libraryDir = libDir ? fs::absolute(*libDir) : prefix / "lib" / "qx-exporters";
  layout.languageFile = prefix / "share" / "qx-exporters" / "lang" / "pinebrook_exe.txt";
  return layout;
}

}  // namespace qx::host
