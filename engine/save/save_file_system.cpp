#include "engine/save/save_file_system.h"

#include <atomic>

namespace qx::engine {

namespace {
SaveFileSystem realFileSystem;
std::atomic<SaveFileSystem*> current{&realFileSystem};
}  // namespace

SaveFileSystem& saveFileSystem() {
  return *current.load();
}

ScopedSaveFileSystem::ScopedSaveFileSystem(SaveFileSystem& replacement)
    : previous_(current.exchange(&replacement)) {}

ScopedSaveFileSystem::~ScopedSaveFileSystem() {
  current.store(previous_);
}

}  // namespace qx::engine
