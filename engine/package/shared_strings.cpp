#include "engine/package/shared_strings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>

#include "engine/package/sheet_text.h"
#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"

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

namespace {
constexpr unsigned kItemOptions = pugi::parse_default | pugi::parse_ws_pcdata_single |
                                  pugi::parse_comments | pugi::parse_pi | pugi::parse_fragment;
// Items are parsed this many bytes at a time; the parser's nodes for them are dropped after.
constexpr std::size_t kBatchBytes = std::size_t{1} << 17;
}  // namespace

void SharedStrings::load(std::string text, const std::string& partName) {
  part_ = partName;
  text = utf8Part(std::move(text), partName);
  {
    // The items are read a batch at a time below; the part as a whole must be well-formed
    // first, or a damaged item could be read as text around its neighbours.
    pugi::xml_document whole;
    loadXml(whole, text, partName);
  }
  std::optional<TextSpan> content = elementContent(text, 0, "sst", "si");
  if (!content) {
    // The parser says what is wrong; a text it reads is printed regularly and found in.
    pugi::xml_document whole;
    loadXml(whole, text, partName);
    if (localName(whole.document_element()) != "sst") {
      throw partError(partName, "the root element is not sst");
    }
    text = printedXml(whole);
    content = elementContent(text, 0, "sst", "si");
    if (!content) throw partError(partName, "its items cannot be read");
  }
  // The items are found again, a batch at a time; the part without them is kept parsed.
  std::size_t itemsEnd = content->begin;
  elementContent(text, 0, "sst", "si", [&](TextSpan item) { itemsEnd = item.end; });
  std::string rest = text.substr(0, content->begin);
  rest.append(text, itemsEnd);
  loadXml(document_, rest, partName);
  rest = std::string();
  const pugi::xml_node root = document_.document_element();
  if (localName(root) != "sst") throw partError(partName, "the root element is not sst");
  references_ = root.attribute("count").as_ullong(0);
  const std::string prefix = prefixOf(root);
  open_ = "<" + prefix + "si><" + prefix + "t>";
  openSpaces_ = "<" + prefix + "si><" + prefix + "t xml:space=\"preserve\">";
  close_ = "</" + prefix + "t></" + prefix + "si>";
  std::vector<std::pair<std::size_t, std::size_t>> batch;
  itemsEnd_ = content->begin;
  elementContent(text, 0, "sst", "si", [&](TextSpan item) {
    if (!batch.empty() && item.end - batch.front().first > kBatchBytes) {
      readItems(text, batch);
      batch.clear();
    }
    batch.emplace_back(item.begin, item.end);
  });
  if (!batch.empty()) readItems(text, batch);
}

void SharedStrings::readItems(std::string_view text,
                              const std::vector<std::pair<std::size_t, std::size_t>>& items) {
  const std::size_t begin = items.front().first;
  pugi::xml_document document;
  const pugi::xml_parse_result result = document.load_buffer(
      text.data() + begin, items.back().second - begin, kItemOptions, pugi::encoding_utf8);
  if (!result) {
    throw partError(part_, std::string("not well-formed XML (") + result.description() +
                               " at byte " + std::to_string(begin + result.offset) + ")");
  }
  std::string plain, written, printed;
  std::size_t next = 0;
  for (pugi::xml_node si = document.first_child(); si; si = si.next_sibling()) {
    if (si.type() != pugi::node_element || localName(si) != "si") continue;
    if (next == items.size()) break;
    const auto [itemBegin, itemEnd] = items[next++];
    plain.clear();
    appendPlain(plain, si);
    const pugi::xml_node first = si.first_child();
    const bool simple = first && first == si.last_child() && localName(first) == "t";
    const std::uint32_t index = append(decodeCellText(plain));
    if (simple) remember(index, hashOf(this->text(index)));
    written.clear();
    appendItem(written, index);
    // Comments and instructions between items stay, spaces go.
    const std::string_view gap = text.substr(itemsEnd_, itemBegin - itemsEnd_);
    itemsEnd_ = itemEnd;
    if (gap.find('<') != std::string_view::npos) {
      pugi::xml_document between;
      between.load_buffer(gap.data(), gap.size(), kItemOptions, pugi::encoding_utf8);
      std::string bytes;
      StringWriter writer(bytes);
      for (pugi::xml_node node = between.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_pcdata) node.print(writer, "", pugi::format_raw);
      }
      keep(index, bytes, true);
    }
    // An item goes out as it prints parsed; one that its plain text gives is not kept.
    printed.clear();
    StringWriter writer(printed);
    si.print(writer, "", pugi::format_raw);
    if (!simple || written != printed) keep(index, printed, false);
  }
  if (next != items.size()) throw partError(part_, "its items cannot be told apart");
}

void SharedStrings::keep(std::uint32_t index, std::string_view bytes, bool before) {
  if (bytes.size() >= (std::size_t{1} << 31)) throw partError(part_, "an item is too long");
  keptItems_.push_back(
      KeptItem{index, static_cast<std::uint32_t>(bytes.size()), before, kept_.size()});
  kept_.append(bytes);
}

void SharedStrings::appendItem(std::string& out, std::uint32_t index) const {
  const std::string_view value = text(index);
  const bool keepSpaces = !value.empty() && (value.front() == ' ' || value.back() == ' ' ||
                                             value.find('\n') != std::string_view::npos);
  out += keepSpaces ? openSpaces_ : open_;
  appendCellText(out, value);
  out += close_;
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
    open_ = "<si><t>";
    openSpaces_ = "<si><t xml:space=\"preserve\">";
    close_ = "</t></si>";
  }
  for (const char* name : {"count", "uniqueCount"}) {
    if (!root.attribute(name)) root.append_attribute(name);
  }
  root.attribute("count").set_value(std::max(references_, offsets_.size()));
  root.attribute("uniqueCount").set_value(offsets_.size());
  struct State {
    std::size_t item = 0, kept = 0;
  };
  auto state = std::make_shared<State>();
  // The items, then what followed them in the package (extLst), as it was.
  return writeAround(document_, root, 1u << 16, [this, state, root](std::string& chunk) {
    if (state->item < offsets_.size()) {
      const auto index = static_cast<std::uint32_t>(state->item++);
      bool written = false;
      for (; state->kept < keptItems_.size() && keptItems_[state->kept].index == index;
           ++state->kept) {
        const KeptItem& item = keptItems_[state->kept];
        chunk.append(kept_, item.offset, item.length);
        written = written || !item.before;
      }
      if (!written) appendItem(chunk, index);
      return true;
    }
    StringWriter writer(chunk);
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_pcdata) child.print(writer, "", pugi::format_raw);
    }
    return false;
  });
}

}  // namespace qx::engine
