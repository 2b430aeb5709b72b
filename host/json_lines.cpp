#include "host/json_lines.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

namespace qx::host {

namespace {

using Json = nlohmann::ordered_json;

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines of every object key in document order, found by a small scan of the raw text.
std::vector<int> keyLines(const std::string& text) {
  std::vector<int> lines;
  int line = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') ++line;
    if (text[i] != '"') continue;
    const int start = line;
    for (++i; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\') ++i;
      if (i < text.size() && text[i] == '\n') ++line;
    }
    std::size_t j = i + 1;
    while (j < text.size() &&
           (text[j] == ' ' || text[j] == '\t' || text[j] == '\r' || text[j] == '\n')) {
      ++j;
    }
    if (j < text.size() && text[j] == ':') lines.push_back(start);
  }
  return lines;
}

// Follows the pointer of every value in document order and, among the keys whose pointer is
// `target` or encloses it, keeps the index of the deepest (the last of equals).
class KeyFinder : public nlohmann::json_sax<Json> {
 public:
  explicit KeyFinder(const std::string& target) : target_(target) {}

  std::optional<std::size_t> found;

  bool null() override { return scalar(); }
  bool boolean(bool) override { return scalar(); }
  bool number_integer(number_integer_t) override { return scalar(); }
  bool number_unsigned(number_unsigned_t) override { return scalar(); }
  bool number_float(number_float_t, const string_t&) override { return scalar(); }
  bool string(string_t&) override { return scalar(); }
  bool binary(binary_t&) override { return scalar(); }
  bool start_object(std::size_t) override { return open(false); }
  bool start_array(std::size_t) override { return open(true); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }
  bool key(string_t& key) override {
    path_.resize(frames_.back().length);
    path_ += '/';
    path_ += escapePointerToken(key);
    const bool encloses = target_.size() == path_.size() ||
                          (target_.size() > path_.size() && target_[path_.size()] == '/');
    if (encloses && target_.compare(0, path_.size(), path_) == 0 && path_.size() >= deepest_) {
      deepest_ = path_.size();
      found = keys_;
    }
    ++keys_;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  struct Frame {
    bool array;
    std::size_t index;
    std::size_t length;  // of the container's own pointer
  };
  void begin() {
    if (frames_.empty() || !frames_.back().array) return;
    path_.resize(frames_.back().length);
    path_ += '/';
    path_ += std::to_string(frames_.back().index);
  }
  void end() {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
  }
  bool scalar() {
    begin();
    end();
    return true;
  }
  bool open(bool array) {
    begin();
    frames_.push_back({array, 0, path_.size()});
    return true;
  }
  bool close() {
    frames_.pop_back();
    end();
    return true;
  }

  const std::string& target_;
  std::string path_;
  std::vector<Frame> frames_;
  std::size_t keys_ = 0;
  std::size_t deepest_ = 0;
};

}  // namespace

std::string escapePointerToken(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out += c;
    }
  }
  return out;
}

int memberLine(const std::filesystem::path& file, const std::string& pointer) {
  if (pointer.empty()) return 1;
  const std::string text = readText(file);
  KeyFinder finder(pointer);
  Json::sax_parse(text, &finder);
  const std::vector<int> lines = keyLines(text);
  return finder.found && *finder.found < lines.size() ? lines[*finder.found] : 1;
}

int lineAtByte(const std::filesystem::path& file, std::size_t offset) {
  const std::string text = readText(file);
  const std::size_t at = std::min(offset, text.size());
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
}

}  // namespace qx::host
