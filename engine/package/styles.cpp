#include "engine/package/styles.h"

#include <algorithm>
#include <array>

#include "engine/package/number_formats.h"
#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
std::string printed(const pugi::xml_node& node) {
  std::string out;
  StringWriter writer(out);
  node.print(writer, "", pugi::format_raw);
  return out;
}

std::uint32_t unsignedAttribute(const pugi::xml_node& node, const char* name) {
  return node.attribute(name).as_uint(0);
}

// Border children in the order the schema requires.
constexpr std::array<std::string_view, 9> kBorderOrder = {
    "start", "left", "end", "right", "top", "bottom", "diagonal", "vertical", "horizontal"};

// The record a child of a list stands for: itself, or for mc:AlternateContent (which counts as
// one record) the choice every reader understands, its fallback. Empty for other children.
pugi::xml_node recordOf(const pugi::xml_node& child, std::string_view name) {
  if (localName(child) == name) return child;
  if (localName(child) != "AlternateContent") return {};
  if (pugi::xml_node record = childNamed(childNamed(child, "Fallback"), name)) return record;
  return childNamed(childNamed(child, "Choice"), name);
}

std::size_t orderOf(std::string_view name) {
  return static_cast<std::size_t>(std::find(kBorderOrder.begin(), kBorderOrder.end(), name) -
                                  kBorderOrder.begin());
}
}  // namespace

void Styles::load(std::string_view text, const std::string& partName) {
  part_ = partName;
  loadXml(document_, text, partName);
  const pugi::xml_node root = document_.document_element();
  if (localName(root) != "styleSheet") throw partError(partName, "the root is not styleSheet");
  for (pugi::xml_node n : childNamed(root, "numFmts").children()) {
    if (localName(n) == "numFmt") {
      customFormats_[n.attribute("numFmtId").as_int(-1)] = n.attribute("formatCode").value();
    }
  }
  for (pugi::xml_node n : childNamed(root, "cellXfs").children()) {
    n = recordOf(n, "xf");
    if (!n) continue;
    xfs_.push_back(n);
    const int id = n.attribute("numFmtId").as_int(0);
    const auto custom = customFormats_.find(id);
    std::string_view code = custom != customFormats_.end() ? custom->second : builtinFormatCode(id);
    xfFormats_.emplace_back(code.empty() ? "General" : code);
    xfQuoted_.push_back(n.attribute("quotePrefix").as_bool(false));
  }
  for (pugi::xml_node n : childNamed(root, "borders").children()) {
    if (pugi::xml_node border = recordOf(n, "border")) borders_.push_back(border);
  }
}

std::string_view Styles::numberFormat(std::uint32_t xf) const {
  return xf < xfFormats_.size() ? std::string_view(xfFormats_[xf]) : "General";
}

bool Styles::isText(std::uint32_t xf) const {
  return isTextFormat(numberFormat(xf));
}

bool Styles::isQuotePrefixed(std::uint32_t xf) const {
  return xf < xfQuoted_.size() && xfQuoted_[xf];
}

bool Styles::isGeneral(std::uint32_t xf) const {
  const std::string_view code = numberFormat(xf);
  return code == "General" || code == "general" || code.empty();
}

pugi::xml_node Styles::list(const char* name) {
  pugi::xml_node root = document_.document_element();
  pugi::xml_node found = childNamed(root, name);
  if (found) return found;
  // Only reached for a styles part without that list; the schema order puts numFmts first.
  const std::string qualified = prefixOf(root) + name;
  if (std::string_view(name) == "numFmts") return root.prepend_child(qualified.c_str());
  throw partError(part_, std::string("has no ") + name + " list");
}

std::uint32_t Styles::lineId(const BorderLine& line) {
  std::string key = line.style + '\n' + line.colorAttribute + '\n' + line.colorValue;
  const auto [it, added] = lineIds_.emplace(std::move(key), lines_.size());
  if (added) lines_.push_back(line);
  return it->second;
}

std::uint32_t Styles::lineId(const FrameLine& frame, BorderLine (*describe)(const FrameLine&)) {
  if (lastFrameLine_ && lastFrameLine_->first == frame) return lastFrameLine_->second;
  auto it = frameLineIds_.find(frame);
  if (it == frameLineIds_.end()) it = frameLineIds_.emplace(frame, lineId(describe(frame))).first;
  lastFrameLine_ = *it;
  return it->second;
}

// The printed form of every existing border and format, so that copies equal to one of them
// are recognised; built once, at the first copy.
void Styles::ensureIndexed() {
  if (indexed_) return;
  for (std::uint32_t i = 0; i < borders_.size(); ++i)
    borderByText_.emplace(printed(borders_[i]), i);
  for (std::uint32_t i = 0; i < xfs_.size(); ++i) xfByText_.emplace(printed(xfs_[i]), i);
  indexed_ = true;
}

std::uint32_t Styles::borderWith(std::uint32_t border, unsigned edges, std::uint32_t line) {
  const std::uint64_t key = (std::uint64_t{border} << 32) | (edges << 24) | line;
  if (const auto it = borderCache_.find(key); it != borderCache_.end()) return it->second;
  ensureIndexed();
  pugi::xml_node borders = list("borders");
  pugi::xml_node copy = border < borders_.size()
                            ? borders.append_copy(borders_[border])
                            : borders.append_child((prefixOf(borders) + "border").c_str());
  const std::string prefix = prefixOf(borders);
  const BorderLine& spec = lines_[line];
  const std::pair<unsigned, std::string_view> sides[] = {
      {kLeft, "left"}, {kRight, "right"}, {kTop, "top"}, {kBottom, "bottom"}};
  for (const auto& [bit, name] : sides) {
    if ((edges & bit) == 0) continue;
    pugi::xml_node side = childNamed(copy, name);
    if (!side && name == "left") side = childNamed(copy, "start");
    if (!side && name == "right") side = childNamed(copy, "end");
    if (!side) {
      pugi::xml_node after;
      for (pugi::xml_node c = copy.first_child(); c; c = c.next_sibling()) {
        if (orderOf(localName(c)) > orderOf(name)) {
          after = c;
          break;
        }
      }
      const std::string qualified = prefix + std::string(name);
      side = after ? copy.insert_child_before(qualified.c_str(), after)
                   : copy.append_child(qualified.c_str());
    }
    while (side.first_child()) side.remove_child(side.first_child());
    if (spec.style.empty()) {
      side.remove_attribute("style");
      continue;
    }
    pugi::xml_attribute style = side.attribute("style");
    if (!style) style = side.append_attribute("style");
    style.set_value(spec.style.c_str());
    pugi::xml_node color = side.append_child((prefix + "color").c_str());
    color.append_attribute(spec.colorAttribute.c_str()) = spec.colorValue.c_str();
  }
  std::uint32_t id;
  const auto [it, added] = borderByText_.emplace(printed(copy), borders_.size());
  if (added) {
    borders_.push_back(copy);
    id = static_cast<std::uint32_t>(borders_.size() - 1);
    changed_ = true;
  } else {
    borders.remove_child(copy);
    id = it->second;
  }
  borderCache_.emplace(key, id);
  return id;
}

std::uint32_t Styles::addXf(pugi::xml_node copy) {
  pugi::xml_node cellXfs = copy.parent();
  const auto [it, added] = xfByText_.emplace(printed(copy), xfs_.size());
  if (!added) {
    cellXfs.remove_child(copy);
    return it->second;
  }
  const int id = copy.attribute("numFmtId").as_int(0);
  const auto custom = customFormats_.find(id);
  const std::string_view code =
      custom != customFormats_.end() ? custom->second : builtinFormatCode(id);
  xfs_.push_back(copy);
  xfFormats_.emplace_back(code.empty() ? "General" : code);
  xfQuoted_.push_back(copy.attribute("quotePrefix").as_bool(false));
  changed_ = true;
  return static_cast<std::uint32_t>(xfs_.size() - 1);
}

std::uint32_t Styles::framed(std::uint32_t xf, unsigned edges, std::uint32_t lineIndex) {
  if (xfs_.empty()) throw partError(part_, "has no cell formats (cellXfs) to frame cells with");
  if (xf >= xfs_.size()) xf = 0;
  const std::uint64_t key = (std::uint64_t{xf} << 32) | (edges << 24) | lineIndex;
  if (const auto it = framedCache_.find(key); it != framedCache_.end()) return it->second;
  const std::uint32_t oldBorder = unsignedAttribute(xfs_[xf], "borderId");
  const std::uint32_t newBorder = borderWith(oldBorder, edges, lineIndex);
  std::uint32_t result = xf;
  if (newBorder != oldBorder) {
    pugi::xml_node copy = list("cellXfs").append_copy(xfs_[xf]);
    pugi::xml_attribute borderId = copy.attribute("borderId");
    if (!borderId) borderId = copy.append_attribute("borderId");
    borderId.set_value(newBorder);
    pugi::xml_attribute apply = copy.attribute("applyBorder");
    if (!apply) apply = copy.append_attribute("applyBorder");
    apply.set_value("1");
    result = addXf(copy);
  }
  framedCache_.emplace(key, result);
  return result;
}

std::uint32_t Styles::numberFormatId(std::string_view code) {
  for (int id = 0; id < 50; ++id) {
    if (builtinFormatCode(id) == code) return static_cast<std::uint32_t>(id);
  }
  int highest = 163;
  for (const auto& [id, text] : customFormats_) {
    if (text == code) return static_cast<std::uint32_t>(id);
    highest = std::max(highest, id);
  }
  pugi::xml_node numFmts = list("numFmts");
  pugi::xml_node added = numFmts.append_child((prefixOf(numFmts) + "numFmt").c_str());
  added.append_attribute("numFmtId") = highest + 1;
  added.append_attribute("formatCode") = std::string(code).c_str();
  customFormats_[highest + 1] = std::string(code);
  changed_ = true;
  return static_cast<std::uint32_t>(highest + 1);
}

std::uint32_t Styles::withNumberFormat(std::uint32_t xf, std::string_view code) {
  if (xfs_.empty()) throw partError(part_, "has no cell formats (cellXfs)");
  if (xf >= xfs_.size()) xf = 0;
  // A cell's text is given its format per write: the code is found by its few characters,
  // without building a key.
  auto codeId = formatCodeIds_.find(code);
  if (codeId == formatCodeIds_.end()) {
    codeId =
        formatCodeIds_.emplace(std::string(code), static_cast<std::uint32_t>(formatCodeIds_.size()))
            .first;
  }
  const std::uint64_t key = (std::uint64_t{xf} << 32) | codeId->second;
  if (const auto it = formatCache_.find(key); it != formatCache_.end()) return it->second;
  ensureIndexed();
  const std::uint32_t id = numberFormatId(code);
  pugi::xml_node copy = list("cellXfs").append_copy(xfs_[xf]);
  pugi::xml_attribute numFmtId = copy.attribute("numFmtId");
  if (!numFmtId) numFmtId = copy.append_attribute("numFmtId");
  numFmtId.set_value(id);
  pugi::xml_attribute apply = copy.attribute("applyNumberFormat");
  if (!apply) apply = copy.append_attribute("applyNumberFormat");
  apply.set_value("1");
  const std::uint32_t result = addXf(copy);
  formatCache_.emplace(key, result);
  return result;
}

std::uint32_t Styles::withQuotePrefix(std::uint32_t xf, bool quoted) {
  if (xfs_.empty()) throw partError(part_, "has no cell formats (cellXfs)");
  if (xf >= xfs_.size()) xf = 0;
  if (xfQuoted_[xf] == quoted) return xf;
  const std::uint64_t key = (std::uint64_t{xf} << 1) | (quoted ? 1 : 0);
  if (const auto it = quotedCache_.find(key); it != quotedCache_.end()) return it->second;
  ensureIndexed();
  pugi::xml_node copy = list("cellXfs").append_copy(xfs_[xf]);
  pugi::xml_attribute mark = copy.attribute("quotePrefix");
  if (!quoted) {
    copy.remove_attribute(mark);
  } else {
    if (!mark) mark = copy.append_attribute("quotePrefix");
    mark.set_value("1");
  }
  const std::uint32_t result = addXf(copy);
  quotedCache_.emplace(key, result);
  return result;
}

DefaultFont Styles::defaultFont() const {
  DefaultFont font;
  const pugi::xml_node first =
      childNamed(childNamed(document_.document_element(), "fonts"), "font");
  if (const pugi::xml_node size = childNamed(first, "sz"))
    font.size = size.attribute("val").as_double(11);
  if (const pugi::xml_node name = childNamed(first, "name"))
    font.name = name.attribute("val").value();
  return font;
}

std::string Styles::save() {
  const pugi::xml_node root = document_.document_element();
  for (const char* name : {"numFmts", "borders", "cellXfs"}) {
    pugi::xml_node node = childNamed(root, name);
    if (!node) continue;
    std::size_t count = 0;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
      if (c.type() == pugi::node_element) ++count;
    }
    pugi::xml_attribute attribute = node.attribute("count");
    if (!attribute) attribute = node.append_attribute("count");
    attribute.set_value(count);
  }
  return saveXml(document_);
}

}  // namespace qx::engine
