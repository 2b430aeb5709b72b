#include "host/user_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "host/command_line.h"
#include "include/qx/host_records.h"
#include "platform/code_page.h"

namespace qx::host {

namespace fs = std::filesystem;

namespace {

// The first bytes of a file, or throws with the reason it cannot be read.
std::string leadingBytes(const std::string& name, const fs::path& path, std::size_t count) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) throw UserFileError(name, path, "no such file");
  if (fs::is_directory(status)) throw UserFileError(name, path, "is a folder, not a file");
  if (!fs::is_regular_file(status)) throw UserFileError(name, path, "is not a regular file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UserFileError(name, path, std::string("cannot be read: ") + std::strerror(errno));
  std::string bytes(count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.empty()) throw UserFileError(name, path, "is empty");
  return bytes;
}

WorkbookKind checkTemplate(const fs::path& path) {
  leadingBytes("/template", path, 4);
  return kindOfPackage("/template", path);
}

void checkPicture(const std::string& name, const fs::path& path) {
  const std::string head = leadingBytes(name, path, 4);
  const bool known = head.starts_with("BM") || head.starts_with("\x89PNG") ||
                     head.starts_with("\xFF\xD8\xFF") || head.starts_with("GIF8");
  if (!known) throw UserFileError(name, path, "is no picture (BMP, PNG, JPEG or GIF)");
}

bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

}  // namespace

WorkbookKind checkDescriptionFiles(const Description& d) {
  const WorkbookKind kind = checkTemplate(d.templatePath);
  if (d.picture) checkPicture("/picture", *d.picture);
  for (const RowPicture& picture : d.rowPictures) {
    const fs::path file(picture.path);
    checkPicture("/rows/" + std::to_string(picture.row) + "/picture_path",
                 file.is_absolute() ? file : d.folder / file);
  }
  return kind;
}

void checkOutputKind(const fs::path& output, const WorkbookKind& templateKind,
                     const fs::path& templatePath) {
  const std::optional<WorkbookKind> named = kindOfName(output);
  if (named && named->macros == templateKind.macros) return;
  const std::string kinds = templateKind.macros ? ".xlsm or .xltm" : ".xlsx or .xltx";
  throw UsageError{"--output " + output.string() + ": the template " + templatePath.string() +
                   (templateKind.macros ? " holds macros (a " : " holds no macros (a ") +
                   templateKind.suffix() + " package); name the filled workbook " + kinds};
}

fs::path writtenThrough(const fs::path& output) {
  fs::path path = fs::absolute(output);
  for (int links = 0; links < 40; ++links) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
    const fs::path target = fs::read_symlink(path, error);
    if (error) return path;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  throw UserFileError("--output", output, "is a symbolic link that leads round in circles");
}

void checkOutput(const fs::path& output, const fs::path& workbook, const Description& d) {
  std::error_code error;
  const fs::file_status status = fs::status(output, error);
  if (fs::is_directory(status)) throw UserFileError("--output", output, "is a folder");
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    throw UserFileError("--output", output, "is not a regular file");
  }
  if (sameFile(output, d.templatePath)) {
    throw UserFileError("--output", output,
                        "is the template itself; the template is never written, name another "
                        "file");
  }
  if (d.picture && sameFile(output, *d.picture)) {
    throw UserFileError("--output", output, "is the picture; name another file");
  }
  const std::string utf8 = workbook.string();
  const std::string gbk = platform::utf8ToGbk(utf8);
  if (platform::gbkToUtf8(gbk) != utf8) {
    throw UserFileError("--output", output,
                        "the exporters take paths in code page 936 (GBK) only; this path holds "
                        "characters outside it");
  }
  // The shortest path slot of the records (255 bytes and the NUL) takes the working copy.
  const std::size_t room = 255 - (utf8.size() - fs::absolute(output).string().size());
  if (gbk.size() > 255) {
    throw UserFileError("--output", output,
                        "is too long: the exporters take an absolute path of at most " +
                            std::to_string(room) + " bytes here");
  }
  fs::path folder = workbook.parent_path();
  if (!fs::exists(folder)) {
    throw UserFileError("--output", output, "its folder " + folder.string() + " does not exist");
  } else if (!fs::is_directory(folder)) {
    throw UserFileError("--output", output, folder.string() + " is not a folder");
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    throw UserFileError(
        "--output", output,
        "its folder " + folder.string() + " cannot be written: " + std::strerror(errno));
  }
}

void checkConfFolder(const std::string& name, const fs::path& folder) {
  std::error_code error;
  if (!fs::exists(folder, error)) throw UserFileError(name, folder, "no such folder");
  if (!fs::is_directory(folder, error)) throw UserFileError(name, folder, "is not a folder");
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    throw UserFileError(name, folder, std::string("cannot be written: ") + std::strerror(errno));
  }
}

fs::path checkExporterFile(const std::string& name, const fs::path& folder,
                           const std::string& exporter) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    throw UserFileError(name, folder,
                        fs::exists(folder, error) ? "is not a folder"
                                                  : "no such folder; name the exporters' folder "
                                                    "with --lib-dir");
  }
  const bool program = exporter == "heron";
  const fs::path file = folder / (program ? "heron" : "lib" + exporter + ".so");
  if (!fs::is_regular_file(file, error)) {
    throw UserFileError(name, folder, "holds no " + file.filename().string());
  }
  if (::access(file.c_str(), program ? X_OK : R_OK) != 0) {
    throw UserFileError(name, folder,
                        file.filename().string() + " cannot be " + (program ? "run: " : "read: ") +
                            std::strerror(errno));
  }
  return file;
}

}  // namespace qx::host
