#include "tamarack/language_file.h"

#include <cstdio>

#include "platform/paths.h"

namespace qx::tamarack {

namespace {

// Reads a file byte by byte the way a text-mode stream does on Windows: a CR directly
// followed by LF reads as one LF, on every platform. A lone CR is an ordinary byte.
class TextModeReader {
 public:
  explicit TextModeReader(const std::filesystem::path& path) {
#ifdef _WIN32
    file_ = _wfopen(path.wstring().c_str(), L"rb");
#else
    file_ = std::fopen(path.c_str(), "rb");
#endif
  }
  ~TextModeReader() {
    if (file_ != nullptr) std::fclose(file_);
  }
  TextModeReader(const TextModeReader&) = delete;
  TextModeReader& operator=(const TextModeReader&) = delete;

  bool opened() const {
    return file_ != nullptr;
  }

  // The next byte, or EOF.
  int next() {
    const int c = std::fgetc(file_);
    if (c != '\r') return c;
    const int following = std::fgetc(file_);
    if (following == '\n') return '\n';
    if (following != EOF) std::ungetc(following, file_);
    return c;
  }

 private:
  std::FILE* file_ = nullptr;
};

bool isKeySeparator(int c) {
  return c == ' ' || c == ',' || c == '\n';
}

std::string displayPath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace

std::filesystem::path installedLanguageFile() {
  return platform::languageFile("pinebrook_exe.txt");
}

int read_language_text(std::string_view key, std::string& text, const std::filesystem::path& path,
                       platform::Messages& messages) {
  const std::string shownPath = displayPath(path);
  const std::string keyText(key);
  TextModeReader reader(path);
  if (!reader.opened()) {
    messages.show(platform::format("找不到 %s 语言配置文件,请重新安装!", shownPath.c_str()),
                  platform::Buttons::Ok);
    return 0;
  }

  // Key phase: the key is recognised the moment its last byte arrives, wherever a separator
  // started the token, so the first occurrence in file order wins.
  std::string token;
  bool found = false;
  for (int c = reader.next(); c != EOF; c = reader.next()) {
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
  if (!found) {
    messages.show(platform::format("在 %s 文件中找不到 %s 标题,请查看标题否正确!",
                                   shownPath.c_str(), keyText.c_str()),
                  platform::Buttons::Ok);
    return 0;
  }

  // Value phase: the rest of the key's line, or the next non-empty line. A text is only taken
  // when a line end (or the length limit) closes it.
  token.clear();
  for (int c = reader.next(); c != EOF; c = reader.next()) {
    if (c == '\n' || token.size() >= kLanguageTokenLimit) {
      if (!token.empty()) {
        text = token;
        return 1;
      }
      continue;
    }
    token.push_back(static_cast<char>(c));
  }
  messages.show(platform::format("在 %s 文件中读数据错误,找不到 %s 的数据,请查看是否有 %s 的数据!",
                                 shownPath.c_str(), keyText.c_str(), keyText.c_str()),
                platform::Buttons::Ok);
  return 0;
}

}  // namespace qx::tamarack
