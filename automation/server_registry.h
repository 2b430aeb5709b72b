#pragma once
// Where creating an object by ProgID leads. On Windows that is COM (CLSIDFromProgID,
// CoCreateInstance, OleRun, IDispatch); elsewhere a registry of in-process servers, where the
// embedded engine stands as "Excel.Application" and tests put their recording server.

#include <functional>
#include <string>
#include <string_view>

#include "automation/dispatch.h"

namespace qx::automation {

// Makes a new server object and returns one reference to it, or null when it cannot.
using ServerFactory = std::function<Dispatch*()>;

// What answers for a ProgID that nothing is registered under in-process.
enum class ServerRoute {
  Default,   // the default server set for it; else, on Windows, COM
  Embedded,  // the embedded server set for it; else nothing
};

// Creates the object registered under progId, else the one `route` leads to: one new reference,
// or null. May throw only for failures of the factory itself; AutomationObject::createByProgId
// turns every failure to false.
Dispatch* createServerObject(std::string_view progId, ServerRoute route = ServerRoute::Default);

// In-process registry (every system but Windows; on Windows it is consulted before COM only
// for ProgIDs registered here, which tests use). A registration replaces an earlier one.
void registerServer(std::string progId, ServerFactory factory);
void unregisterServer(std::string_view progId);
bool isServerRegistered(std::string_view progId);

// The server used for progId when nothing is registered under it: the embedded engine installs
// itself here for "Excel.Application" in every exporter that links it.
void setDefaultServer(std::string progId, ServerFactory factory);

// The server ServerRoute::Embedded leads to for progId. On Windows the embedded engine stands
// here, so that COM stays the default and the user's setting picks the engine.
void setEmbeddedServer(std::string progId, ServerFactory factory);

}  // namespace qx::automation
