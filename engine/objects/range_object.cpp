// Range: Item, Text, Left, Top, Width, Height and BorderAround on a fixed rectangle of cells.

#include "automation/operations.h"
#include "engine/objects/objects.h"
#include "engine/package/cell_values.h"
#include "engine/package/frame.h"
#include "engine/save/engine_error.h"
#include "platform/code_page.h"

namespace qx::engine {

namespace hr = automation::hr;
namespace op = automation::op;

namespace {

// A cell's text converted on the stack; a long one on the heap.
struct TextRoom {
  char stack[256];
  std::string heap;
};

// The value Range.Item is given as what the cell takes: a text, a number (a whole or real
// number of any width), a boolean, or nothing; any other kind is refused.
CellInput cellInput(const Variant& value, TextRoom& room) {
  switch (value.type()) {
    case automation::VarType::Bstr: {
      const std::u16string& text = value.textValue();
      char* out = room.stack;
      if (text.size() * 3 > sizeof room.stack) {
        room.heap.resize(text.size() * 3);
        out = room.heap.data();
      }
      return CellInput::ofText(std::string_view(out, platform::utf16ToUtf8(text, out)));
    }
    case automation::VarType::Bool:
      return CellInput::ofBoolean(value.booleanValue() != 0);
    case automation::VarType::Empty:
      return CellInput::empty();
    default:
      if (const std::optional<double> number = value.toReal()) return CellInput::ofNumber(*number);
      throw EngineError("a " + std::string(automation::typeName(value.type())) +
                        " value cannot be put into a cell");
  }
}

// BorderAround(LineStyle, Weight, ColorIndex, Color). A missing or empty line style is
// continuous and a missing weight thin; a colour that is missing or no number is not given.
FrameLine frameLine(std::span<const Variant> arguments) {
  static const Variant missing = Variant::missing();
  auto argument = [&](std::size_t i) -> const Variant& {
    return i < arguments.size() ? arguments[i] : missing;
  };
  FrameLine line;
  line.weight = argument(1).isMissing()
                    ? kWeightThin
                    : static_cast<std::int32_t>(integerArgument(argument(1), "Weight"));
  line.lineStyle = kLineContinuous;
  if (const Variant& style = argument(0); !style.isMissing() && !style.isEmpty()) {
    const std::optional<std::int64_t> code = style.toInteger();
    if (!code) {
      checkBorderWeight(line.weight);  // an unknown weight is named first, as it always is
      throw EngineError("BorderAround: the line style must be a number");
    }
    line.lineStyle = static_cast<std::int32_t>(*code);
  }
  if (!argument(2).isMissing()) line.colorIndex = argument(2).toInteger();
  if (!argument(3).isMissing()) {
    if (const std::optional<std::int64_t> rgb = argument(3).toInteger()) {
      line.color = static_cast<std::uint32_t>(*rgb);
    }
  }
  return line;
}

class RangeObject final : public EngineObject {
 public:
  RangeObject(automation::Dispatch& owner, OpenWorkbook& book, std::size_t sheet,
              const CellRect& rect)
      : owner_(&owner), book_(&book), sheet_(sheet), rect_(rect) {
    owner_->addRef();
  }
  ~RangeObject() override { owner_->release(); }
  RangeObject(const RangeObject&) = delete;
  RangeObject& operator=(const RangeObject&) = delete;

 protected:
  std::int32_t answer(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result) override {
    Workbook& workbook = book_->get();
    if (dispid == op::kRangeItemGet.dispid) return item(workbook, kind, arguments, result);
    if (dispid == op::kRangeBorderAround.dispid && kind == InvokeKind::Method) {
      if (arguments.size() > 4) return hr::kBadParamCount;
      const std::uint32_t line = borderLineId(workbook, frameLine(arguments));
      frameRange(workbook, workbook.worksheet(sheet_), rect_, line);
      result = Variant::boolean(true);
      return hr::kOk;
    }
    if (kind != InvokeKind::PropertyGet) return hr::kMemberNotFound;
    if (!arguments.empty()) return hr::kBadParamCount;
    switch (dispid) {
      case op::kRangeText.dispid:
        result = Variant::text(platform::utf8ToUtf16(
            cellText(workbook, workbook.worksheet(sheet_), rect_.top, rect_.left)));
        return hr::kOk;
      case op::kRangeLeft.dispid:
        result = Variant::real(workbook.geometry(sheet_).left(rect_.left));
        return hr::kOk;
      case op::kRangeTop.dispid:
        result = Variant::real(workbook.geometry(sheet_).top(rect_.top));
        return hr::kOk;
      case op::kRangeWidth.dispid: {
        const SheetGeometry geometry = workbook.geometry(sheet_);
        result = Variant::real(rect_.right < kMaxColumns
                                   ? geometry.left(rect_.right + 1) - geometry.left(rect_.left)
                                   : geometry.left(rect_.right) - geometry.left(rect_.left) +
                                         geometry.columnWidth(rect_.right));
        return hr::kOk;
      }
      case op::kRangeHeight.dispid: {
        const SheetGeometry geometry = workbook.geometry(sheet_);
        result = Variant::real(rect_.bottom < kMaxRows
                                   ? geometry.top(rect_.bottom + 1) - geometry.top(rect_.top)
                                   : geometry.top(rect_.bottom) - geometry.top(rect_.top) +
                                         geometry.rowHeight(rect_.bottom));
        return hr::kOk;
      }
      default:
        return hr::kMemberNotFound;
    }
  }

 private:
  // Item(RowIndex, ColumnIndex) counted from the top-left cell, beyond the range's bounds too.
  std::int32_t item(Workbook& workbook, InvokeKind kind, std::span<const Variant> arguments,
                    Variant& result) {
    const bool put = kind == InvokeKind::PropertyPut;
    if (!put && kind != InvokeKind::PropertyGet) return hr::kMemberNotFound;
    if (arguments.size() != (put ? 3u : 2u)) return hr::kBadParamCount;
    const std::int64_t row = rect_.top + integerArgument(arguments[0], "RowIndex") - 1;
    const std::int64_t column = rect_.left + integerArgument(arguments[1], "ColumnIndex") - 1;
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
      throw EngineError("the cell (" + std::to_string(row) + ", " + std::to_string(column) +
                        ") lies outside the sheet");
    }
    const auto r = static_cast<std::uint32_t>(row), c = static_cast<std::uint32_t>(column);
    if (put) {
      Worksheet& sheet = workbook.worksheet(sheet_);
      TextRoom room;
      putCellValue(workbook, sheet, r, c, cellInput(arguments[2], room));
    } else {
      result = Variant::adopt(new RangeObject(*owner_, *book_, sheet_, CellRect{r, c, r, c}));
    }
    return hr::kOk;
  }

  // The worksheet that made the range holds the workbook; the range holds the worksheet with
  // a plain count. A range is made for every framed cell, and a shared pointer of its own
  // would cost two locked instructions each time.
  automation::Dispatch* owner_;
  OpenWorkbook* book_;
  std::size_t sheet_;
  CellRect rect_;
};

}  // namespace

automation::Dispatch* newRange(automation::Dispatch& owner, OpenWorkbook& book, std::size_t sheet,
                               const CellRect& rect) {
  return new RangeObject(owner, book, sheet, rect);
}

}  // namespace qx::engine
