#pragma once
// The engine's Application object: where an exporter's automation calls begin.

#include "automation/dispatch.h"

namespace qx::engine {

// A new Application with one reference, as creating "Excel.Application" returns it.
automation::Dispatch* createApplication();

}  // namespace qx::engine
