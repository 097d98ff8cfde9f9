// Win32 case mapping in the user's default locale.
#include "KVL/Base/Platform/Locale.h"

#include <windows.h>

namespace KVL::Platform {

std::u16string UpperCaseLocale(std::u16string_view s) {
  std::u16string out(s);
  if (!out.empty())
    LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE, reinterpret_cast<LPCWSTR>(s.data()),
                  static_cast<int>(s.size()), reinterpret_cast<LPWSTR>(out.data()),
                  static_cast<int>(out.size()), nullptr, nullptr, 0);
  return out;
}

} // namespace KVL::Platform
