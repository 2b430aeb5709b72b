#include "engine/application.h"

namespace qx::engine {

automation::Dispatch* createApplication() {
  return nullptr;
}

}  // namespace qx::engine
