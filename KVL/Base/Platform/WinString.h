// UTF-8 <-> UTF-16 at the Win32 edge; included by the *_win.cpp backends only.
#pragma once

#include <cwchar>
#include <string>
#include <string_view>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

inline std::wstring Wide(std::string_view s) {
  std::u16string w = SysUtils::Utf8ToUtf16(s);
  return std::wstring(w.begin(), w.end());
}

inline std::string Narrow(const wchar_t* p, size_t n) {
  return SysUtils::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(p), n));
}

inline std::string Narrow(const wchar_t* p) { return p ? Narrow(p, std::wcslen(p)) : std::string(); }

} // namespace KVL::Platform
