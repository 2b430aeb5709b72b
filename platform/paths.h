#pragma once
// The fixed configuration directory and the files the host leaves there.

#include <filesystem>
#include <string>
#include <string_view>

namespace qx::platform {

// "D:\qx_conf" on Windows; elsewhere $QX_CONF_DIR, or $HOME/qx_conf when that is unset.
std::filesystem::path configDirectory();

// A file in the "temp" folder of the configuration directory ("check_point_temp.dat").
std::filesystem::path tempFile(std::string_view name);

// A file in the "lang" folder of the configuration directory ("pinebrook_exe.txt").
std::filesystem::path languageFile(std::string_view name);

// A path as the host writes it into records: narrow code page 936 text. Windows hands the
// bytes to the ANSI file functions; elsewhere they are converted to the UTF-8 the file
// system uses.
std::filesystem::path pathFromHostText(std::string_view gbk);

// The reverse, for paths built here that go into records or messages.
std::string hostTextFromPath(const std::filesystem::path& path);

}  // namespace qx::platform
