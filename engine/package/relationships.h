#pragma once
// A relationships part (_rels/*.rels): which parts a part refers to, by id and type.

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::engine {

inline constexpr const char* kRelationshipsContentType =
    "application/vnd.openxmlformats-package.relationships+xml";

struct Relationship {
  std::string id;
  std::string type;
  std::string target;  // as written, relative to the source part's folder
  bool external = false;
};

// "xl/worksheets/sheet1.xml" -> "xl/worksheets/_rels/sheet1.xml.rels"; "" -> "_rels/.rels".
std::string relationshipsPartOf(std::string_view sourcePart);

// The part a relative target names from the source part: ("xl/workbook.xml",
// "worksheets/sheet1.xml") -> "xl/worksheets/sheet1.xml"; "/xl/x.xml" is taken as absolute.
std::string resolveTarget(std::string_view sourcePart, std::string_view target);

// The shortest relative target from the source part to the part ("xl/worksheets/sheet1.xml",
// "xl/drawings/drawing1.xml") -> "../drawings/drawing1.xml".
std::string relativeTarget(std::string_view sourcePart, std::string_view part);

class Relationships {
 public:
  // A part with no relationships part yet.
  explicit Relationships(std::string sourcePart);
  // Parses the relationships part; EngineError naming it when malformed.
  void load(std::string_view text);

  const std::string& sourcePart() const { return source_; }
  const std::vector<Relationship>& all() const { return items_; }
  const Relationship* byId(std::string_view id) const;
  // The first relationship whose type ends with "/<suffix>" (transitional and strict).
  const Relationship* byTypeSuffix(std::string_view suffix) const;
  // The part a relationship points to (internal ones only).
  std::string partOf(const Relationship& relationship) const;

  // Adds a relationship with a fresh id and returns the id.
  std::string add(std::string_view type, std::string_view target);

  // Removes the relationship with that id, if any.
  void remove(std::string_view id);
  // Removes exactly that relationship (one of all()), even where a damaged part repeats its id.
  void remove(const Relationship& relationship);

  bool existed() const { return existed_; }
  bool changed() const { return changed_; }
  std::string save() const;

 private:
  std::string source_;
  pugi::xml_document document_;
  std::vector<Relationship> items_;
  bool existed_ = false;
  bool changed_ = false;
};

}  // namespace qx::engine
