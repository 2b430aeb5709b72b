#pragma once
// The language file: every user-facing text of tamarack but the three that report a broken
// language file itself. Entries are a key ending in ':' followed by its text; texts are code
// page 936 bytes, handled as bytes and never decoded here.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/messages.h"

namespace qx::tamarack {

// The installed language file: "pinebrook_exe.txt" in the "lang" folder of the configuration
// directory.
std::filesystem::path installedLanguageFile();

// Longest text (and longest key-phase token) the lookup keeps, in bytes.
inline constexpr std::size_t kLanguageTokenLimit = 256;

// How a lookup over the file's bytes ended.
enum class LanguageLookup { Found, KeyMissing, TextMissing };

// Looks `key` up in the bytes of a language file as they lie on disk (a CR directly followed by
// LF reads as one LF). Found sets `text` (at most 256 bytes); otherwise `text` is unchanged.
LanguageLookup lookUpLanguageText(std::string_view fileBytes, std::string_view key,
                                  std::string& text);

// Looks `key` up in the language file at `path`, reading it anew. Returns 1 with `text` set to
// the key's text (at most 256 bytes), or 0 after showing why the key could not be read (file
// missing, key missing, text missing); `text` is then unchanged.
int read_language_text(std::string_view key, std::string& text, const std::filesystem::path& path,
                       platform::Messages& messages);

}  // namespace qx::tamarack
