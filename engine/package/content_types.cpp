#include "engine/package/content_types.h"

#include <algorithm>
#include <cctype>

#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
bool sameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string absolute(std::string_view partName) {
  std::string name(partName);
  std::replace(name.begin(), name.end(), '\\', '/');
  return name.empty() || name.front() != '/' ? "/" + name : name;
}
}  // namespace

void ContentTypes::load(std::string_view text) {
  loadXml(document_, text, kContentTypesPart);
  if (localName(document_.document_element()) != "Types") {
    throw partError(kContentTypesPart, "the root element is not Types");
  }
}

std::string ContentTypes::typeOf(std::string_view partName) const {
  const std::string name = absolute(partName);
  const pugi::xml_node root = document_.document_element();
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (localName(n) == "Override" && sameText(attributeNamed(n, "PartName"), name)) {
      return std::string(attributeNamed(n, "ContentType"));
    }
  }
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return {};
  const std::string_view extension = std::string_view(name).substr(dot + 1);
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (localName(n) == "Default" && sameText(attributeNamed(n, "Extension"), extension)) {
      return std::string(attributeNamed(n, "ContentType"));
    }
  }
  return {};
}

void ContentTypes::ensureDefault(std::string_view extension, std::string_view contentType) {
  pugi::xml_node root = document_.document_element();
  pugi::xml_node lastDefault;
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (localName(n) != "Default") continue;
    if (sameText(attributeNamed(n, "Extension"), extension)) return;
    lastDefault = n;
  }
  const std::string name = prefixOf(root) + "Default";
  pugi::xml_node added = lastDefault ? root.insert_child_after(name.c_str(), lastDefault)
                                     : root.prepend_child(name.c_str());
  added.append_attribute("Extension") = std::string(extension).c_str();
  added.append_attribute("ContentType") = std::string(contentType).c_str();
  changed_ = true;
}

void ContentTypes::setOverride(std::string_view partName, std::string_view contentType) {
  const std::string name = absolute(partName);
  pugi::xml_node root = document_.document_element();
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (localName(n) == "Override" && sameText(attributeNamed(n, "PartName"), name)) {
      n.attribute("ContentType").set_value(std::string(contentType).c_str());
      changed_ = true;
      return;
    }
  }
  pugi::xml_node added = root.append_child((prefixOf(root) + "Override").c_str());
  added.append_attribute("PartName") = name.c_str();
  added.append_attribute("ContentType") = std::string(contentType).c_str();
  changed_ = true;
}

void ContentTypes::declare(std::string_view partName, std::string_view contentType,
                           bool byExtension) {
  if (!typeOf(partName).empty()) return;
  const std::string name = absolute(partName);
  const std::size_t dot = name.rfind('.');
  const bool extension = dot != std::string::npos && name.find('/', dot) == std::string::npos;
  bool defaults = false;
  for (pugi::xml_node n = document_.document_element().first_child(); n; n = n.next_sibling()) {
    defaults = defaults || localName(n) == "Default";
  }
  if (byExtension && extension && defaults) {
    ensureDefault(std::string_view(name).substr(dot + 1), contentType);
  } else {
    setOverride(partName, contentType);
  }
}

void ContentTypes::removeOverride(std::string_view partName) {
  const std::string name = absolute(partName);
  pugi::xml_node root = document_.document_element();
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (localName(n) == "Override" && sameText(attributeNamed(n, "PartName"), name)) {
      root.remove_child(n);
      changed_ = true;
      return;
    }
  }
}

std::string ContentTypes::save() const {
  return saveXml(document_);
}

}  // namespace qx::engine
