#pragma once
// The five deliverables driven the way the host drives them: heron started as a program after
// its data file is written; vellum, vellum_x and kestrel loaded by file name and called with
// records in this process's memory; tamarack loaded and called after its data file (with the
// records' addresses) and its language file are in place. Every call is made on a thread of its
// own that must come back.

#include <filesystem>
#include <string>
#include <string_view>

#include "tests/adversarial/hostile_host.h"

namespace qx::testing {

// heron with `dataFile` as its check-point data file (written first, unless it is null).
ProgramEnd runHeron(const HostSetting& setting, const std::string* dataFile);

// excel_file / excel_file_auto / excel_file of a table exporter, loaded from `library`.
void callTableExport(const char* library, const char* exportName, const void* header,
                     const void* firstRow);

inline constexpr const char* kVellum = VELLUM_LIBRARY;
inline constexpr const char* kVellumX = VELLUM_X_LIBRARY;
inline constexpr const char* kKestrel = KESTREL_LIBRARY;

// tamarack's export_to_excel after writing `transferRecord` as its data file and, unless the
// case has put one there, the installed language file into the configuration folder.
void callTamarack(const HostSetting& setting, const std::string& transferRecord);
// The same with whatever data file the case has left in place.
void callTamarackAsItIs(const HostSetting& setting);

// A copy of one of the examples' templates ("heron", "vellum", "kestrel", "tamarack") in the
// case folder, under `name`.
std::filesystem::path exampleTemplate(const HostSetting& setting, std::string_view exporter,
                                      std::string_view name = "template.xlsx");

// The picture of the examples (a bitmap) and a file that only pretends to be one.
std::filesystem::path examplePicture();

// A path as the host writes it into a record (code page 936).
std::string hostText(const std::filesystem::path& path);
// A path as messages show it (UTF-8).
std::string shownText(const std::filesystem::path& path);

}  // namespace qx::testing
