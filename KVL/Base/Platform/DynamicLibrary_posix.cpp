// POSIX libraries: dlopen with every symbol bound at once and kept private to the library.
#include "KVL/Base/Platform/DynamicLibrary.h"

#include <dlfcn.h>

#include "KVL/Base/Platform/File.h"

namespace KVL::Platform {

bool TDynamicLibrary::Load(const std::string& path) {
  Unload();
  if (path.empty()) return false;
  // A name without a slash would be searched for on the library path: always pass a path.
  const std::string full = ExpandFileName(path);
  // RTLD_NOW: a library with a missing symbol fails here, not in the middle of a call.
  handle_ = dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

TDynamicLibrary::TProcedure TDynamicLibrary::Procedure(const std::string& name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<TProcedure>(dlsym(handle_, name.c_str()));
}

void TDynamicLibrary::Unload() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

} // namespace KVL::Platform
