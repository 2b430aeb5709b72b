#pragma once
// Loading and writing the XML parts of a package with pugixml, safely: no DTDs, errors that
// name the part, and helpers for namespace prefixes that differ between producers.

#include <pugixml.hpp>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "engine/package/chunk_source.h"

namespace qx::engine {

// Parses `text` as the part `partName`. A part with a DOCTYPE (entity expansion), malformed XML
// or no root element raises EngineError naming the part. The declaration is kept so that a
// rewritten part keeps it.
void loadXml(pugi::xml_document& document, std::string_view text, const std::string& partName);

// The document as bytes, without reformatting (UTF-8, no indentation). The declaration a part
// was read with is kept, its encoding named UTF-8.
std::string saveXml(const pugi::xml_document& document);

// The part's text in UTF-8: as it is when it is UTF-8 already, else parsed once (EngineError
// naming the part when malformed) and printed in UTF-8, which its declaration then names.
std::string utf8Part(std::string text, const std::string& partName);
// Whether a part's text, of which `view` is the start up to its declaration's end at least, is
// UTF-8 as utf8Part sees it.
bool holdsUtf8(std::string_view view);

// The document as bytes, its declaration included (UTF-8, no indentation).
std::string printedXml(const pugi::xml_document& document);

// The element's name without its namespace prefix ("x:row" -> "row").
std::string_view localName(const pugi::xml_node& node);
std::string_view localName(std::string_view qualifiedName);

// The prefix of the element's name with its colon ("x:" or "").
std::string prefixOf(const pugi::xml_node& node);

// The first child element whose local name is `name`; empty handle when there is none.
pugi::xml_node childNamed(const pugi::xml_node& parent, std::string_view name);

// The value of the attribute whose local name is `name` (any prefix), or "".
std::string_view attributeNamed(const pugi::xml_node& node, std::string_view name);

// The namespace URI bound to `prefix` ("" for the default namespace) at `node`, looking up the
// ancestors; empty when unbound.
std::string_view namespaceOf(const pugi::xml_node& node, std::string_view prefix);

// Prints the document without the children of `target`: everything up to and including the
// target's start tag is appended to `before`, its end tag and everything after to `after`. Lets
// a large element's content be written separately, piece by piece.
void printAround(const pugi::xml_node& document, const pugi::xml_node& target, std::string& before,
                 std::string& after);

// A part written piece by piece, its large element's content never held whole: first the
// document up to and including the start tag of `target` (after an XML declaration when the
// document has none), then what `content` appends, call after call, each piece growing to about
// `pieceSize` bytes, until `content` returns false; then the target's end tag and the rest.
ChunkSource writeAround(const pugi::xml_document& document, const pugi::xml_node& target,
                        std::size_t pieceSize, std::function<bool(std::string& piece)> content);

// Where an escaped text goes: element content or an attribute value.
enum class XmlEscape { Content, Attribute };

// Appends `text` with markup escaped. A carriage return becomes &#13; (a reader would drop it);
// in an attribute value quotes, tabs and line feeds become references too (a reader would turn
// them into spaces).
void appendEscaped(std::string& out, std::string_view text, XmlEscape where = XmlEscape::Attribute);

// pugixml writer that appends to a string. pugixml writes a carriage return of element text
// (read from &#13;) as it is, which a reader turns into a line feed: it goes out as &#13;.
class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override;

 private:
  std::string& out_;
};

}  // namespace qx::engine
