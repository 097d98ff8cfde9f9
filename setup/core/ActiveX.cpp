// Calling the self-registration entry points of in-process COM servers.
#include "setup/core/ActiveX.h"

#include <cstdint>

#include "KVL/Base/Platform/DynamicLibrary.h"

namespace Setup::Core {

namespace {

// The entry points are STDAPI functions: stdcall on 32-bit Windows, the one convention elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
using TServerExport = int32_t(__stdcall*)();
#else
using TServerExport = int32_t (*)();
#endif

} // namespace

void TSetupActiveX::CallExport(const std::string& library, const std::string& exportName) {
  // Dependencies beside the library are found through the loader's own search; the process's
  // current folder stays as it is for every other thread.
  KVL::Platform::TDynamicLibrary lib;
  if (!lib.Load(library)) return;
  if (auto proc = lib.Procedure(exportName)) reinterpret_cast<TServerExport>(proc)();
}

void TSetupActiveX::UnregisterServer(const std::string& library) { CallExport(library, "DllUnregisterServer"); }

} // namespace Setup::Core
