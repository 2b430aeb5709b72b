#pragma once
// Checks of every file and folder the user names, made before anything is copied or called.
// A problem is told by the user's own name for the file ("/template", "--output") and the
// path as written, in plain words.

#include <filesystem>
#include <stdexcept>
#include <string>

#include "host/description.h"

namespace qx::host {

// A file or folder named by the user that the host cannot use.
class UserFileError : public std::runtime_error {
 public:
  UserFileError(const std::string& name, const std::filesystem::path& path, const std::string& what)
      : std::runtime_error(name + " " + path.string() + ": " + what) {}
};

// The template and the pictures of a description (/picture and the rows' picture_path): each
// a readable file of the right kind.
void checkDescriptionFiles(const Description& description);

// --output: a file that can be written in place of what is there, not a folder, not the
// template or picture, and a path that fits the records once the host has made its working
// copy `workbook` beside it.
void checkOutput(const std::filesystem::path& output, const std::filesystem::path& workbook,
                 const Description& description);

// --conf or $QX_CONF_DIR: a folder that exists or can be made, and can be written.
void checkConfFolder(const std::string& name, const std::filesystem::path& folder);

// The exporters' folder holds what `exporter` needs: its library, or the heron program.
// `name` says how the user chose the folder (--lib-dir, or the default beside the host).
std::filesystem::path checkExporterFile(const std::string& name,
                                        const std::filesystem::path& folder,
                                        const std::string& exporter);

}  // namespace qx::host
