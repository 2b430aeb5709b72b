#include "automation/automation_object.h"

#include <utility>

#include "automation/server_registry.h"

namespace qx::automation {

AutomationObject::AutomationObject(AutomationObject&& other) noexcept
    : object_(std::exchange(other.object_, nullptr)), owns_(std::exchange(other.owns_, false)) {}

AutomationObject& AutomationObject::operator=(AutomationObject&& other) noexcept {
  if (this != &other) {
    release();
    object_ = std::exchange(other.object_, nullptr);
    owns_ = std::exchange(other.owns_, false);
  }
  return *this;
}

bool AutomationObject::createByProgId(std::string_view progId, ServerRoute route) {
  Dispatch* created = nullptr;
  try {
    created = createServerObject(progId, route);
  } catch (...) {
    created = nullptr;
  }
  if (created == nullptr) return false;
  attach(created, true);
  return true;
}

void AutomationObject::attach(Dispatch* object, bool owns) {
  release();
  object_ = object;
  owns_ = owns && object != nullptr;
}

AutomationObject AutomationObject::copy() const {
  AutomationObject other;
  if (object_ != nullptr) {
    object_->addRef();
    other.attach(object_, true);
  }
  return other;
}

void AutomationObject::release() {
  Dispatch* object = std::exchange(object_, nullptr);
  if (object != nullptr && std::exchange(owns_, false)) object->release();
  owns_ = false;
}

Dispatch* AutomationObject::detach() {
  owns_ = false;
  return std::exchange(object_, nullptr);
}

}  // namespace qx::automation
