#pragma once
// A built deliverable loaded by file name, the way the host loads it.

#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "include/qx/host_records.h"

namespace qx::vellum::test {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path;  // the build tree seen from Wine
    for (char& c : path) c = c == '/' ? '\\' : c;
    handle_ = LoadLibraryA(path.c_str());
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    if (handle_ == nullptr) throw std::runtime_error("cannot load " + path);
  }
  ~LoadedLibrary() {
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The export of exactly that name, or null.
  qx_table_export_fn tableExport(const char* name) const {
#ifdef _WIN32
    // Through the generic function pointer type, which any function pointer converts to.
    return reinterpret_cast<qx_table_export_fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(handle_), name)));
#else
    return reinterpret_cast<qx_table_export_fn>(dlsym(handle_, name));
#endif
  }

 private:
  void* handle_ = nullptr;
};

}  // namespace qx::vellum::test
