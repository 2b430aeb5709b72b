#include "host/working_workbook.h"

#include <unistd.h>

#include <stdexcept>
#include <string>

namespace qx::host {

namespace fs = std::filesystem;

WorkingWorkbook::WorkingWorkbook(const fs::path& output)
    : output_(fs::absolute(output)),
      path_(output_.parent_path() /
            (".qx-" + std::to_string(::getpid()) + "-" + output_.filename().string())) {}

WorkingWorkbook::~WorkingWorkbook() {
  if (made_) {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
}

void WorkingWorkbook::copyFrom(const fs::path& templatePath) {
  std::error_code error;
  made_ = true;
  fs::copy_file(templatePath, path_, fs::copy_options::overwrite_existing, error);
  // A read-only template still gives a report the user can edit.
  if (!error) fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add, error);
  if (error || ::stat(path_.c_str(), &copied_) != 0) {
    throw std::runtime_error("cannot copy the template " + templatePath.string() + " into " +
                             path_.parent_path().string() + ": " + error.message());
  }
}

bool WorkingWorkbook::saved() const {
  struct stat now {};
  if (::stat(path_.c_str(), &now) != 0) return false;
  return now.st_ino != copied_.st_ino || now.st_mtim.tv_sec != copied_.st_mtim.tv_sec ||
         now.st_mtim.tv_nsec != copied_.st_mtim.tv_nsec || now.st_size != copied_.st_size;
}

void WorkingWorkbook::commit() {
  std::error_code error;
  fs::rename(path_, output_, error);
  if (error) {
    throw std::runtime_error("cannot put the filled workbook in place of " + output_.string() +
                             ": " + error.message());
  }
  made_ = false;
}

}  // namespace qx::host
