#pragma once
// Where the many children of a part's one large element lie in its text (a worksheet's rows,
// the shared strings' items), found without parsing it: they are most of its bytes, and those
// the run leaves alone are written back as they were read or kept compactly.

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace qx::engine {

struct TextSpan {
  std::size_t begin = 0, end = 0;  // byte offsets, end excluded
};

// Finds the content of the first element named `container` (local name) at `containerDepth`
// (0: the root, 1: a child of the root) in a UTF-8 text given a window at a time, so that a
// large part need not be held whole: after its start tag up to its end tag (empty for an
// empty-element tag). Each of its children named `child` is handed to `each`, in order.
// Comments, processing instructions, CDATA sections and quoted attribute values are skipped as
// the XML grammar says; well-formedness is left to the parser.
class ElementScanner {
 public:
  ElementScanner(std::size_t containerDepth, std::string_view container, std::string_view child)
      : top_(containerDepth), container_(container), child_(child) {}

  // Scans `window`, the text's bytes from offset `resume()` on; `last` when the text ends with
  // it. Offsets handed out count from the text's start. A markup construct the window cuts is
  // left for the next call, whose window starts again at `resume()`.
  void scan(std::string_view window, bool last, const std::function<void(TextSpan)>& each);

  // Where the next window starts.
  std::size_t resume() const { return resume_; }
  // The start of the child being read, if the scan is inside one (its bytes are still needed).
  std::optional<std::size_t> openChild() const;
  // Where the container's content starts, once its start tag was read.
  std::optional<std::size_t> contentBegin() const;
  // The container's content once its end tag was read.
  std::optional<TextSpan> content() const;
  // Nothing more can be found: the content was, or the text is too broken to find it.
  bool finished() const { return state_ == State::Done || state_ == State::Broken; }

 private:
  enum class State { Before, Inside, Done, Broken };
  std::size_t top_;
  std::string_view container_, child_;
  State state_ = State::Before;
  std::size_t depth_ = 0;  // elements open around the position
  std::size_t childBegin_ = 0;
  std::size_t resume_ = 0;
  TextSpan content_;
};

// The content of the container in a whole text; nullopt when there is none or the text is too
// broken to find it (a parser then says what is wrong).
std::optional<TextSpan> elementContent(std::string_view text, std::size_t containerDepth,
                                       std::string_view container, std::string_view child,
                                       const std::function<void(TextSpan)>& each = {});

// Where the content of <sheetData> lies in a worksheet's UTF-8 text: after its start tag up to
// its end tag (empty for <sheetData/>); nullopt when the text has no <sheetData> child of its
// root element or is too broken to find one. `row`, when given, is called with each <row> child
// of <sheetData>, in order.
std::optional<TextSpan> sheetDataContent(std::string_view text,
                                         const std::function<void(TextSpan)>& row = {});

}  // namespace qx::engine
