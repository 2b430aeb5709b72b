#include "engine/objects/objects.h"

#include <atomic>
#include <new>

#include "engine/save/engine_error.h"
#include "platform/code_page.h"

namespace qx::engine {

namespace hr = automation::hr;

namespace {
std::atomic<std::size_t> liveObjects{0};
}  // namespace

EngineObject::EngineObject() {
  ++liveObjects;
}

EngineObject::~EngineObject() {
  --liveObjects;
}

std::size_t liveEngineObjects() {
  return liveObjects.load();
}

Workbook& OpenWorkbook::get() const {
  if (!model) throw EngineError("the workbook has been closed");
  return *model;
}

void ApplicationState::closeAll() {
  for (const BookPointer& book : workbooks) book->model.reset();
  workbooks.clear();
}

std::int32_t EngineObject::invoke(std::int32_t dispid, InvokeKind kind,
                                  std::span<const Variant> arguments, Variant& result,
                                  ExceptionInfo& exception) {
  try {
    return answer(dispid, kind, arguments, result);
  } catch (const std::bad_alloc&) {
    return hr::kOutOfMemory;
  } catch (const std::exception& e) {
    exception.code = hr::kException;
    exception.source = u"qx spreadsheet engine";
    exception.description = platform::utf8ToUtf16(e.what());
    return hr::kException;
  } catch (...) {
    return hr::kFail;
  }
}

std::string textArgument(const Variant& value, const char* argumentName) {
  if (value.type() != automation::VarType::Bstr) {
    throw EngineError(std::string(argumentName) + ": a text was expected, not " +
                      automation::typeName(value.type()));
  }
  return platform::utf16ToUtf8(value.textValue());
}

std::int64_t integerArgument(const Variant& value, const char* argumentName) {
  const std::optional<std::int64_t> number = value.toInteger();
  if (!number) {
    throw EngineError(std::string(argumentName) + ": a number was expected, not " +
                      automation::typeName(value.type()));
  }
  return *number;
}

}  // namespace qx::engine
