// Win32 code pages through MultiByteToWideChar and WideCharToMultiByte.
#include "KVL/Base/Platform/CodePage.h"

#include "KVL/Base/SysUtils.h"

#include <windows.h>

namespace KVL::Platform {

namespace {

constexpr unsigned kUtf16LE = 1200;
constexpr unsigned kUtf16BE = 1201;

// Pages for which Windows refuses the strictness and best-fit flags.
bool TakesNoFlags(unsigned cp) {
  return cp == 42 || (cp >= 50220 && cp <= 50229) || cp == 52936 || cp == 54936 ||
         (cp >= 57002 && cp <= 57011) || cp == 65000;
}

} // namespace

unsigned SystemAnsiCodePage() { return GetACP(); }

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out) {
  unsigned cp = codePage == 0 ? SystemAnsiCodePage() : codePage;
  if (cp == kUtf16LE || cp == kUtf16BE) {
    std::u16string s = SysUtils::Utf16FromLEBytes(bytes);
    if (cp == kUtf16BE)
      for (char16_t& c : s) c = static_cast<char16_t>((c >> 8) | (c << 8));
    out = std::move(s);
    return true;
  }
  CPINFO info;
  if (cp != CP_UTF8 && !GetCPInfo(cp, &info)) return false;  // unknown page
  if (bytes.empty()) {
    out.clear();
    return true;
  }
  // Single-byte pages decode every byte (undefined ones included), as everywhere else;
  // UTF-8 and the multi-byte pages are checked.
  DWORD flags = 0;
  if (cp == CP_UTF8 || (info.MaxCharSize > 1 && !TakesNoFlags(cp))) flags = MB_ERR_INVALID_CHARS;
  int len = static_cast<int>(bytes.size());
  int n = MultiByteToWideChar(cp, flags, bytes.data(), len, nullptr, 0);
  if (n <= 0) return false;
  std::u16string s(static_cast<size_t>(n), u'\0');
  if (MultiByteToWideChar(cp, flags, bytes.data(), len, reinterpret_cast<LPWSTR>(s.data()), n) != n) return false;
  out = std::move(s);
  return true;
}

std::string EncodeCodePage(unsigned codePage, std::u16string_view text) {
  unsigned cp = codePage == 0 ? SystemAnsiCodePage() : codePage;
  if (cp == kUtf16LE || cp == kUtf16BE) {
    std::string b = SysUtils::Utf16ToLEBytes(text);
    if (cp == kUtf16BE)
      for (size_t i = 0; i + 1 < b.size(); i += 2) std::swap(b[i], b[i + 1]);
    return b;
  }
  if (text.empty()) return {};
  // No best-fit substitutes ('A' for 'Ā'): what the page lacks becomes '?', as on other systems.
  DWORD flags = 0;
  const char* defaultChar = nullptr;
  if (cp != CP_UTF8 && !TakesNoFlags(cp)) {
    flags = WC_NO_BEST_FIT_CHARS;
    defaultChar = "?";
  }
  auto src = reinterpret_cast<LPCWSTR>(text.data());
  int len = static_cast<int>(text.size());
  int n = WideCharToMultiByte(cp, flags, src, len, nullptr, 0, defaultChar, nullptr);
  if (n <= 0) {
    // Unknown page: only ASCII survives.
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
  }
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, flags, src, len, out.data(), n, defaultChar, nullptr);
  return out;
}

} // namespace KVL::Platform
