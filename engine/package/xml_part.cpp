#include "engine/package/xml_part.h"

#include <cctype>
#include <memory>

#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
// pugixml skips text outside the root element; the format does not allow any. Checks the
// prolog (declaration, comments, processing instructions, whitespace) of UTF-8 parts.
bool hasStrayTextAroundRoot(std::string_view text) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return false;  // UTF-16
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (text.substr(i, 2) == "<?") {
      const std::size_t end = text.find("?>", i);
      if (end == std::string_view::npos) return false;
      i = end + 2;
    } else if (text.substr(i, 4) == "<!--") {
      const std::size_t end = text.find("-->", i);
      if (end == std::string_view::npos) return false;
      i = end + 3;
    } else {
      break;
    }
  }
  if (i < text.size() && text[i] != '<') return true;
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  return last != std::string_view::npos && text[last] != '>';
}
}  // namespace

void loadXml(pugi::xml_document& document, std::string_view text, const std::string& partName) {
  if (hasStrayTextAroundRoot(text)) {
    throw partError(partName, "not well-formed XML (text outside the root element)");
  }
  // parse_doctype keeps a DOCTYPE as a node so that it can be refused; entities are never
  // expanded by pugixml, but a package part has no business declaring any. A text of only
  // spaces is content (<t xml:space="preserve"> </t>), and comments and processing
  // instructions are kept so that a rewritten part still has them.
  const unsigned options = pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype |
                           pugi::parse_ws_pcdata_single | pugi::parse_comments | pugi::parse_pi;
  const pugi::xml_parse_result result =
      document.load_buffer(text.data(), text.size(), options, pugi::encoding_auto);
  if (!result) {
    throw partError(partName, std::string("not well-formed XML (") + result.description() +
                                  " at byte " + std::to_string(result.offset) + ")");
  }
  for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
      throw partError(partName, "not well-formed XML (text outside the root element)");
    }
    if (node.type() == pugi::node_doctype) {
      throw partError(partName,
                      "has a DOCTYPE declaration, which package parts must not have "
                      "(entity expansion refused)");
    }
  }
  if (!document.document_element()) throw partError(partName, "has no root element");
  // The part is held, and written back, in UTF-8 whatever it was read in (UTF-16, Latin-1).
  if (pugi::xml_attribute encoding = document.first_child().attribute("encoding")) {
    const std::string_view name = encoding.value();
    if (name != "UTF-8" && name != "utf-8") encoding.set_value("UTF-8");
  }
}

std::string saveXml(const pugi::xml_document& document) {
  std::string out;
  StringWriter writer(out);
  document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out;
}

std::string printedXml(const pugi::xml_document& document) {
  std::string out;
  StringWriter writer(out);
  document.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
  return out;
}

bool holdsUtf8(std::string_view view) {
  bool utf8 = !view.starts_with("\xFF\xFE") && !view.starts_with("\xFE\xFF") &&
              !(view.size() >= 2 && (view[0] == '\0' || view[1] == '\0'));
  if (utf8 && view.find("<?xml") <= 3) {
    const std::string_view declaration = view.substr(0, view.find("?>"));
    if (const std::size_t at = declaration.find("encoding"); at != std::string_view::npos) {
      std::string name;
      for (const char c : declaration.substr(at + 8)) {
        if (c == '"' || c == '\'' || c == '=' || c == ' ') {
          if (!name.empty()) break;
          continue;
        }
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
      utf8 = name == "utf-8" || name == "utf8";
    }
  }
  return utf8;
}

std::string utf8Part(std::string text, const std::string& partName) {
  if (holdsUtf8(text)) return text;
  pugi::xml_document document;
  loadXml(document, text, partName);
  return printedXml(document);
}

std::string_view localName(std::string_view qualifiedName) {
  const std::size_t colon = qualifiedName.find(':');
  return colon == std::string_view::npos ? qualifiedName : qualifiedName.substr(colon + 1);
}

std::string_view localName(const pugi::xml_node& node) {
  return localName(node.name());
}

std::string prefixOf(const pugi::xml_node& node) {
  const std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

pugi::xml_node childNamed(const pugi::xml_node& parent, std::string_view name) {
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && localName(child) == name) return child;
  }
  return {};
}

std::string_view attributeNamed(const pugi::xml_node& node, std::string_view name) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    if (localName(a.name()) == name) return a.value();
  }
  return {};
}

std::string_view namespaceOf(const pugi::xml_node& node, std::string_view prefix) {
  const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (pugi::xml_node n = node; n; n = n.parent()) {
    if (pugi::xml_attribute a = n.attribute(attribute.c_str())) return a.value();
  }
  return {};
}

namespace {
void appendStartTag(std::string& out, const pugi::xml_node& node) {
  out += '<';
  out += node.name();
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    out += ' ';
    out += a.name();
    out += "=\"";
    appendEscaped(out, a.value());
    out += '"';
  }
  out += '>';
}

bool contains(const pugi::xml_node& ancestor, pugi::xml_node node) {
  for (; node; node = node.parent()) {
    if (node == ancestor) return true;
  }
  return false;
}

void printOutside(const pugi::xml_node& node, const pugi::xml_node& target, std::string*& out,
                  std::string& after) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child == target || contains(child, target)) {
      appendStartTag(*out, child);
      if (child == target) {
        out = &after;
      } else {
        printOutside(child, target, out, after);
      }
      *out += "</";
      *out += child.name();
      *out += '>';
      continue;
    }
    StringWriter writer(*out);
    child.print(writer, "", pugi::format_raw);
  }
}
}  // namespace

void printAround(const pugi::xml_node& document, const pugi::xml_node& target, std::string& before,
                 std::string& after) {
  std::string* out = &before;
  printOutside(document, target, out, after);
}

ChunkSource writeAround(const pugi::xml_document& document, const pugi::xml_node& target,
                        std::size_t pieceSize, std::function<bool(std::string& piece)> content) {
  struct State {
    std::string head, tail;
    bool started = false, ended = false;
  };
  auto state = std::make_shared<State>();
  if (document.first_child().type() != pugi::node_declaration) {
    state->head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  }
  printAround(document, target, state->head, state->tail);
  return [state, pieceSize, content = std::move(content)](std::string& chunk) {
    chunk.clear();
    if (!state->started) {
      chunk = std::move(state->head);
      state->started = true;
      return true;
    }
    if (state->ended) return false;
    while (chunk.size() < pieceSize) {
      if (!content(chunk)) {
        chunk += state->tail;
        state->ended = true;
        break;
      }
    }
    return true;
  };
}

void StringWriter::write(const void* data, size_t size) {
  std::string_view text(static_cast<const char*>(data), size);
  for (std::size_t cr; (cr = text.find('\r')) != std::string_view::npos;) {
    out_.append(text.substr(0, cr)).append("&#13;");
    text.remove_prefix(cr + 1);
  }
  out_.append(text);
}

void appendEscaped(std::string& out, std::string_view text, XmlEscape where) {
  const bool attribute = where == XmlEscape::Attribute;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* reference = nullptr;
    switch (text[i]) {
      case '&':
        reference = "&amp;";
        break;
      case '<':
        reference = "&lt;";
        break;
      case '>':
        reference = "&gt;";
        break;
      case '\r':
        reference = "&#13;";
        break;
      case '"':
        reference = attribute ? "&quot;" : nullptr;
        break;
      case '\t':
        reference = attribute ? "&#9;" : nullptr;
        break;
      case '\n':
        reference = attribute ? "&#10;" : nullptr;
        break;
      default:
        break;
    }
    if (reference == nullptr) continue;
    out.append(text.substr(start, i - start)).append(reference);
    start = i + 1;
  }
  out.append(text.substr(start));
}

}  // namespace qx::engine
