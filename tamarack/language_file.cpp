#include "tamarack/language_file.h"

#include <cstdio>

#include "platform/input_file.h"
#include "platform/paths.h"

namespace qx::tamarack {

namespace {

// Bytes of a buffer, one at a time; EOF at the end.
class MemoryBytes {
 public:
  explicit MemoryBytes(std::string_view bytes) : bytes_(bytes) {}
  int next() {
    return position_ < bytes_.size() ? static_cast<unsigned char>(bytes_[position_++]) : EOF;
  }
  void putBack(int) { --position_; }

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;
};

// Reads bytes the way a text-mode stream does on Windows: a CR directly followed by LF reads
// as one LF, on every platform. A lone CR is an ordinary byte.
int nextTextByte(MemoryBytes& bytes) {
  const int c = bytes.next();
  if (c != '\r') return c;
  const int following = bytes.next();
  if (following == '\n') return '\n';
  if (following != EOF) bytes.putBack(following);
  return c;
}

bool isKeySeparator(int c) {
  return c == ' ' || c == ',' || c == '\n';
}

LanguageLookup lookUp(MemoryBytes& bytes, std::string_view key, std::string& text) {
  // Key phase: the key is recognised the moment its last byte arrives, wherever a separator
  // started the token, so the first occurrence in file order wins.
  std::string token;
  bool found = false;
  for (int c = nextTextByte(bytes); c != EOF; c = nextTextByte(bytes)) {
    if (isKeySeparator(c) || token.size() >= kLanguageTokenLimit) {
      token.clear();
    } else {
      token.push_back(static_cast<char>(c));
    }
    if (token == key) {
      found = true;
      break;
    }
  }
  if (!found) return LanguageLookup::KeyMissing;

  // Value phase: the rest of the key's line, or the next non-empty line. A text is only taken
  // when a line end (or the length limit) closes it.
  token.clear();
  for (int c = nextTextByte(bytes); c != EOF; c = nextTextByte(bytes)) {
    if (c == '\n' || token.size() >= kLanguageTokenLimit) {
      if (!token.empty()) {
        text = token;
        return LanguageLookup::Found;
      }
      continue;
    }
    token.push_back(static_cast<char>(c));
  }
  return LanguageLookup::TextMissing;
}

std::string displayPath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace

std::filesystem::path installedLanguageFile() {
  return platform::languageFile("pinebrook_exe.txt");
}

LanguageLookup lookUpLanguageText(std::string_view fileBytes, std::string_view key,
                                  std::string& text) {
  MemoryBytes bytes(fileBytes);
  return lookUp(bytes, key, text);
}

int read_language_text(std::string_view key, std::string& text, const std::filesystem::path& path,
                       platform::Messages& messages) {
  const std::string shownPath = displayPath(path);
  const std::string keyText(key);
  platform::InputFile file = platform::InputFile::open(path);
  if (!file.isOpen()) {
    messages.show(platform::format("找不到 %s 语言配置文件,请重新安装!", shownPath.c_str()),
                  platform::Buttons::Ok);
    return 0;
  }
  switch (lookUpLanguageText(file.readRest(), key, text)) {
    case LanguageLookup::Found:
      return 1;
    case LanguageLookup::KeyMissing:
      messages.show(platform::format("在 %s 文件中找不到 %s 标题,请查看标题否正确!",
                                     shownPath.c_str(), keyText.c_str()),
                    platform::Buttons::Ok);
      return 0;
    case LanguageLookup::TextMissing:
      break;
  }
  messages.show(platform::format("在 %s 文件中读数据错误,找不到 %s 的数据,请查看是否有 %s 的数据!",
                                 shownPath.c_str(), keyText.c_str(), keyText.c_str()),
                platform::Buttons::Ok);
  return 0;
}

}  // namespace qx::tamarack
