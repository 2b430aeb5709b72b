#include "report/workbook_session.h"

#include "automation/operations.h"

namespace qx::report {

using namespace automation;

void WorkbookSession::release() {
  cell.release();
  usedRange.release();
  sheet.release();
  workbook.release();
  workbooks.release();
  application.release();
}

void openTemplate(WorkbookSession& session, std::string_view templatePath) {
  applicationVisible(session.application, true);
  session.workbooks = applicationWorkbooks(session.application);
  OpenArguments arguments;
  arguments.values[1] = Variant::smallInteger(0);  // ReadOnly
  session.workbook = workbooksOpen(session.workbooks, templatePath, arguments);
  session.templatePath = templatePath;
  session.sheet = workbookActiveSheet(session.workbook);
  session.usedRange = worksheetUsedRange(session.sheet);
}

void saveWorkbook(WorkbookSession& session) {
  workbookSave(session.workbook);
  session.saved = true;
}

}  // namespace qx::report
