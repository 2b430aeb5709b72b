// Registers the embedded engine as the default "Excel.Application" of the process.

#include "automation/server_registry.h"
#include "engine/application.h"

namespace {
const bool kRegistered = [] {
  qx::automation::setDefaultServer("Excel.Application", &qx::engine::createApplication);
  return true;
}();
}  // namespace
