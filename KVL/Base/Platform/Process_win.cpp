// Win32 process facts.
#include "KVL/Base/Platform/Process.h"

#include <windows.h>

#include <vector>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

std::string ExecutablePath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size())
      return SysUtils::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(buf.data()), n));
    buf.resize(buf.size() * 2);  // long paths are truncated silently otherwise
  }
}

} // namespace KVL::Platform
