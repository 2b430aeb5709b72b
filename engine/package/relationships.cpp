#include "engine/package/relationships.h"

#include <algorithm>

#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
constexpr const char* kPackageRelationshipsNs =
    "http://schemas.openxmlformats.org/package/2006/relationships";

std::string_view folderOf(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash);
}

std::vector<std::string_view> segments(std::string_view path) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) out.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return out;
}
}  // namespace

std::string relationshipsPartOf(std::string_view sourcePart) {
  const std::string_view folder = folderOf(sourcePart);
  const std::string_view file = folder.empty() ? sourcePart : sourcePart.substr(folder.size() + 1);
  return (folder.empty() ? std::string() : std::string(folder) + "/") + "_rels/" +
         std::string(file) + ".rels";
}

std::string resolveTarget(std::string_view sourcePart, std::string_view target) {
  std::vector<std::string_view> parts;
  if (target.empty() || target.front() != '/') parts = segments(folderOf(sourcePart));
  for (const std::string_view segment : segments(target)) {
    if (segment == ".") continue;
    if (segment == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(segment);
  }
  std::string out;
  for (const std::string_view segment : parts) {
    if (!out.empty()) out += '/';
    out += segment;
  }
  return out;
}

std::string relativeTarget(std::string_view sourcePart, std::string_view part) {
  const std::vector<std::string_view> from = segments(folderOf(sourcePart));
  const std::vector<std::string_view> to = segments(part);
  std::size_t common = 0;
  while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) ++common;
  std::string out;
  for (std::size_t i = common; i < from.size(); ++i) out += "../";
  for (std::size_t i = common; i < to.size(); ++i) {
    out += to[i];
    if (i + 1 < to.size()) out += '/';
  }
  return out;
}

Relationships::Relationships(std::string sourcePart) : source_(std::move(sourcePart)) {
  pugi::xml_node root = document_.append_child("Relationships");
  root.append_attribute("xmlns") = kPackageRelationshipsNs;
}

void Relationships::load(std::string_view text) {
  const std::string part = relationshipsPartOf(source_);
  document_.reset();
  loadXml(document_, text, part);
  const pugi::xml_node root = document_.document_element();
  if (localName(root) != "Relationships") {
    throw partError(part, "the root element is not Relationships");
  }
  items_.clear();
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element || localName(n) != "Relationship") continue;
    items_.push_back(Relationship{
        std::string(attributeNamed(n, "Id")), std::string(attributeNamed(n, "Type")),
        std::string(attributeNamed(n, "Target")), attributeNamed(n, "TargetMode") == "External"});
  }
  existed_ = true;
}

const Relationship* Relationships::byId(std::string_view id) const {
  for (const Relationship& r : items_) {
    if (r.id == id) return &r;
  }
  return nullptr;
}

const Relationship* Relationships::byTypeSuffix(std::string_view suffix) const {
  for (const Relationship& r : items_) {
    const std::string_view type = r.type;
    if (type.size() > suffix.size() && type.ends_with(suffix) &&
        type[type.size() - suffix.size() - 1] == '/') {
      return &r;
    }
  }
  return nullptr;
}

std::string Relationships::partOf(const Relationship& relationship) const {
  return resolveTarget(source_, relationship.target);
}

std::string Relationships::add(std::string_view type, std::string_view target) {
  std::string id;
  for (std::size_t n = items_.size() + 1;; ++n) {
    id = "rId" + std::to_string(n);
    if (byId(id) == nullptr) break;
  }
  pugi::xml_node root = document_.document_element();
  pugi::xml_node added = root.append_child((prefixOf(root) + "Relationship").c_str());
  added.append_attribute("Id") = id.c_str();
  added.append_attribute("Type") = std::string(type).c_str();
  added.append_attribute("Target") = std::string(target).c_str();
  items_.push_back(Relationship{id, std::string(type), std::string(target), false});
  changed_ = true;
  return id;
}

void Relationships::remove(std::string_view id) {
  if (const Relationship* relationship = byId(id)) remove(*relationship);
}

void Relationships::remove(const Relationship& relationship) {
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [&](const Relationship& r) { return &r == &relationship; });
  if (it == items_.end()) return;
  // The k-th Relationship element is the k-th item: both are kept in document order.
  std::size_t k = static_cast<std::size_t>(it - items_.begin());
  pugi::xml_node root = document_.document_element();
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element || localName(n) != "Relationship") continue;
    if (k-- == 0) {
      root.remove_child(n);
      break;
    }
  }
  items_.erase(it);
  changed_ = true;
}

std::string Relationships::save() const {
  std::string out;
  if (!existed_) out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  return out + saveXml(document_);
}

}  // namespace qx::engine
