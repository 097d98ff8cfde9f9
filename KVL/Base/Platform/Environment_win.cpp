// Win32 environment: GetEnvironmentVariableW and ExpandEnvironmentStringsW.
#include "KVL/Base/Platform/Environment.h"

#include <windows.h>

#include "KVL/Base/Platform/WinString.h"

#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {
} // namespace

std::optional<std::string> GetEnv(const std::string& name) {
  std::wstring w = Wide(name);
  std::vector<wchar_t> buf(256);
  for (;;) {
    SetLastError(0);
    DWORD n = GetEnvironmentVariableW(w.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < buf.size()) return Narrow(buf.data(), n);
    buf.resize(n);
  }
}

bool SetEnv(const std::string& name, const std::optional<std::string>& value) {
  return SetEnvironmentVariableW(Wide(name).c_str(), value ? Wide(*value).c_str() : nullptr) != 0;
}

std::string ExpandEnvironment(const std::string& text) {
  std::wstring w = Wide(text);
  std::vector<wchar_t> buf(w.size() + 256);
  for (;;) {
    DWORD n = ExpandEnvironmentStringsW(w.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) RaiseLastOSError();
    if (n <= buf.size()) return Narrow(buf.data(), n - 1);  // n counts the terminating zero
    buf.resize(n);
  }
}

} // namespace KVL::Platform
