#pragma once
// The styles part: cell formats (xf), borders and number formats. New formats are copies of
// existing ones with one thing changed, and equal formats are shared, so framing a million
// cells adds a handful of formats, each found in constant time.

#include <pugixml.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qx::engine {

// One line of a frame as the styles part writes it: style="thin", colour attribute and value
// (rgb="FF000000", indexed="8" or auto="1").
struct BorderLine {
  std::string style;
  std::string colorAttribute;
  std::string colorValue;
};

// One line of a frame as a program asks for it, in the object model's codes: line style,
// weight, palette colour index and RGB colour (0x00BBGGRR); a colour not given is absent.
struct FrameLine {
  std::int32_t lineStyle = 0;
  std::int32_t weight = 0;
  std::optional<std::int64_t> colorIndex;
  std::optional<std::uint32_t> color;
  auto operator<=>(const FrameLine&) const = default;
};

// Edges of a cell's border.
enum Edge : unsigned { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };

struct DefaultFont {
  std::string name = "Calibri";
  double size = 11;
};

class Styles {
 public:
  // Parses the styles part; EngineError naming the part when malformed.
  void load(std::string_view text, const std::string& partName);

  std::size_t formatCount() const { return xfs_.size(); }
  // The number format code of a cell format; General for an unknown index.
  std::string_view numberFormat(std::uint32_t xf) const;
  bool isText(std::uint32_t xf) const;
  bool isGeneral(std::uint32_t xf) const;
  // True when the format marks its cell's text as typed after an apostrophe (quotePrefix).
  bool isQuotePrefixed(std::uint32_t xf) const;

  // The cell format `xf` with the edges drawn in `line`: a copy with a border that is a copy of
  // its own with those edges replaced. Equal results are the same index.
  std::uint32_t framed(std::uint32_t xf, unsigned edges, std::uint32_t line);
  // The id under which `framed` knows a line; equal lines have one id.
  std::uint32_t lineId(const BorderLine& line);
  // The id of the line `describe` makes of the frame line, made once per different frame line:
  // a report frames cell after cell with the same one, found so in constant time. The first id
  // a frame line gets stays its id.
  std::uint32_t lineId(const FrameLine& frame, BorderLine (*describe)(const FrameLine&));
  // The cell format `xf` with the number format `code`.
  std::uint32_t withNumberFormat(std::uint32_t xf, std::string_view code);
  // The cell format `xf` with the quotePrefix mark set or taken away; `xf` itself when it is
  // so already. Equal results are the same index.
  std::uint32_t withQuotePrefix(std::uint32_t xf, bool quoted);

  DefaultFont defaultFont() const;

  bool changed() const { return changed_; }
  std::string save();

 private:
  void ensureIndexed();
  std::uint32_t borderWith(std::uint32_t border, unsigned edges, std::uint32_t line);
  std::uint32_t addXf(pugi::xml_node copy);
  std::uint32_t numberFormatId(std::string_view code);
  pugi::xml_node list(const char* name);

  std::string part_;
  pugi::xml_document document_;
  std::vector<pugi::xml_node> xfs_;
  std::vector<std::string> xfFormats_;  // number format code per xf
  std::vector<bool> xfQuoted_;          // quotePrefix per xf
  std::vector<pugi::xml_node> borders_;
  std::unordered_map<int, std::string> customFormats_;
  std::vector<BorderLine> lines_;
  std::unordered_map<std::string, std::uint32_t> lineIds_;
  std::map<FrameLine, std::uint32_t> frameLineIds_;
  // The frame line asked for last, and its id.
  std::optional<std::pair<FrameLine, std::uint32_t>> lastFrameLine_;
  std::unordered_map<std::uint64_t, std::uint32_t> framedCache_, borderCache_, quotedCache_;
  // Hashes a number format code as the text or a view of it, so lookups build no string.
  struct CodeHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view code) const {
      return std::hash<std::string_view>()(code);
    }
  };
  std::unordered_map<std::string, std::uint32_t, CodeHash, std::equal_to<>> formatCodeIds_;
  std::unordered_map<std::uint64_t, std::uint32_t> formatCache_;
  std::unordered_map<std::string, std::uint32_t> xfByText_, borderByText_;
  bool indexed_ = false;
  bool changed_ = false;
};

}  // namespace qx::engine
