#include "host/working_workbook.h"

#include <unistd.h>

#include <stdexcept>
#include <string>

#include "host/interruption.h"
#include "host/leftovers.h"

namespace qx::host {

namespace fs = std::filesystem;

namespace {

// The mode --output is to have.
mode_t outputMode(const fs::path& output) {
  struct stat existing {};
  if (::stat(output.c_str(), &existing) == 0) return existing.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

WorkingWorkbook::WorkingWorkbook(const fs::path& output)
    : output_(fs::absolute(output)),
      path_(output_.parent_path() / workingCopyName(::getpid(), output_.filename().string())) {}

WorkingWorkbook::~WorkingWorkbook() {
  if (made_) {
    removeWorkingCopiesOf(path_.parent_path(), ::getpid());
    Interruption::clearWorkingFolder();
  }
}

void WorkingWorkbook::copyFrom(const fs::path& templatePath, const WorkbookKind& kind) {
  removeDeadWorkingCopies(path_.parent_path());
  std::error_code error;
  made_ = true;
  Interruption::setWorkingFolder(path_.parent_path());
  fs::copy_file(templatePath, path_, fs::copy_options::overwrite_existing, error);
  if (error) {
    throw std::runtime_error("cannot copy the template " + templatePath.string() + " into " +
                             path_.parent_path().string() + ": " + error.message());
  }
  setPackageKind(path_, kind);
  // The engine keeps the mode of the file it saves over, so the report gets this one.
  if (::chmod(path_.c_str(), outputMode(output_)) != 0 || ::stat(path_.c_str(), &copied_) != 0) {
    throw std::runtime_error("cannot prepare the working copy " + path_.string());
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
}

}  // namespace qx::host
