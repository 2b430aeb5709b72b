#pragma once
// A built deliverable loaded by file name, the way the host loads it (dlopen, or LoadLibrary
// under Wine with the build tree's Unix path seen through drive Z:).

#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "include/qx/host_records.h"

namespace qx::testing {

class LoadedLibrary {
 public:
  // Throws std::runtime_error when the library does not load.
  explicit LoadedLibrary(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
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

  bool loaded() const {
    return handle_ != nullptr;
  }

  // The address of exactly that exported name, or null.
  void* symbol(const char* name) const {
#ifdef _WIN32
    // Through void*: FARPROC and the export's type are unrelated function types.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
  }

  // excel_file / excel_file_auto of the table exporters, or null.
  qx_table_export_fn tableExport(const char* name) const {
    return reinterpret_cast<qx_table_export_fn>(symbol(name));
  }

 private:
  void* handle_ = nullptr;
};

}  // namespace qx::testing
