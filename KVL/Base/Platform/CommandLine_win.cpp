// Win32 command line: the system's own, converted to UTF-8.
#include "KVL/Base/Platform/CommandLine.h"

#include <windows.h>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

std::string ProcessCommandLine() {
  const wchar_t* line = GetCommandLineW();
  return SysUtils::Utf16ToUtf8(reinterpret_cast<const char16_t*>(line));
}

} // namespace KVL::Platform
