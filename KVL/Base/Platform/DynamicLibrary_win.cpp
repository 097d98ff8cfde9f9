// Win32 libraries: LoadLibraryExW by full path with the library's own folder searched first.
#include "KVL/Base/Platform/DynamicLibrary.h"

#include <windows.h>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/WinString.h"

namespace KVL::Platform {

bool TDynamicLibrary::Load(const std::string& path) {
  Unload();
  if (path.empty()) return false;
  const std::wstring full = Wide(ExpandFileName(path));
  // The library's dependencies are found beside it through the load flags, so the current
  // folder is left alone: changing it would affect every thread of the process, and the
  // safe search order set at start-up ignores it anyway. The error mode is the calling
  // thread's own for the same reason.
  DWORD previous = 0;
  const bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous) != FALSE;
  HMODULE module =
      LoadLibraryExW(full.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  if (modeSet) SetThreadErrorMode(previous, nullptr);
  handle_ = module;
  return handle_ != nullptr;
}

TDynamicLibrary::TProcedure TDynamicLibrary::Procedure(const std::string& name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<TProcedure>(GetProcAddress(static_cast<HMODULE>(handle_), name.c_str()));
}

void TDynamicLibrary::Unload() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

} // namespace KVL::Platform
