#include "automation/server_registry.h"

#include <map>
#include <mutex>

namespace qx::automation {

namespace {
struct Registry {
  std::mutex mutex;
  std::map<std::string, ServerFactory, std::less<>> registered;
  std::map<std::string, ServerFactory, std::less<>> defaults;
  std::map<std::string, ServerFactory, std::less<>> embedded;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

ServerFactory lookup(std::string_view progId, ServerRoute route) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  if (auto it = r.registered.find(progId); it != r.registered.end()) return it->second;
  auto& routed = route == ServerRoute::Embedded ? r.embedded : r.defaults;
  if (auto it = routed.find(progId); it != routed.end()) return it->second;
  return nullptr;
}
}  // namespace

#ifdef _WIN32
Dispatch* createComServerObject(std::string_view progId);  // com_creation.cpp
#endif

Dispatch* createServerObject(std::string_view progId, ServerRoute route) {
  if (ServerFactory factory = lookup(progId, route)) return factory();
  if (route == ServerRoute::Embedded) return nullptr;
#ifdef _WIN32
  return createComServerObject(progId);
#else
  return nullptr;
#endif
}

void registerServer(std::string progId, ServerFactory factory) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.registered[std::move(progId)] = std::move(factory);
}

void unregisterServer(std::string_view progId) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  if (auto it = r.registered.find(progId); it != r.registered.end()) r.registered.erase(it);
}

bool isServerRegistered(std::string_view progId) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  return r.registered.find(progId) != r.registered.end();
}

void setDefaultServer(std::string progId, ServerFactory factory) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.defaults[std::move(progId)] = std::move(factory);
}

void setEmbeddedServer(std::string progId, ServerFactory factory) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.embedded[std::move(progId)] = std::move(factory);
}

}  // namespace qx::automation
