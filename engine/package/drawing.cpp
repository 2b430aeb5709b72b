#include "engine/package/drawing.h"

#include <algorithm>
#include <cmath>

#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {
std::uint32_t bigEndian(std::string_view b, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | static_cast<unsigned char>(b[at + i]);
  return value;
}
std::uint32_t littleEndian(std::string_view b, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(b[at + i]);
  return value;
}

// Pixel size from a JPEG's first start-of-frame marker.
std::pair<std::uint32_t, std::uint32_t> jpegSize(std::string_view b) {
  std::size_t at = 2;
  while (at + 9 < b.size()) {
    if (static_cast<unsigned char>(b[at]) != 0xFF) return {0, 0};
    const unsigned marker = static_cast<unsigned char>(b[at + 1]);
    const std::uint32_t length = bigEndian(b, at + 2, 2);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      return {bigEndian(b, at + 7, 2), bigEndian(b, at + 5, 2)};
    }
    at += 2 + length;
  }
  return {0, 0};
}
}  // namespace

PictureType pictureType(std::string_view b, const std::string& fileName) {
  PictureType type;
  std::pair<std::uint32_t, std::uint32_t> pixels{0, 0};
  if (b.size() >= 26 && b.substr(0, 2) == "BM") {
    type = {"bmp", "image/bmp"};
    pixels = {littleEndian(b, 18, 4), littleEndian(b, 22, 4)};
    const std::int32_t height = static_cast<std::int32_t>(pixels.second);
    pixels.second =
        static_cast<std::uint32_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
  } else if (b.size() >= 24 && b.substr(0, 8) == "\x89PNG\r\n\x1a\n") {
    type = {"png", "image/png"};
    pixels = {bigEndian(b, 16, 4), bigEndian(b, 20, 4)};
  } else if (b.size() >= 4 && b.substr(0, 3) == "\xFF\xD8\xFF") {
    type = {"jpeg", "image/jpeg"};
    pixels = jpegSize(b);
  } else if (b.size() >= 10 && (b.substr(0, 6) == "GIF87a" || b.substr(0, 6) == "GIF89a")) {
    type = {"gif", "image/gif"};
    pixels = {littleEndian(b, 6, 2), littleEndian(b, 8, 2)};
  } else {
    throw EngineError(fileName +
                      ": not a picture this workbook can hold (accepted: BMP, PNG, "
                      "JPEG, GIF)");
  }
  type.naturalWidth = pixels.first * 0.75;
  type.naturalHeight = pixels.second * 0.75;
  return type;
}

PictureAnchor anchorFor(const SheetGeometry& geometry, double left, double top, double width,
                        double height) {
  left = std::max(0.0, left);
  top = std::max(0.0, top);
  width = std::max(0.0, width);
  height = std::max(0.0, height);
  auto corner = [&](double x, double y) {
    const auto [column, columnOffset] = geometry.columnAt(x);
    const auto [row, rowOffset] = geometry.rowAt(y);
    return AnchorCorner{column - 1, row - 1, std::llround(columnOffset * kEmuPerPoint),
                        std::llround(rowOffset * kEmuPerPoint)};
  };
  PictureAnchor anchor;
  anchor.from = corner(left, top);
  anchor.to = corner(left + width, top + height);
  anchor.x = std::llround(left * kEmuPerPoint);
  anchor.y = std::llround(top * kEmuPerPoint);
  anchor.width = std::llround(width * kEmuPerPoint);
  anchor.height = std::llround(height * kEmuPerPoint);
  return anchor;
}

DrawingNamespaces drawingNamespaces(bool strict) {
  if (strict) {
    return {"http://purl.oclc.org/ooxml/drawingml/spreadsheetDrawing",
            "http://purl.oclc.org/ooxml/drawingml/main",
            "http://purl.oclc.org/ooxml/officeDocument/relationships",
            "http://purl.oclc.org/ooxml/officeDocument/relationships"};
  }
  return {"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing",
          "http://schemas.openxmlformats.org/drawingml/2006/main",
          "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
          "http://schemas.openxmlformats.org/officeDocument/2006/relationships"};
}

void Drawing::load(std::string_view text) {
  loadXml(document_, text, part_);
  if (localName(document_.document_element()) != "wsDr") {
    throw partError(part_, "the root element is not wsDr");
  }
}

void Drawing::create(const DrawingNamespaces& namespaces) {
  document_.reset();
  pugi::xml_node declaration = document_.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  declaration.append_attribute("standalone") = "yes";
  pugi::xml_node root = document_.append_child("xdr:wsDr");
  root.append_attribute("xmlns:xdr") = namespaces.spreadsheetDrawing.c_str();
  root.append_attribute("xmlns:a") = namespaces.drawingMain.c_str();
}

namespace {
void appendCorner(std::string& out, const std::string& p, const char* name, const AnchorCorner& c) {
  out += "<" + p + name + "><" + p + "col>" + std::to_string(c.column) + "</" + p + "col><" + p +
         "colOff>" + std::to_string(c.columnOffset) + "</" + p + "colOff><" + p + "row>" +
         std::to_string(c.row) + "</" + p + "row><" + p + "rowOff>" + std::to_string(c.rowOffset) +
         "</" + p + "rowOff></" + p + name + ">";
}

std::uint32_t nextShapeId(const pugi::xml_node& root) {
  std::uint32_t highest = 1;
  for (pugi::xml_node n = root; n;) {
    if (localName(n) == "cNvPr") highest = std::max(highest, n.attribute("id").as_uint(0));
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && n != root && !n.next_sibling()) n = n.parent();
    if (!n || n == root) break;
    n = n.next_sibling();
  }
  return highest + 1;
}
}  // namespace

void Drawing::addPicture(const PictureAnchor& anchor, const std::string& relationshipId,
                         const DrawingNamespaces& namespaces) {
  pugi::xml_node root = document_.document_element();
  const std::string p = prefixOf(root);
  const std::uint32_t id = nextShapeId(root);
  std::string xml = "<" + p + "twoCellAnchor";
  // The fragment declares what it uses, whatever prefixes the part binds elsewhere.
  xml += p.empty() ? " xmlns=\"" : " xmlns:" + p.substr(0, p.size() - 1) + "=\"";
  xml += namespaces.spreadsheetDrawing + "\" xmlns:a=\"" + namespaces.drawingMain +
         "\" xmlns:r=\"" + namespaces.relationships + "\" editAs=\"oneCell\">";
  appendCorner(xml, p, "from", anchor.from);
  appendCorner(xml, p, "to", anchor.to);
  xml += "<" + p + "pic><" + p + "nvPicPr><" + p + "cNvPr id=\"" + std::to_string(id) +
         "\" name=\"Picture " + std::to_string(id - 1) + "\"/><" + p +
         "cNvPicPr><a:picLocks noChangeAspect=\"1\"/></" + p + "cNvPicPr></" + p + "nvPicPr><" + p +
         "blipFill><a:blip r:embed=\"" + relationshipId +
         "\"/><a:stretch><a:fillRect/></a:stretch></" + p + "blipFill><" + p +
         "spPr><a:xfrm><a:off x=\"" + std::to_string(anchor.x) + "\" y=\"" +
         std::to_string(anchor.y) + "\"/><a:ext cx=\"" + std::to_string(anchor.width) + "\" cy=\"" +
         std::to_string(anchor.height) +
         "\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></" + p + "spPr></" + p +
         "pic><" + p + "clientData/></" + p + "twoCellAnchor>";
  pugi::xml_document fragment;
  fragment.load_buffer(xml.data(), xml.size(), pugi::parse_default);
  // Anchors go before a trailing extLst, if any.
  pugi::xml_node extension = childNamed(root, "extLst");
  if (extension) {
    root.insert_copy_before(fragment.document_element(), extension);
  } else {
    root.append_copy(fragment.document_element());
  }
}

std::string Drawing::save() const {
  return saveXml(document_);
}

}  // namespace qx::engine
