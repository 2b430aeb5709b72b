#pragma once
// A recording spreadsheet server for tests: plays the object model in memory (application,
// workbook collection, one workbook with a chain of worksheets, used ranges, a cell grid,
// frames, pictures), logs every invocation, counts references, and fails or answers calls as
// a test tells it.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "automation/dispatch.h"
#include "automation/variant.h"

namespace qx::testing {

using automation::ExceptionInfo;
using automation::InvokeKind;
using automation::Variant;

// One invocation as the server received it.
struct Call {
  std::string object;  // "Application", "Workbooks", "Workbook", "Worksheet", "Range", ...
  std::string member;  // "Open", "Item", ... ("?" for an unknown DISPID)
  std::int32_t dispid = 0;
  InvokeKind kind = InvokeKind::Method;
  std::vector<Variant> arguments;
  int sheet = 0;  // the worksheet the object belongs to (1-based), 0 when none

  std::string operation() const { return object + "." + member; }
  // "Range.Item put (I4 1, I4 2, BSTR \"x\")"
  std::string toString() const;
};

// A frame drawn by Range.BorderAround, with the arguments exactly as they arrived.
struct Frame {
  int sheet = 0;
  std::string address;  // top-left cell of the range, "A5", "AA7"
  int row = 0, column = 0, lastRow = 0, lastColumn = 0;
  Variant lineStyle, weight, colorIndex, color;
};

// A picture added by Shapes.AddPicture.
struct Picture {
  int sheet = 0;
  std::u16string filename;
  Variant linkToFile, saveWithDocument, left, top, width, height;
};

class RecordingServer {
 public:
  explicit RecordingServer(int sheetCount = 1);
  ~RecordingServer();
  RecordingServer(const RecordingServer&) = delete;
  RecordingServer& operator=(const RecordingServer&) = delete;

  // Registers this server under the ProgID for the life of the object (or until unregistered).
  void registerAs(std::string progId = "Excel.Application");
  // Makes creation by ProgID fail (the factory returns null).
  void failCreation(bool fail = true);

  // --- what the template looks like ---
  void setActiveSheet(int sheet);
  // The top-left cell of a sheet's used range (absolute, 1-based); A1 by default.
  void setUsedRangeOrigin(int sheet, int row, int column);
  // A cell's value, as the server would display it (absolute position).
  void setCell(int sheet, int row, int column, std::u16string text);
  void setCellUtf8(int sheet, int row, int column, const std::string& utf8);
  // Uniform column width and row height in points (48 and 15 by default).
  void setGeometry(double columnWidth, double rowHeight);

  // Fails the n-th call (1-based) of "Object.Member" (e.g. "Workbooks.Open", "Range.Item put"
  // also matches "Range.Item") with the HRESULT; with an exception when given.
  void failCall(const std::string& operation, int occurrence, std::int32_t hresult,
                std::optional<ExceptionInfo> exception = std::nullopt);

  // --- what happened ---
  const std::vector<Call>& calls() const;
  std::vector<std::string> operations() const;  // calls()[i].operation(), with " put" for puts
  // Absolute cell value, if the cell was ever given one.
  std::optional<std::u16string> cell(int sheet, int row, int column) const;
  std::string cellUtf8(int sheet, int row, int column) const;  // "" when never set
  const std::vector<Frame>& frames() const;
  const std::vector<Picture>& pictures() const;
  bool visible() const;
  int saveCount() const;
  bool workbookClosed() const;
  bool workbooksClosed() const;
  bool quit() const;
  bool created() const;
  std::u16string openedFilename() const;
  const std::vector<Variant>& openArguments() const;  // the 15 arguments of Workbooks.Open
  const std::vector<Variant>& workbookCloseArguments() const;

  // References that clients still hold on the server's objects; 0 when all were released.
  int outstandingReferences() const;
  // Objects created so far (every one of them counts once).
  int objectsCreated() const;
  // AddRef and Release calls so far. Every reference is released once when
  // objectsCreated() + referencesAdded() == referencesReleased().
  int referencesAdded() const;
  int referencesReleased() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
  std::string registeredAs_;
};

}  // namespace qx::testing
