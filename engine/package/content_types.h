#pragma once
// [Content_Types].xml: the media type of every part, by extension or by part name.

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace qx::engine {

inline constexpr const char* kContentTypesPart = "[Content_Types].xml";

class ContentTypes {
 public:
  // Parses the part's text; EngineError naming the part when it is no content types part.
  void load(std::string_view text);

  // The media type of the part ("/xl/workbook.xml" or "xl/workbook.xml"), "" when unknown.
  std::string typeOf(std::string_view partName) const;
  // Adds a Default for the extension unless one exists (extensions compare case-insensitive).
  void ensureDefault(std::string_view extension, std::string_view contentType);
  // Adds or replaces the Override for the part.
  void setOverride(std::string_view partName, std::string_view contentType);

  // Makes sure the part has a media type, as every part of a package must: nothing when it has
  // one; else a Default for its extension when `byExtension` and the package declares types by
  // Default at all (pictures, relationships parts), else an Override for the part. A package
  // that declares every part by Override so gets Overrides for the parts added to it.
  void declare(std::string_view partName, std::string_view contentType, bool byExtension);

  // Removes the Override for the part, if any.
  void removeOverride(std::string_view partName);

  bool changed() const { return changed_; }
  std::string save() const;

 private:
  pugi::xml_document document_;
  bool changed_ = false;
};

}  // namespace qx::engine
