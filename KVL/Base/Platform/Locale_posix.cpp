// POSIX case mapping through the C.UTF-8 locale, independent of the process locale.
#include "KVL/Base/Platform/Locale.h"

#include <locale.h>
#include <wctype.h>

namespace KVL::Platform {

namespace {
locale_t Utf8Locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }();
  return loc;
}
} // namespace

std::u16string UpperCaseLocale(std::u16string_view s) {
  std::u16string out(s);
  locale_t loc = Utf8Locale();
  for (char16_t& c : out) {
    if (c < 0x80) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    } else if (c < 0xD800 || c > 0xDFFF) {
      wint_t u = towupper_l(static_cast<wint_t>(c), loc);
      if (u <= 0xFFFF) c = static_cast<char16_t>(u);
    }
  }
  return out;
}

} // namespace KVL::Platform
