#pragma once
// The chain of holders one run keeps, from the Application down to the sheet's ranges.

#include <string>
#include <string_view>

#include "automation/automation_object.h"

namespace qx::report {

inline constexpr std::string_view kSpreadsheetProgId = "Excel.Application";

struct WorkbookSession {
  automation::AutomationObject application;
  automation::AutomationObject workbooks;
  automation::AutomationObject workbook;
  automation::AutomationObject sheet;
  automation::AutomationObject usedRange;
  automation::AutomationObject cell;  // the cell read by a template check
  std::string templatePath;           // as the host wrote it (GBK), once opened
  bool saved = false;                 // the workbook was saved back to templatePath

  WorkbookSession() = default;
  WorkbookSession(const WorkbookSession&) = delete;
  WorkbookSession& operator=(const WorkbookSession&) = delete;
  ~WorkbookSession() { release(); }

  // Releases every holder once, the Application last.
  void release();
};

// Application.Visible = true; Application.Workbooks; Workbooks.Open with the template path,
// UpdateLinks missing, ReadOnly the small integer 0 and the rest missing; Workbook.ActiveSheet;
// Worksheet.UsedRange. The application must be created already.
void openTemplate(WorkbookSession& session, std::string_view templatePath);

// Workbook.Save; the session then knows that the template holds the filled report.
void saveWorkbook(WorkbookSession& session);

}  // namespace qx::report
