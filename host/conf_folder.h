#pragma once
// The configuration folder of one run. By default a private folder made for the run and removed
// after it; a folder the user names is locked for the run instead, so that runs sharing it take
// turns and never mix their data files.

#include <filesystem>
#include <optional>
#include <string>

namespace qx::host {

class ConfFolder {
 public:
  // A private folder under the system's temporary folder, named after this process; the
  // private folders of dead processes there are removed first.
  ConfFolder();
  // `folder` (checked already), locked through its .qx_host.lock file. Another run holding it
  // is told on standard error ("waiting for <folder>, held by process N") and waited for, at
  // most `waitSeconds` when given (then a UserFileError). `name` is how the user chose it
  // (--conf, QX_CONF_DIR), for what a failure says.
  ConfFolder(const std::string& name, const std::filesystem::path& folder,
             std::optional<double> waitSeconds);
  ~ConfFolder();
  ConfFolder(const ConfFolder&) = delete;
  ConfFolder& operator=(const ConfFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Copies `installed` into lang/pinebrook_exe.txt when the folder has no language file; a file
  // already there is the user's and stays as it is.
  void provideLanguageFile(const std::filesystem::path& installed) const;

 private:
  std::filesystem::path path_;
  bool private_ = false;
  int lock_ = -1;
};

}  // namespace qx::host
