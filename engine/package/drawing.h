#pragma once
// Pictures on a sheet: what kind of image a file holds, where its anchor lies in cells, and the
// drawing part that carries the anchors.

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/package/sheet_geometry.h"

namespace qx::engine {

struct PictureType {
  std::string extension;                       // "png"
  std::string contentType;                     // "image/png"
  double naturalWidth = 0, naturalHeight = 0;  // points at 96 dpi, 0 when unknown
};

// BMP, PNG, JPEG or GIF by their signatures; EngineError naming the file for anything else.
PictureType pictureType(std::string_view bytes, const std::string& fileName);

inline constexpr std::int64_t kEmuPerPoint = 12700;

// One corner of an anchor: zero-based column and row with offsets into them in EMU.
struct AnchorCorner {
  std::uint32_t column = 0, row = 0;
  std::int64_t columnOffset = 0, rowOffset = 0;
};

struct PictureAnchor {
  AnchorCorner from, to;
  std::int64_t x = 0, y = 0, width = 0, height = 0;  // EMU
};

// The cells under the rectangle (points from the sheet's top-left corner).
PictureAnchor anchorFor(const SheetGeometry& geometry, double left, double top, double width,
                        double height);

// Namespaces of the drawing markup in the two flavours of the format.
struct DrawingNamespaces {
  std::string spreadsheetDrawing, drawingMain, relationships, relationshipTypes;
};
DrawingNamespaces drawingNamespaces(bool strict);

class Drawing {
 public:
  explicit Drawing(std::string partName) : part_(std::move(partName)) {}
  // An existing drawing part; EngineError naming it when malformed.
  void load(std::string_view text);
  // A new, empty drawing part.
  void create(const DrawingNamespaces& namespaces);

  // Adds a picture anchored two-cell, moving (not sizing) with the cells under it.
  void addPicture(const PictureAnchor& anchor, const std::string& relationshipId,
                  const DrawingNamespaces& namespaces);

  std::string save() const;

 private:
  std::string part_;
  pugi::xml_document document_;
};

}  // namespace qx::engine
