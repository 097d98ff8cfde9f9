// Base exceptions and string helpers of the component library.
#include "KVL/Base/SysUtils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "KVL/Base/Platform/Locale.h"

namespace KVL::SysUtils {

EKVLReadError::EKVLReadError() : EKVLStreamError("Stream read error") {}
EKVLWriteError::EKVLWriteError() : EKVLStreamError("Stream write error") {}
EKVLResourceNotFound::EKVLResourceNotFound(const std::string& name)
    : EKVLError(Format("Resource %s not found", name.c_str())) {}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n));
    std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  }
  va_end(args);
  return out;
}

namespace {
// Decodes one UTF-8 sequence at s[i]; returns the code point or -1 when malformed.
int32_t DecodeUtf8(std::string_view s, size_t& i) {
  auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  uint8_t c = b(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int len;
  int32_t cp;
  int32_t min;
  if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
  else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
  else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
  else { ++i; return -1; }
  if (i + len > s.size()) { ++i; return -1; }
  for (int k = 1; k < len; ++k) {
    uint8_t t = b(i + k);
    if ((t & 0xC0) != 0x80) { ++i; return -1; }
    cp = (cp << 6) | (t & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return -1; }
  i += len;
  return cp;
}
} // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    uint8_t c = static_cast<uint8_t>(s[i]);
    if (c < 0x80) {  // fast path for ASCII
      out.push_back(c);
      ++i;
      continue;
    }
    int32_t cp = DecodeUtf8(s, i);
    if (cp < 0) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string Utf16FromLEBytes(std::string_view b) {
  std::u16string s(b.size() / 2, u'\0');
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<char16_t>(static_cast<uint8_t>(b[2 * i]) | (static_cast<uint8_t>(b[2 * i + 1]) << 8));
  return s;
}

std::string Utf16ToLEBytes(std::u16string_view s) {
  std::string b(s.size() * 2, '\0');
  for (size_t i = 0; i < s.size(); ++i) {
    b[2 * i] = static_cast<char>(s[i] & 0xFF);
    b[2 * i + 1] = static_cast<char>(s[i] >> 8);
  }
  return b;
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size())
    if (DecodeUtf8(s, i) < 0) return false;
  return true;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint8_t>(s[b]) < 33) ++b;
  while (e > b && static_cast<uint8_t>(s[e - 1]) < 33) --e;
  return std::string(s.substr(b, e - b));
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::u16string UpperCase(std::u16string_view s) { return Platform::UpperCaseLocale(s); }

std::string UpperCase(std::string_view s) { return Utf16ToUtf8(UpperCase(Utf8ToUtf16(s))); }

bool StartsText(std::string_view text, std::string_view prefix) {
  return !prefix.empty() && text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool SameText(std::string_view a, std::string_view b) {
  bool ascii = true;
  for (char c : a) ascii &= static_cast<uint8_t>(c) < 0x80;
  for (char c : b) ascii &= static_cast<uint8_t>(c) < 0x80;
  if (ascii) return SameTextAscii(a, b);
  std::u16string wa = Utf8ToUtf16(a), wb = Utf8ToUtf16(b);
  return wa.size() == wb.size() && UpperCase(wa) == UpperCase(wb);
}

int NaturalCompareText(std::string_view a, std::string_view b) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      // Compare values without converting: skip leading zeros, then length, then digits.
      size_t zi = i, zj = j;
      while (zi + 1 < ei && a[zi] == '0') ++zi;
      while (zj + 1 < ej && b[zj] == '0') ++zj;
      if (ei - zi != ej - zj) return ei - zi < ej - zj ? -1 : 1;
      int c = a.substr(zi, ei - zi).compare(b.substr(zj, ej - zj));
      if (c != 0) return c < 0 ? -1 : 1;
      i = ei;
      j = ej;
      continue;
    }
    size_t ei = i, ej = j;
    while (ei < a.size() && !digit(a[ei])) ++ei;
    while (ej < b.size() && !digit(b[ej])) ++ej;
    std::u16string ta = UpperCase(Utf8ToUtf16(a.substr(i, ei - i)));
    std::u16string tb = UpperCase(Utf8ToUtf16(b.substr(j, ej - j)));
    if (ta != tb) {
      // Only the common prefix decides; a shorter run that is a prefix sorts first.
      size_t n = std::min(ta.size(), tb.size());
      for (size_t k = 0; k < n; ++k)
        if (ta[k] != tb[k]) return ta[k] < tb[k] ? -1 : 1;
      if (ta.size() != tb.size()) {
        // "a" vs "ab1": the shorter run is followed by a digit or the end.
        return ta.size() < tb.size() ? -1 : 1;
      }
    }
    i = ei;
    j = ej;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool TryStrToInt(std::string_view s, int32_t& value) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') { base = 16; ++i; }
  else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) { base = 16; i += 2; }
  if (i >= s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * base + d;
    // Hex literals may spell the full 32-bit pattern ($FFFFFFFF = -1), as usual for hex.
    if (v > (base == 16 ? int64_t(0xFFFFFFFF) : int64_t(0x80000000))) return false;
  }
  if (base == 16) {
    uint32_t bits = static_cast<uint32_t>(v);
    value = static_cast<int32_t>(neg ? 0u - bits : bits);
    return true;
  }
  if (neg) v = -v;
  if (v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

} // namespace KVL::SysUtils
