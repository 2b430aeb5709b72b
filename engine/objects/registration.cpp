// Registers the embedded engine for "Excel.Application" in the process: as the default server
// where no spreadsheet application exists, and on Windows as the server the user's setting
// picks instead of COM (the engine's own tests there make it the default as well).

#include "automation/server_registry.h"
#include "engine/objects/application.h"

namespace {
const bool kRegistered = [] {
  qx::automation::setEmbeddedServer("Excel.Application", &qx::engine::createApplication);
#if !defined(_WIN32) || defined(QX_ENGINE_AS_DEFAULT_SERVER)
  qx::automation::setDefaultServer("Excel.Application", &qx::engine::createApplication);
#endif
  return true;
}();
}  // namespace
