#pragma once
// Every row of the operations table as a test drives it: the typed call on a session and the
// arguments, in positional order, that the server must receive. Shared by the tests of every
// transport (recording server, COM in and out of process).

#include <cstdint>
#include <functional>
#include <vector>

#include "automation/automation_object.h"
#include "automation/operations.h"

namespace qx::testing {

using automation::AutomationObject;
using automation::InvokeKind;
using automation::Variant;

// A workbook session reached only through the typed operations.
struct OperationSession {
  explicit OperationSession(const AutomationObject& app);
  AutomationObject application, workbooks, workbook, sheet, range, shapes;
};

struct OperationRow {
  const char* name;
  std::int32_t dispid;
  InvokeKind kind;
  std::vector<Variant> arguments;  // in positional order
  std::function<void(OperationSession&)> call;
};

// The rows; names read "Range.Item get" and "Range.Item put" where one member has both kinds.
std::vector<OperationRow> operationRows();

}  // namespace qx::testing
