// Fuzz target for the language file lookup. The first byte picks the key: one of the keys the
// exporter asks for, or (from 0xF0 up) the bytes up to the first line feed. The rest is the
// file. A text found is non-empty, one line of at most 256 bytes, and lies in the file after
// the key; the lookup over a file on disk ends exactly as the lookup over its bytes, with one
// message for every failure and the caller's text untouched.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/messages.h"
#include "tamarack/language_file.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using qx::tamarack::LanguageLookup;

class CountedMessages : public qx::platform::Messages {
 public:
  void show(std::string_view, qx::platform::Buttons) override { ++shown; }
  int shown = 0;
};

constexpr const char* kKeys[] = {
    "excel_fil_01:", "excel_fil_02:", "excel_fil_03:", "excel_fil_04:",
    "excel_fil_05:", "excel_fil_06:", "excel_fil_07:", "excel_fil_08:",
    "excel_fil_09:", "excel_fil_11:", "excel_fil_12:",
};

// The file as a text-mode read sees it: CR LF as LF.
std::string asTextMode(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string key;
  if (data[0] < 0xF0) {
    key = kKeys[data[0] % std::size(kKeys)];
    input.remove_prefix(1);
  } else {
    input.remove_prefix(1);
    const std::size_t end = input.find('\n');
    key = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  }

  const std::string unchanged = "\x01unchanged";
  std::string text = unchanged;
  const LanguageLookup result = qx::tamarack::lookUpLanguageText(input, key, text);
  if (result == LanguageLookup::Found) {
    QX_FUZZ_CHECK(!text.empty(), "an empty text was found");
    QX_FUZZ_CHECK(text.size() <= qx::tamarack::kLanguageTokenLimit, "a text over 256 bytes");
    QX_FUZZ_CHECK(text.find('\n') == std::string::npos, "a text runs over a line end");
    const std::string file = asTextMode(input);
    const std::size_t keyAt = file.find(key);
    QX_FUZZ_CHECK(keyAt != std::string::npos, "a text was found for a key not in the file");
    QX_FUZZ_CHECK(file.find(text, keyAt + key.size()) != std::string::npos,
                  "the text found is not in the file after the key");
  } else {
    QX_FUZZ_CHECK(text == unchanged, "a failed lookup changed the caller's text");
  }

  static const std::string path = "/tmp/qx-language-fuzz-" + std::to_string(::getpid()) + ".txt";
  if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
    if (!input.empty()) std::fwrite(input.data(), 1, input.size(), out);
    std::fclose(out);
  }
  CountedMessages messages;
  std::string fromFile = unchanged;
  const int found = qx::tamarack::read_language_text(key, fromFile, path, messages);
  QX_FUZZ_CHECK(found == (result == LanguageLookup::Found ? 1 : 0),
                "the file and its bytes give different results");
  QX_FUZZ_CHECK(fromFile == text, "the file and its bytes give different texts");
  QX_FUZZ_CHECK(messages.shown == (found ? 0 : 1), "not exactly one message for a failure");
  std::remove(path.c_str());
  return 0;
}
