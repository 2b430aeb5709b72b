#pragma once
// The workbook the exporter fills: a copy of the template beside --output, under a hidden name
// that carries this process's id. It replaces --output only when the exporter saved it;
// otherwise it is removed, so a failed report never leaves a file that looks like one.

#include <sys/stat.h>

#include <filesystem>

#include "host/workbook_kind.h"

namespace qx::host {

class WorkingWorkbook {
 public:
  // Names the copy beside `output` (the file written through any links); nothing is made yet.
  explicit WorkingWorkbook(const std::filesystem::path& output);
  ~WorkingWorkbook();
  WorkingWorkbook(const WorkingWorkbook&) = delete;
  WorkingWorkbook& operator=(const WorkingWorkbook&) = delete;

  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& output() const { return output_; }

  // Removes the copies of dead runs beside --output, copies the template, makes the copy a
  // package of `kind` (the kind --output names) and gives it the mode --output will have: the
  // one it has, or for a new file the one the umask leaves of 0666. Remembers the copy's
  // identity to tell later whether it was saved.
  void copyFrom(const std::filesystem::path& templatePath, const WorkbookKind& kind);
  // True when the copy was written since copyFrom (the engine saves into a new file that it
  // renames over the workbook, so a save shows as a new file or a new modification time).
  bool saved() const;
  // Moves the filled copy over --output.
  void commit();

 private:
  std::filesystem::path output_;
  std::filesystem::path path_;
  struct stat copied_ {};
  bool made_ = false;
};

}  // namespace qx::host
