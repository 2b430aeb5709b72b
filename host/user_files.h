#pragma once
// Checks of every file and folder the user names, made before anything is copied or called.
// A problem is told by the user's own name for the file ("/template", "--output") and the
// path as written, in plain words.

#include <filesystem>
#include <stdexcept>
#include <string>

#include "host/description.h"
#include "host/workbook_kind.h"

namespace qx::host {

// A file or folder named by the user that the host cannot use.
class UserFileError : public std::runtime_error {
 public:
  UserFileError(const std::string& name, const std::filesystem::path& path, const std::string& what)
      : std::runtime_error(name + " " + path.string() + ": " + what) {}
};

// The template and the pictures of a description (/picture and the rows' picture_path): each
// a readable file of the right kind. Returns the template's kind.
WorkbookKind checkDescriptionFiles(const Description& description);

// --output names a workbook of the template's kind: macro-enabled exactly when the template
// is (a template may be filled into a workbook's name and the other way round). A UsageError
// otherwise: the command line is wrong.
void checkOutputKind(const std::filesystem::path& output, const WorkbookKind& templateKind,
                     const std::filesystem::path& templatePath);

// The file --output names, through any symbolic links: the report is written there, and the
// link stays.
std::filesystem::path writtenThrough(const std::filesystem::path& output);

// --output: a file that can be written in place of what is there, not a folder, not the
// template or picture, in a folder that exists, and a path that fits the records once the
// host has made its working copy `workbook` beside it.
void checkOutput(const std::filesystem::path& output, const std::filesystem::path& workbook,
                 const Description& description);

// --conf or $QX_CONF_DIR: a folder that exists and can be written; the host makes none.
void checkConfFolder(const std::string& name, const std::filesystem::path& folder);

// The exporters' folder holds what `exporter` needs: its library, or the heron program.
// `name` says how the user chose the folder (--lib-dir, or the default beside the host).
std::filesystem::path checkExporterFile(const std::string& name,
                                        const std::filesystem::path& folder,
                                        const std::string& exporter);

}  // namespace qx::host
