#include "tests/support/recording_server.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "automation/operations.h"
#include "automation/server_registry.h"
#include "platform/code_page.h"

namespace qx::testing {

using automation::Dispatch;
using automation::VarType;
namespace hr = automation::hr;
namespace op = automation::op;

struct Failure {
  std::string operation;
  int occurrence;
  std::int32_t hresult;
  std::optional<ExceptionInfo> exception;
};

struct RecordingServer::State {
  int sheetCount = 1;
  int activeSheet = 1;
  std::map<int, std::pair<int, int>> usedRangeOrigin;
  std::map<std::tuple<int, int, int>, std::u16string> cells;
  double columnWidth = 48, rowHeight = 15;
  std::vector<Failure> failures;
  std::map<std::string, int> callCounts;
  bool failCreation = false;

  std::vector<Call> calls;
  std::vector<Frame> frames;
  std::vector<Picture> pictures;
  bool visible = false, workbookClosed = false, workbooksClosed = false, quit = false;
  bool created = false;
  int saveCount = 0;
  std::u16string openedFilename;
  std::vector<Variant> openArguments, workbookCloseArguments;

  int liveReferences = 0;
  int objectsCreated = 0;
  int referencesAdded = 0, referencesReleased = 0;  // AddRef and Release calls

  std::pair<int, int> origin(int sheet) const {
    auto it = usedRangeOrigin.find(sheet);
    return it == usedRangeOrigin.end() ? std::pair{1, 1} : it->second;
  }
};

namespace {

using State = RecordingServer::State;
using StatePtr = std::shared_ptr<State>;

// The base of every recorded object: counts its references into the shared state.
class RecordedObject : public Dispatch {
 public:
  RecordedObject(StatePtr state, std::string kind, int sheet)
      : state_(std::move(state)), kind_(std::move(kind)), sheet_(sheet) {
    ++state_->liveReferences;
    ++state_->objectsCreated;
  }
  std::uint32_t addRef() override {
    ++state_->liveReferences;
    ++state_->referencesAdded;
    return ++references_;
  }
  std::uint32_t release() override {
    if (references_ == 0) throw std::logic_error(kind_ + " released more often than referenced");
    --state_->liveReferences;
    ++state_->referencesReleased;
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  std::int32_t invoke(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result, ExceptionInfo& exception) override {
    Call call{kind_,
              memberName(dispid),
              dispid,
              kind,
              std::vector<Variant>(arguments.begin(), arguments.end()),
              sheet_};
    state_->calls.push_back(call);
    const std::string name = call.operation();
    const int count = ++state_->callCounts[name + (kind == InvokeKind::PropertyPut ? " put" : "")];
    for (const Failure& failure : state_->failures) {
      const bool matches = failure.operation == name ||
                           (kind == InvokeKind::PropertyPut && failure.operation == name + " put");
      if (matches && failure.occurrence == count) {
        if (failure.exception) exception = *failure.exception;
        return failure.hresult;
      }
    }
    return answer(dispid, kind, arguments, result);
  }

 protected:
  virtual std::string memberName(std::int32_t dispid) const = 0;
  virtual std::int32_t answer(std::int32_t dispid, InvokeKind kind,
                              std::span<const Variant> arguments, Variant& result) = 0;

  State& state() { return *state_; }
  const StatePtr& statePointer() const { return state_; }
  int sheet() const { return sheet_; }

 private:
  StatePtr state_;
  std::string kind_;
  int sheet_;
  std::uint32_t references_ = 1;
};

std::optional<std::int64_t> integerArgument(std::span<const Variant> arguments, std::size_t i) {
  if (i >= arguments.size()) return std::nullopt;
  return arguments[i].toInteger();
}

// "$AA$15" -> (row 15, column 27)
std::optional<std::pair<int, int>> parseReference(const Variant& reference) {
  if (reference.type() != VarType::Bstr) return std::nullopt;
  const std::string text = platform::utf16ToUtf8(reference.textValue());
  std::size_t i = 0;
  int column = 0, row = 0;
  if (i < text.size() && text[i] == '$') ++i;
  while (i < text.size() && std::isupper(static_cast<unsigned char>(text[i]))) {
    column = column * 26 + (text[i++] - 'A' + 1);
  }
  if (i < text.size() && text[i] == '$') ++i;
  const std::size_t digits = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    row = row * 10 + (text[i++] - '0');
  }
  if (column == 0 || i == digits || i != text.size() || row == 0) return std::nullopt;
  return std::pair{row, column};
}

std::string columnName(int column) {
  std::string name;
  while (column > 0) {
    name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
    column = (column - 1) / 26;
  }
  return name;
}

class RangeObject final : public RecordedObject {
 public:
  RangeObject(StatePtr state, int sheet, int row, int column, int lastRow, int lastColumn)
      : RecordedObject(std::move(state), "Range", sheet),
        row_(row),
        column_(column),
        lastRow_(lastRow),
        lastColumn_(lastColumn) {}

 protected:
  std::string memberName(std::int32_t dispid) const override {
    switch (dispid) {
      case op::kRangeItemGet.dispid:
        return "Item";
      case op::kRangeText.dispid:
        return "Text";
      case op::kRangeLeft.dispid:
        return "Left";
      case op::kRangeTop.dispid:
        return "Top";
      case op::kRangeWidth.dispid:
        return "Width";
      case op::kRangeHeight.dispid:
        return "Height";
      case op::kRangeBorderAround.dispid:
        return "BorderAround";
      default:
        return "?";
    }
  }

  std::int32_t answer(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result) override {
    State& s = state();
    switch (dispid) {
      case op::kRangeItemGet.dispid: {
        const auto r = integerArgument(arguments, 0), c = integerArgument(arguments, 1);
        if (!r || !c) return hr::kTypeMismatch;
        const int row = row_ + static_cast<int>(*r) - 1,
                  column = column_ + static_cast<int>(*c) - 1;
        if (row < 1 || column < 1) return hr::kException;
        if (kind == InvokeKind::PropertyPut) {
          if (arguments.size() != 3 || arguments[2].type() != VarType::Bstr) {
            return hr::kTypeMismatch;
          }
          s.cells[{sheet(), row, column}] = arguments[2].textValue();
          return hr::kOk;
        }
        result = Variant::adopt(new RangeObject(statePointer(), sheet(), row, column, row, column));
        return hr::kOk;
      }
      case op::kRangeText.dispid: {
        auto it = s.cells.find({sheet(), row_, column_});
        result = Variant::text(it == s.cells.end() ? std::u16string() : it->second);
        return hr::kOk;
      }
      case op::kRangeLeft.dispid:
        result = Variant::real((column_ - 1) * s.columnWidth);
        return hr::kOk;
      case op::kRangeTop.dispid:
        result = Variant::real((row_ - 1) * s.rowHeight);
        return hr::kOk;
      case op::kRangeWidth.dispid:
        result = Variant::real((lastColumn_ - column_ + 1) * s.columnWidth);
        return hr::kOk;
      case op::kRangeHeight.dispid:
        result = Variant::real((lastRow_ - row_ + 1) * s.rowHeight);
        return hr::kOk;
      case op::kRangeBorderAround.dispid: {
        if (arguments.size() != 4) return hr::kBadParamCount;
        s.frames.push_back(Frame{sheet(), columnName(column_) + std::to_string(row_), row_, column_,
                                 lastRow_, lastColumn_, arguments[0], arguments[1], arguments[2],
                                 arguments[3]});
        result = Variant::boolean(true);
        return hr::kOk;
      }
      default:
        return hr::kMemberNotFound;
    }
  }

 private:
  int row_, column_, lastRow_, lastColumn_;
};

class ShapeObject final : public RecordedObject {
 public:
  ShapeObject(StatePtr state, int sheet) : RecordedObject(std::move(state), "Shape", sheet) {}

 protected:
  std::string memberName(std::int32_t) const override { return "?"; }
  std::int32_t answer(std::int32_t, InvokeKind, std::span<const Variant>, Variant&) override {
    return hr::kMemberNotFound;
  }
};

class ShapesObject final : public RecordedObject {
 public:
  ShapesObject(StatePtr state, int sheet) : RecordedObject(std::move(state), "Shapes", sheet) {}

 protected:
  std::string memberName(std::int32_t dispid) const override {
    return dispid == op::kShapesAddPicture.dispid ? "AddPicture" : "?";
  }
  std::int32_t answer(std::int32_t dispid, InvokeKind, std::span<const Variant> arguments,
                      Variant& result) override {
    if (dispid != op::kShapesAddPicture.dispid) return hr::kMemberNotFound;
    if (arguments.size() != 7 || arguments[0].type() != VarType::Bstr) return hr::kTypeMismatch;
    state().pictures.push_back(Picture{sheet(), arguments[0].textValue(), arguments[1],
                                       arguments[2], arguments[3], arguments[4], arguments[5],
                                       arguments[6]});
    result = Variant::adopt(new ShapeObject(statePointer(), sheet()));
    return hr::kOk;
  }
};

class WorksheetObject final : public RecordedObject {
 public:
  WorksheetObject(StatePtr state, int sheet)
      : RecordedObject(std::move(state), "Worksheet", sheet) {}

 protected:
  std::string memberName(std::int32_t dispid) const override {
    switch (dispid) {
      case op::kWorksheetUsedRange.dispid:
        return "UsedRange";
      case op::kWorksheetRange.dispid:
        return "Range";
      case op::kWorksheetShapes.dispid:
        return "Shapes";
      case op::kWorksheetNext.dispid:
        return "Next";
      default:
        return "?";
    }
  }

  std::int32_t answer(std::int32_t dispid, InvokeKind, std::span<const Variant> arguments,
                      Variant& result) override {
    State& s = state();
    switch (dispid) {
      case op::kWorksheetUsedRange.dispid: {
        const auto [row, column] = s.origin(sheet());
        int lastRow = row, lastColumn = column;
        for (const auto& [key, text] : s.cells) {
          if (std::get<0>(key) != sheet()) continue;
          lastRow = std::max(lastRow, std::get<1>(key));
          lastColumn = std::max(lastColumn, std::get<2>(key));
        }
        result = Variant::adopt(
            new RangeObject(statePointer(), sheet(), row, column, lastRow, lastColumn));
        return hr::kOk;
      }
      case op::kWorksheetRange.dispid: {
        if (arguments.size() != 2) return hr::kBadParamCount;
        const auto first = parseReference(arguments[0]);
        const auto second = arguments[1].isMissing() ? first : parseReference(arguments[1]);
        if (!first || !second) return hr::kException;
        result = Variant::adopt(new RangeObject(
            statePointer(), sheet(), std::min(first->first, second->first),
            std::min(first->second, second->second), std::max(first->first, second->first),
            std::max(first->second, second->second)));
        return hr::kOk;
      }
      case op::kWorksheetShapes.dispid:
        result = Variant::adopt(new ShapesObject(statePointer(), sheet()));
        return hr::kOk;
      case op::kWorksheetNext.dispid:
        result = Variant::adopt(
            sheet() < s.sheetCount ? new WorksheetObject(statePointer(), sheet() + 1) : nullptr);
        return hr::kOk;
      default:
        return hr::kMemberNotFound;
    }
  }
};

class WorkbookObject final : public RecordedObject {
 public:
  explicit WorkbookObject(StatePtr state) : RecordedObject(std::move(state), "Workbook", 0) {}

 protected:
  std::string memberName(std::int32_t dispid) const override {
    switch (dispid) {
      case op::kWorkbookActiveSheet.dispid:
        return "ActiveSheet";
      case op::kWorkbookSave.dispid:
        return "Save";
      case op::kWorkbookClose.dispid:
        return "Close";
      default:
        return "?";
    }
  }
  std::int32_t answer(std::int32_t dispid, InvokeKind, std::span<const Variant> arguments,
                      Variant& result) override {
    State& s = state();
    switch (dispid) {
      case op::kWorkbookActiveSheet.dispid:
        result = Variant::adopt(new WorksheetObject(statePointer(), s.activeSheet));
        return hr::kOk;
      case op::kWorkbookSave.dispid:
        ++s.saveCount;
        return hr::kOk;
      case op::kWorkbookClose.dispid:
        s.workbookClosed = true;
        s.workbookCloseArguments.assign(arguments.begin(), arguments.end());
        return hr::kOk;
      default:
        return hr::kMemberNotFound;
    }
  }
};

class WorkbooksObject final : public RecordedObject {
 public:
  explicit WorkbooksObject(StatePtr state) : RecordedObject(std::move(state), "Workbooks", 0) {}

 protected:
  std::string memberName(std::int32_t dispid) const override {
    return dispid == op::kWorkbooksOpen.dispid    ? "Open"
           : dispid == op::kWorkbooksClose.dispid ? "Close"
                                                  : "?";
  }
  std::int32_t answer(std::int32_t dispid, InvokeKind, std::span<const Variant> arguments,
                      Variant& result) override {
    State& s = state();
    if (dispid == op::kWorkbooksClose.dispid) {
      s.workbooksClosed = true;
      return hr::kOk;
    }
    if (dispid != op::kWorkbooksOpen.dispid) return hr::kMemberNotFound;
    if (arguments.empty() || arguments[0].type() != VarType::Bstr) return hr::kTypeMismatch;
    s.openedFilename = arguments[0].textValue();
    s.openArguments.assign(arguments.begin(), arguments.end());
    result = Variant::adopt(new WorkbookObject(statePointer()));
    return hr::kOk;
  }
};

class ApplicationObject final : public RecordedObject {
 public:
  explicit ApplicationObject(StatePtr state) : RecordedObject(std::move(state), "Application", 0) {}

 protected:
  std::string memberName(std::int32_t dispid) const override {
    switch (dispid) {
      case op::kApplicationWorkbooks.dispid:
        return "Workbooks";
      case op::kApplicationVisible.dispid:
        return "Visible";
      case op::kApplicationQuit.dispid:
        return "Quit";
      default:
        return "?";
    }
  }
  std::int32_t answer(std::int32_t dispid, InvokeKind, std::span<const Variant> arguments,
                      Variant& result) override {
    State& s = state();
    switch (dispid) {
      case op::kApplicationWorkbooks.dispid:
        result = Variant::adopt(new WorkbooksObject(statePointer()));
        return hr::kOk;
      case op::kApplicationVisible.dispid:
        if (arguments.size() != 1) return hr::kBadParamCount;
        s.visible = arguments[0].toInteger().value_or(0) != 0;
        return hr::kOk;
      case op::kApplicationQuit.dispid:
        s.quit = true;
        return hr::kOk;
      default:
        return hr::kMemberNotFound;
    }
  }
};

}  // namespace

std::string Call::toString() const {
  std::string text = operation();
  if (kind == InvokeKind::PropertyPut) text += " put";
  text += " (";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) text += ", ";
    text += automation::describe(arguments[i]);
  }
  return text + ")";
}

RecordingServer::RecordingServer(int sheetCount) : state_(std::make_shared<State>()) {
  state_->sheetCount = sheetCount;
}

RecordingServer::~RecordingServer() {
  if (!registeredAs_.empty()) automation::unregisterServer(registeredAs_);
}

void RecordingServer::registerAs(std::string progId) {
  registeredAs_ = progId;
  std::weak_ptr<State> weak = state_;
  automation::registerServer(std::move(progId), [weak]() -> Dispatch* {
    StatePtr state = weak.lock();
    if (!state || state->failCreation) return nullptr;
    state->created = true;
    return new ApplicationObject(state);
  });
}

void RecordingServer::failCreation(bool fail) {
  state_->failCreation = fail;
}
void RecordingServer::setActiveSheet(int sheet) {
  state_->activeSheet = sheet;
}
void RecordingServer::setUsedRangeOrigin(int sheet, int row, int column) {
  state_->usedRangeOrigin[sheet] = {row, column};
}
void RecordingServer::setCell(int sheet, int row, int column, std::u16string text) {
  state_->cells[{sheet, row, column}] = std::move(text);
}
void RecordingServer::setCellUtf8(int sheet, int row, int column, const std::string& utf8) {
  setCell(sheet, row, column, platform::utf8ToUtf16(utf8));
}
void RecordingServer::setGeometry(double columnWidth, double rowHeight) {
  state_->columnWidth = columnWidth;
  state_->rowHeight = rowHeight;
}
void RecordingServer::failCall(const std::string& operation, int occurrence, std::int32_t hresult,
                               std::optional<ExceptionInfo> exception) {
  state_->failures.push_back(Failure{operation, occurrence, hresult, std::move(exception)});
}

const std::vector<Call>& RecordingServer::calls() const {
  return state_->calls;
}
std::vector<std::string> RecordingServer::operations() const {
  std::vector<std::string> names;
  for (const Call& call : state_->calls) {
    names.push_back(call.operation() + (call.kind == InvokeKind::PropertyPut ? " put" : ""));
  }
  return names;
}
std::optional<std::u16string> RecordingServer::cell(int sheet, int row, int column) const {
  auto it = state_->cells.find({sheet, row, column});
  if (it == state_->cells.end()) return std::nullopt;
  return it->second;
}
std::string RecordingServer::cellUtf8(int sheet, int row, int column) const {
  return platform::utf16ToUtf8(cell(sheet, row, column).value_or(u""));
}
const std::vector<Frame>& RecordingServer::frames() const {
  return state_->frames;
}
const std::vector<Picture>& RecordingServer::pictures() const {
  return state_->pictures;
}
bool RecordingServer::visible() const {
  return state_->visible;
}
int RecordingServer::saveCount() const {
  return state_->saveCount;
}
bool RecordingServer::workbookClosed() const {
  return state_->workbookClosed;
}
bool RecordingServer::workbooksClosed() const {
  return state_->workbooksClosed;
}
bool RecordingServer::quit() const {
  return state_->quit;
}
bool RecordingServer::created() const {
  return state_->created;
}
std::u16string RecordingServer::openedFilename() const {
  return state_->openedFilename;
}
const std::vector<Variant>& RecordingServer::openArguments() const {
  return state_->openArguments;
}
const std::vector<Variant>& RecordingServer::workbookCloseArguments() const {
  return state_->workbookCloseArguments;
}
int RecordingServer::outstandingReferences() const {
  return state_->liveReferences;
}
int RecordingServer::objectsCreated() const {
  return state_->objectsCreated;
}
int RecordingServer::referencesAdded() const {
  return state_->referencesAdded;
}
int RecordingServer::referencesReleased() const {
  return state_->referencesReleased;
}

}  // namespace qx::testing
