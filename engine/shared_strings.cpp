#include "engine/shared_strings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>

#include "engine/engine_error.h"
#include "engine/xml_part.h"

namespace qx::engine {

namespace {
constexpr std::uint64_t kLengthShift = 40;

constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kLengthShift) - 1;

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isEscapeAt(std::string_view text, std::size_t i) {
  return i + 7 <= text.size() && text[i] == '_' && text[i + 1] == 'x' && isHex(text[i + 2]) &&
         isHex(text[i + 3]) && isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == '_';
}

void appendPlain(std::string& out, const pugi::xml_node& node) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    const std::string_view name = localName(child);
    if (name == "t") {
      out += child.text().get();
    } else if (name == "r") {
      appendPlain(out, child);
    }
  }
}
}  // namespace

namespace {
// The bytes that may need more than a copy: markup, control characters and the underscore
// that could start "_xHHHH_".
constexpr std::array<bool, 256> kNeedsCare = [] {
  std::array<bool, 256> care{};
  for (int c = 0; c < 0x20; ++c) care[c] = true;
  care['&'] = care['<'] = care['>'] = care['_'] = true;
  return care;
}();
}  // namespace

void appendCellText(std::string& out, std::string_view text) {
  // Most texts hold none of those: one scan, one copy.
  if (std::none_of(text.begin(), text.end(),
                   [](char c) { return kNeedsCare[static_cast<unsigned char>(c)]; })) {
    out.append(text);
    return;
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool control = c < 0x20 && c != '\t' && c != '\n' && c != '\r';
    // A literal "_xHHHH_" escapes its underscore, or a reader would decode it.
    if (!control && !(c == '_' && isEscapeAt(text, i))) continue;
    appendEscaped(out, text.substr(start, i - start), XmlEscape::Content);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "_x%04X_", c);
    out += buffer;
    start = i + 1;
  }
  appendEscaped(out, text.substr(start), XmlEscape::Content);
}

std::string decodeCellText(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isEscapeAt(text, i)) {
      const unsigned code =
          static_cast<unsigned>(std::stoul(std::string(text.substr(i + 2, 4)), nullptr, 16));
      if (code < 0x80) {
        out += static_cast<char>(code);
      } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
      }
      i += 6;
    } else {
      out += text[i];
    }
  }
  return out;
}

void SharedStrings::load(std::string_view bytes, const std::string& partName) {
  part_ = partName;
  loadXml(document_, bytes, partName);
  const pugi::xml_node root = document_.document_element();
  if (localName(root) != "sst") throw partError(partName, "the root element is not sst");
  references_ = root.attribute("count").as_ullong(0);
  std::string plain;
  for (pugi::xml_node si = root.first_child(); si; si = si.next_sibling()) {
    if (si.type() != pugi::node_element || localName(si) != "si") continue;
    plain.clear();
    appendPlain(plain, si);
    const pugi::xml_node first = si.first_child();
    const bool simple = first && first == si.last_child() && localName(first) == "t";
    items_.push_back(si);
    plain_.push_back(simple);
    const std::uint32_t index = append(decodeCellText(plain));
    if (simple) remember(index, hashOf(text(index)));
  }
}

std::string_view SharedStrings::text(std::uint32_t index) const {
  if (index >= offsets_.size()) return {};
  const std::uint64_t entry = offsets_[index];
  return std::string_view(arena_).substr(entry & kOffsetMask, entry >> kLengthShift);
}

std::uint32_t SharedStrings::append(std::string_view text) {
  if (text.size() >= (std::size_t{1} << (64 - kLengthShift))) {
    throw partError(part_, "a text of " + std::to_string(text.size()) + " bytes is too long");
  }
  offsets_.push_back((std::uint64_t{text.size()} << kLengthShift) | arena_.size());
  arena_.append(text);
  return static_cast<std::uint32_t>(offsets_.size() - 1);
}

std::uint64_t SharedStrings::hashOf(std::string_view text) {
  return std::hash<std::string_view>{}(text);
}

namespace {
std::uint64_t entryOf(std::uint32_t index, std::uint64_t hash) {
  return ((hash >> 32) << 32) | (std::uint64_t{index} + 1);
}
}  // namespace

// Two entries per bucket, the more recently used first: a value that recurs row after row is
// not pushed out by the one-off texts between its uses.
void SharedStrings::remember(std::uint32_t index, std::uint64_t hash) {
  std::uint64_t* bucket = &recent_[(hash & kBucketMask) * 2];
  bucket[1] = bucket[0];
  bucket[0] = entryOf(index, hash);
}

std::uint32_t SharedStrings::add(std::string_view wanted, std::uint64_t hash) {
  ++references_;
  std::uint64_t* bucket = &recent_[(hash & kBucketMask) * 2];
  for (int way = 0; way < 2; ++way) {
    const std::uint64_t entry = bucket[way];
    if (entry == 0 || (entry >> 32) != (hash >> 32)) continue;
    const auto index = static_cast<std::uint32_t>(entry) - 1;
    if (text(index) != wanted) continue;
    if (way == 1) std::swap(bucket[0], bucket[1]);
    return index;
  }
  const std::uint32_t index = append(wanted);
  remember(index, hash);
  ++added_;
  return index;
}

ChunkSource SharedStrings::saver() {
  pugi::xml_node root = document_.document_element();
  if (!root) {
    // A part made by the engine for a workbook that had none.
    root = document_.append_child("sst");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  }
  for (const char* name : {"count", "uniqueCount"}) {
    if (!root.attribute(name)) root.append_attribute(name);
  }
  root.attribute("count").set_value(std::max(references_, offsets_.size()));
  root.attribute("uniqueCount").set_value(offsets_.size());
  const std::string prefix = prefixOf(root);
  // The package's children of sst (items, extLst, comments) go out as they were, with the new
  // items after the last item of the package.
  pugi::xml_node trailer = root.first_child();
  if (!items_.empty()) trailer = items_.back().next_sibling();
  struct State {
    pugi::xml_node next, trailer;
    std::size_t item = 0;
  };
  auto state = std::make_shared<State>(State{root.first_child(), trailer, items_.size()});
  const std::string open = "<" + prefix + "si><" + prefix + "t>";
  const std::string openSpaces = "<" + prefix + "si><" + prefix + "t xml:space=\"preserve\">";
  const std::string close = "</" + prefix + "t></" + prefix + "si>";
  // One child of the package or one new item per call.
  return writeAround(
      document_, root, 1u << 16, [this, state, open, openSpaces, close](std::string& chunk) {
        StringWriter writer(chunk);
        if (state->next != state->trailer) {
          if (state->next.type() != pugi::node_pcdata) {
            state->next.print(writer, "", pugi::format_raw);
          }
          state->next = state->next.next_sibling();
          return true;
        }
        if (state->item < offsets_.size()) {
          const std::string_view value = text(static_cast<std::uint32_t>(state->item++));
          const bool keepSpaces = !value.empty() && (value.front() == ' ' || value.back() == ' ' ||
                                                     value.find('\n') != std::string_view::npos);
          chunk += keepSpaces ? openSpaces : open;
          appendCellText(chunk, value);
          chunk += close;
          return true;
        }
        for (; state->next; state->next = state->next.next_sibling()) {
          if (state->next.type() != pugi::node_pcdata) {
            state->next.print(writer, "", pugi::format_raw);
          }
        }
        return false;
      });
}

}  // namespace qx::engine
