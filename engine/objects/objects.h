#pragma once
// The object model the engine answers: Application, Workbooks, Workbook, Worksheet, Range,
// Shapes and Shape, each a Dispatch answering the DISPIDs of the typed operations. Failures
// are DISP_E_EXCEPTION with a description that says what went wrong.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "engine/package/cell_reference.h"
#include "engine/package/workbook.h"

namespace qx::engine {

using automation::ExceptionInfo;
using automation::InvokeKind;
using automation::Variant;

// A workbook the application holds open; `model` is null once it is closed.
struct OpenWorkbook {
  std::unique_ptr<Workbook> model;
  // The model; EngineError once the workbook is closed.
  Workbook& get() const;
};

// What one Application holds: its open workbooks.
struct ApplicationState {
  std::vector<std::shared_ptr<OpenWorkbook>> workbooks;
  bool visible = false;
  void closeAll();
};

using BookPointer = std::shared_ptr<OpenWorkbook>;

// Base of every engine object: turns EngineError and other exceptions into HRESULTs with an
// exception description, so nothing is thrown across the dispatch interface. Counts the objects
// alive, so that a caller can prove it released every reference it took.
class EngineObject : public automation::DispatchBase {
 public:
  EngineObject();
  ~EngineObject() override;
  EngineObject(const EngineObject&) = delete;
  EngineObject& operator=(const EngineObject&) = delete;

  std::int32_t invoke(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result, ExceptionInfo& exception) final;

 protected:
  virtual std::int32_t answer(std::int32_t dispid, InvokeKind kind,
                              std::span<const Variant> arguments, Variant& result) = 0;
};

// How many engine objects (Application, Workbooks, Workbook, Worksheet, Range, Shapes, Shape)
// exist in this process: 0 once every reference handed out has been released.
std::size_t liveEngineObjects();

automation::Dispatch* newWorkbooks(std::shared_ptr<ApplicationState> state);
automation::Dispatch* newWorkbook(std::shared_ptr<ApplicationState> state, BookPointer book);
automation::Dispatch* newWorksheet(BookPointer book, std::size_t sheet);
// A range of `sheet` of `book`; it holds `owner`, an object that holds `book` and lives on the
// range's thread.
automation::Dispatch* newRange(automation::Dispatch& owner, OpenWorkbook& book, std::size_t sheet,
                               const CellRect& rect);
automation::Dispatch* newShapes(BookPointer book, std::size_t sheet);
automation::Dispatch* newShape();

// The text inside a text argument (UTF-8); EngineError naming the argument otherwise (the
// failure report names the operation).
std::string textArgument(const Variant& value, const char* argumentName);
// A whole number argument; EngineError naming the argument otherwise.
std::int64_t integerArgument(const Variant& value, const char* argumentName);

}  // namespace qx::engine
