#include "host/workbook_kind.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "host/user_files.h"

namespace qx::host {

namespace {

constexpr std::string_view kContentTypes = "[Content_Types].xml";
constexpr std::string_view kWorkbookTypes[2][2] = {
    {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml"},
    {"application/vnd.ms-excel.sheet.macroEnabled.main+xml",
     "application/vnd.ms-excel.template.macroEnabled.main+xml"},
};

std::string_view contentTypeOf(const WorkbookKind& kind) {
  return kWorkbookTypes[kind.macros][kind.isTemplate];
}

struct CloseArchive {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, CloseArchive>;

// The whole entry, or nothing when the package has none.
std::optional<std::string> readEntry(zip_t* archive, std::string_view name) {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat(archive, std::string(name).c_str(), 0, &stat) != 0 ||
      !(stat.valid & ZIP_STAT_SIZE) || stat.size > (std::size_t{64} << 20)) {
    return std::nullopt;
  }
  zip_file_t* file = zip_fopen(archive, std::string(name).c_str(), 0);
  if (file == nullptr) return std::nullopt;
  std::string text(stat.size, '\0');
  const zip_int64_t read = zip_fread(file, text.data(), text.size());
  zip_fclose(file);
  if (read != static_cast<zip_int64_t>(text.size())) return std::nullopt;
  return text;
}

// The kind a content types part names for its workbook, with where that name stands.
std::optional<std::pair<WorkbookKind, std::size_t>> namedKind(const std::string& types) {
  for (const bool macros : {false, true}) {
    for (const bool isTemplate : {false, true}) {
      const std::size_t at = types.find(kWorkbookTypes[macros][isTemplate]);
      if (at != std::string::npos) return std::make_pair(WorkbookKind{macros, isTemplate}, at);
    }
  }
  return std::nullopt;
}

}  // namespace

std::string WorkbookKind::suffix() const {
  return std::string(".xl") + (isTemplate ? "t" : "s") + (macros ? "m" : "x");
}

std::optional<WorkbookKind> kindOfName(const std::filesystem::path& path) {
  std::string suffix = path.extension().string();
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const bool macros : {false, true}) {
    for (const bool isTemplate : {false, true}) {
      const WorkbookKind kind{macros, isTemplate};
      if (suffix == kind.suffix()) return kind;
    }
  }
  return std::nullopt;
}

WorkbookKind kindOfPackage(const std::string& name, const std::filesystem::path& path) {
  char head[8] = {};
  std::ifstream(path, std::ios::binary).read(head, sizeof head);
  if (std::string_view(head, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
    throw UserFileError(name, path,
                        "is an Excel 97-2003 workbook (.xls), which the exporters cannot fill; "
                        "save it as .xlsx (or .xlsm, .xltx, .xltm)");
  }
  if (std::string_view(head, 4) != std::string_view("PK\x03\x04", 4)) {
    throw UserFileError(name, path,
                        "is no .xlsx workbook (an .xlsx, .xlsm, .xltx or .xltm package is a zip "
                        "file; this one is not)");
  }
  int error = 0;
  const Archive archive(zip_open(path.c_str(), ZIP_RDONLY, &error));
  if (!archive) throw UserFileError(name, path, "is a damaged zip file; no workbook can be read");
  const std::optional<std::string> mimetype = readEntry(archive.get(), "mimetype");
  if (mimetype && mimetype->starts_with("application/vnd.oasis.opendocument")) {
    throw UserFileError(name, path,
                        "is an OpenDocument spreadsheet (.ods), which the exporters cannot fill; "
                        "save it as .xlsx (or .xlsm, .xltx, .xltm)");
  }
  const std::optional<std::string> types = readEntry(archive.get(), kContentTypes);
  const auto kind = types ? namedKind(*types) : std::nullopt;
  if (!kind) {
    throw UserFileError(name, path,
                        "is a zip file but no workbook: its [Content_Types].xml names no "
                        "workbook part");
  }
  return kind->first;
}

void setPackageKind(const std::filesystem::path& path, const WorkbookKind& kind) {
  int error = 0;
  Archive archive(zip_open(path.c_str(), 0, &error));
  const auto fail = [&](const std::string& what) {
    throw std::runtime_error("cannot make " + path.string() + " a " + kind.suffix() +
                             " package: " + what);
  };
  if (!archive) fail("it cannot be opened");
  std::optional<std::string> types = readEntry(archive.get(), kContentTypes);
  const auto named = types ? namedKind(*types) : std::nullopt;
  if (!named) fail("it names no workbook part");
  if (named->first == kind) return;
  types->replace(named->second, contentTypeOf(named->first).size(), contentTypeOf(kind));

  // libzip copies the other entries as they are and puts the new package in place.
  zip_source_t* source = zip_source_buffer(archive.get(), types->data(), types->size(), 0);
  const zip_int64_t index = zip_name_locate(archive.get(), std::string(kContentTypes).c_str(), 0);
  if (source == nullptr || index < 0 ||
      zip_file_replace(archive.get(), static_cast<zip_uint64_t>(index), source, 0) != 0) {
    if (source != nullptr) zip_source_free(source);
    fail(zip_strerror(archive.get()));
  }
  if (zip_close(archive.get()) != 0) fail(zip_strerror(archive.get()));
  archive.release();
}

}  // namespace qx::host
