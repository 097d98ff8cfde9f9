// Win32 command line: the system's own, converted to UTF-8.
#include "KVL/Base/Platform/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

std::string ProcessCommandLine() {
  const wchar_t* line = GetCommandLineW();
  return SysUtils::Utf16ToUtf8(reinterpret_cast<const char16_t*>(line));
}

std::vector<std::string> ProcessArguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; argv && i < count; ++i)
    args.push_back(SysUtils::Utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  if (argv) LocalFree(argv);
  return args;
}

} // namespace KVL::Platform
