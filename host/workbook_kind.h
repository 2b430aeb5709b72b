#pragma once
// The four kinds of workbook package the exporters fill, told by a file's name and by its
// content: a workbook or a template, with or without macros. A package says which it is in the
// content type of its workbook part; a spreadsheet application opens a file by what that says,
// so a template filled into a workbook's name must say "workbook".

#include <filesystem>
#include <optional>
#include <string>

namespace qx::host {

struct WorkbookKind {
  bool macros = false;
  bool isTemplate = false;

  bool operator==(const WorkbookKind&) const = default;
  // ".xlsx", ".xlsm", ".xltx", ".xltm"
  std::string suffix() const;
};

// The kind a file name says (its suffix in any case); nothing for another suffix.
std::optional<WorkbookKind> kindOfName(const std::filesystem::path& path);

// The kind of the package at `path`, from its content types. An Excel 97-2003 workbook, an
// OpenDocument spreadsheet, a zip file that is no workbook and an unreadable package are
// refused (UserFileError) under `name`, saying what the file is.
WorkbookKind kindOfPackage(const std::string& name, const std::filesystem::path& path);

// Makes the package at `path` say it is of `kind`; it keeps every other byte of every part.
// Throws std::runtime_error when the package cannot be rewritten.
void setPackageKind(const std::filesystem::path& path, const WorkbookKind& kind);

}  // namespace qx::host
