#include "report/workbook_run.h"

#include <exception>

#include "automation/apartment.h"
#include "automation/dispatch.h"

namespace qx::report {

WorkbookRun::~WorkbookRun() {
  session_.release();
  if (policy_.uninitializeAfterGoodRun) handBackApartment();
}

bool WorkbookRun::leaseApartment() {
  apartmentHeld_ = !automation::hr::failed(automation::initializeApartment());
  return apartmentHeld_;
}

void WorkbookRun::handBackApartment() {
  if (!apartmentHeld_) return;
  apartmentHeld_ = false;
  automation::uninitializeApartment();
}

bool WorkbookRun::startServer() {
  return session_.application.createByProgId(kSpreadsheetProgId);
}

bool WorkbookRun::guarded(const std::function<void()>& step,
                          const std::function<void()>& afterFailure) {
  try {
    step();
    return true;
  } catch (const std::exception& error) {
    reportRunFailure(messages_, error, policy_.otherFailurePrefix);
  }
  if (afterFailure) afterFailure();
  session_.release();
  if (policy_.uninitializeAfterFailure) handBackApartment();
  return false;
}

}  // namespace qx::report
