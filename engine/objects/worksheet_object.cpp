// Worksheet: UsedRange, Range, Shapes and Next.

#include "automation/operations.h"
#include "engine/objects/objects.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

namespace hr = automation::hr;
namespace op = automation::op;

namespace {

CellPosition referenceArgument(std::string_view text) {
  const std::optional<CellPosition> at = parseCellReference(text);
  if (!at) {
    throw EngineError("'" + std::string(text) + "' is not a cell reference");
  }
  return *at;
}

// The reference text; short ASCII texts (every cell address) without a heap allocation.
std::string_view referenceText(const Variant& value, char (&buffer)[32], std::string& spill) {
  if (value.type() == automation::VarType::Bstr && value.textValue().size() < sizeof buffer) {
    const std::u16string& text = value.textValue();
    bool ascii = true;
    for (std::size_t i = 0; i < text.size() && ascii; ++i) {
      ascii = text[i] < 0x80;
      buffer[i] = static_cast<char>(text[i]);
    }
    if (ascii) return std::string_view(buffer, text.size());
  }
  spill = textArgument(value, "Cell1");
  return spill;
}

// "A1", "$A$1", "A1:B2" and, with a second argument, the rectangle between both.
CellRect rectArgument(std::span<const Variant> arguments) {
  char buffer[32];
  std::string spill;
  const std::string_view first = referenceText(arguments[0], buffer, spill);
  CellPosition a, b;
  if (const std::size_t colon = first.find(':'); colon != std::string::npos) {
    a = referenceArgument(std::string(first.substr(0, colon)));
    b = referenceArgument(std::string(first.substr(colon + 1)));
  } else {
    a = b = referenceArgument(first);
  }
  if (arguments.size() > 1 && !arguments[1].isMissing()) {
    // A one-cell range comes as the same address twice: it is read once.
    const bool same = first.find(':') == std::string_view::npos && arguments[1] == arguments[0];
    const CellPosition c = same ? a : referenceArgument(referenceText(arguments[1], buffer, spill));
    b = CellPosition{std::max(b.row, c.row), std::max(b.column, c.column)};
    a = CellPosition{std::min(a.row, c.row), std::min(a.column, c.column)};
  }
  return CellRect{std::min(a.row, b.row), std::min(a.column, b.column), std::max(a.row, b.row),
                  std::max(a.column, b.column)};
}

class WorksheetObject final : public EngineObject {
 public:
  WorksheetObject(BookPointer book, std::size_t sheet) : book_(std::move(book)), sheet_(sheet) {}

 protected:
  std::int32_t answer(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result) override {
    if (kind != InvokeKind::PropertyGet) return hr::kMemberNotFound;
    Workbook& workbook = book_->get();
    switch (dispid) {
      case op::kWorksheetUsedRange.dispid:
        if (!arguments.empty()) return hr::kBadParamCount;
        result =
            Variant::adopt(newRange(*this, *book_, sheet_, workbook.worksheet(sheet_).usedRange()));
        return hr::kOk;
      case op::kWorksheetRange.dispid:
        if (arguments.empty() || arguments.size() > 2) return hr::kBadParamCount;
        workbook.worksheet(sheet_);
        result = Variant::adopt(newRange(*this, *book_, sheet_, rectArgument(arguments)));
        return hr::kOk;
      case op::kWorksheetShapes.dispid:
        if (!arguments.empty()) return hr::kBadParamCount;
        result = Variant::adopt(newShapes(book_, sheet_));
        return hr::kOk;
      case op::kWorksheetNext.dispid: {
        if (!arguments.empty()) return hr::kBadParamCount;
        const std::optional<std::size_t> next = workbook.nextWorksheet(sheet_);
        result = Variant::adopt(next ? newWorksheet(book_, *next) : nullptr);
        return hr::kOk;
      }
      default:
        return hr::kMemberNotFound;
    }
  }

 private:
  BookPointer book_;
  std::size_t sheet_;
};

// Shapes: AddPicture.
class ShapesObject final : public EngineObject {
 public:
  ShapesObject(BookPointer book, std::size_t sheet) : book_(std::move(book)), sheet_(sheet) {}

 protected:
  std::int32_t answer(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result) override {
    if (dispid != op::kShapesAddPicture.dispid || kind != InvokeKind::Method)
      return hr::kMemberNotFound;
    if (arguments.size() != 7) return hr::kBadParamCount;
    const std::string file = textArgument(arguments[0], "Filename");
    if (integerArgument(arguments[1], "LinkToFile") != 0) {
      throw EngineError("linked pictures are not supported; pass LinkToFile 0");
    }
    if (integerArgument(arguments[2], "SaveWithDocument") == 0) {
      throw EngineError(
          "a picture that is not linked must be saved with "
          "the document (SaveWithDocument 1)");
    }
    double rect[4];
    for (int i = 0; i < 4; ++i) {
      const std::optional<double> value = arguments[3 + i].toReal();
      if (!value) throw EngineError("the position must be numbers");
      rect[i] = *value;
    }
    book_->get().addPicture(sheet_, file, rect[0], rect[1], rect[2], rect[3]);
    result = Variant::adopt(newShape());
    return hr::kOk;
  }

 private:
  BookPointer book_;
  std::size_t sheet_;
};

// Shape: returned by AddPicture; callers use none of its members.
class ShapeObject final : public EngineObject {
 protected:
  std::int32_t answer(std::int32_t, InvokeKind, std::span<const Variant>, Variant&) override {
    return hr::kMemberNotFound;
  }
};

}  // namespace

automation::Dispatch* newWorksheet(BookPointer book, std::size_t sheet) {
  return new WorksheetObject(std::move(book), sheet);
}

automation::Dispatch* newShapes(BookPointer book, std::size_t sheet) {
  return new ShapesObject(std::move(book), sheet);
}

automation::Dispatch* newShape() {
  return new ShapeObject();
}

}  // namespace qx::engine
