// POSIX code pages through glibc's iconv, with single-byte pages made to decode as Windows does.
#include "KVL/Base/Platform/CodePage.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {

constexpr unsigned kUtf8 = 65001;
constexpr unsigned kUtf16LE = 1200;
constexpr unsigned kUtf16BE = 1201;

// Files without a byte-order mark written on Windows machines are far more often
// Windows-1252 than anything else, and every byte decodes in it; so that stands in
// for the ANSI code page on systems that have none.
constexpr unsigned kFallbackAnsi = 1252;

// Windows numbers of the pages whose characters are all one byte long.
bool IsSingleBytePage(unsigned cp) {
  switch (cp) {
    case 437: case 737: case 775: case 850: case 852: case 855: case 857: case 858:
    case 860: case 861: case 862: case 863: case 864: case 865: case 866: case 869:
    case 874: case 1125: case 10000: case 10007: case 20866: case 21866:
      return true;
    default:
      return (cp >= 1250 && cp <= 1258) || (cp >= 28591 && cp <= 28599) || cp == 28603 || cp == 28605;
  }
}

// The iconv name of a Windows code page number; empty when we know of none.
std::string IconvName(unsigned cp) {
  if (cp >= 28591 && cp <= 28605) return "ISO-8859-" + std::to_string(cp - 28590);
  switch (cp) {
    case 936: return "CP936";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 50220: return "ISO-2022-JP";
    case 65000: return "UTF-7";
    case 12000: return "UTF-32LE";
    case 12001: return "UTF-32BE";
    default: break;
  }
  if (IsSingleBytePage(cp) || cp == 932 || cp == 949 || cp == 950) return "CP" + std::to_string(cp);
  return {};
}

// Windows maps the bytes a page leaves undefined instead of rejecting them: a few to
// private-use characters (these lists), every other one to the character of the same number.
char16_t WindowsUndefinedByte(unsigned cp, uint8_t b) {
  switch (cp) {
    case 874:
      if (b >= 0xDB && b <= 0xDE) return static_cast<char16_t>(0xF8C1 + (b - 0xDB));
      if (b >= 0xFC) return static_cast<char16_t>(0xF8C5 + (b - 0xFC));
      break;
    case 1253:
      if (b == 0xAA) return 0xF8F9;
      if (b == 0xD2) return 0xF8FA;
      if (b == 0xFF) return 0xF8FB;
      break;
    case 1255:
      if (b == 0xCA) return 0x05BA;  // defined by Windows, missing from older tables
      if (b >= 0xD9 && b <= 0xDF) return static_cast<char16_t>(0xF88D + (b - 0xD9));
      if (b == 0xFB) return 0xF894;
      if (b == 0xFC) return 0xF895;
      if (b == 0xFF) return 0xF896;
      break;
    case 1257:
      if (b == 0xA1) return 0xF8FC;
      if (b == 0xA5) return 0xF8FD;
      break;
    default:
      break;
  }
  return b;
}

class TIconv {
public:
  TIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~TIconv() {
    if (IsOpen()) iconv_close(cd_);
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;
  bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Handle() const { return cd_; }
  void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
  iconv_t cd_;
};

// Converts the whole input; false when iconv rejects any of it.
bool IconvAll(TIconv& cv, const char* in, size_t inLen, std::string& out) {
  cv.Reset();
  out.clear();
  char buf[4096];
  char* src = const_cast<char*>(in);
  size_t left = inLen;
  for (;;) {
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = left > 0 ? iconv(cv.Handle(), &src, &left, &dst, &room)
                        : iconv(cv.Handle(), nullptr, nullptr, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      return false;  // EILSEQ, or EINVAL for a sequence cut off at the end
    }
    if (left == 0) {
      // Flush any shift state, then done.
      dst = buf;
      room = sizeof buf;
      if (iconv(cv.Handle(), nullptr, nullptr, &dst, &room) == static_cast<size_t>(-1)) return false;
      out.append(buf, static_cast<size_t>(dst - buf));
      return true;
    }
  }
}

// A single-byte page as a pair of tables, built once from iconv byte by byte so that
// undefined bytes can take the Windows meaning and stateful converters cannot combine.
struct TSingleBytePage {
  char16_t toUnicode[256];
  std::unordered_map<char16_t, uint8_t> fromUnicode;
};

const TSingleBytePage* SingleBytePage(unsigned cp) {
  static std::mutex lock;
  static std::map<unsigned, std::unique_ptr<TSingleBytePage>> pages;
  std::lock_guard<std::mutex> guard(lock);
  auto it = pages.find(cp);
  if (it != pages.end()) return it->second.get();
  TIconv cv("UTF-16LE", IconvName(cp).c_str());
  if (!cv.IsOpen()) return nullptr;
  auto page = std::make_unique<TSingleBytePage>();
  std::string out;
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    std::u16string w;
    if (IconvAll(cv, &c, 1, out)) w = SysUtils::Utf16FromLEBytes(out);
    page->toUnicode[b] = w.size() == 1 ? w[0] : WindowsUndefinedByte(cp, static_cast<uint8_t>(b));
  }
  // Where two bytes share a character, the lower byte is the one written back.
  for (int b = 255; b >= 0; --b) page->fromUnicode[page->toUnicode[b]] = static_cast<uint8_t>(b);
  return pages.emplace(cp, std::move(page)).first->second.get();
}

// Code units of the character at i: 2 for a surrogate pair, else 1.
size_t CharLength(std::u16string_view s, size_t i) {
  return s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF ? 2 : 1;
}

unsigned Resolve(unsigned cp) { return cp == 0 ? SystemAnsiCodePage() : cp; }

} // namespace

unsigned SystemAnsiCodePage() { return kFallbackAnsi; }

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out) {
  unsigned cp = Resolve(codePage);
  switch (cp) {
    case kUtf8:
      if (!SysUtils::IsValidUtf8(bytes)) return false;
      out = SysUtils::Utf8ToUtf16(bytes);
      return true;
    case kUtf16LE:
      out = SysUtils::Utf16FromLEBytes(bytes);
      return true;
    case kUtf16BE: {
      std::u16string s = SysUtils::Utf16FromLEBytes(bytes);
      for (char16_t& c : s) c = static_cast<char16_t>((c >> 8) | (c << 8));
      out = std::move(s);
      return true;
    }
    default:
      break;
  }
  if (IsSingleBytePage(cp)) {
    const TSingleBytePage* page = SingleBytePage(cp);
    if (!page) return false;
    std::u16string s(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) s[i] = page->toUnicode[static_cast<uint8_t>(bytes[i])];
    out = std::move(s);
    return true;
  }
  std::string name = IconvName(cp);
  if (name.empty()) return false;
  TIconv cv("UTF-16LE", name.c_str());
  if (!cv.IsOpen()) return false;
  std::string raw;
  if (!IconvAll(cv, bytes.data(), bytes.size(), raw)) return false;
  out = SysUtils::Utf16FromLEBytes(raw);
  return true;
}

std::string EncodeCodePage(unsigned codePage, std::u16string_view text) {
  unsigned cp = Resolve(codePage);
  switch (cp) {
    case kUtf8:
      return SysUtils::Utf16ToUtf8(text);
    case kUtf16LE:
      return SysUtils::Utf16ToLEBytes(text);
    case kUtf16BE: {
      std::string b = SysUtils::Utf16ToLEBytes(text);
      for (size_t i = 0; i + 1 < b.size(); i += 2) std::swap(b[i], b[i + 1]);
      return b;
    }
    default:
      break;
  }
  const TSingleBytePage* page = IsSingleBytePage(cp) ? SingleBytePage(cp) : nullptr;
  std::string out;
  out.reserve(text.size());
  if (page) {
    for (size_t i = 0; i < text.size(); ++i) {
      auto it = page->fromUnicode.find(text[i]);
      out.push_back(it != page->fromUnicode.end() ? static_cast<char>(it->second) : '?');
    }
    return out;
  }
  std::string name = IconvName(cp);
  TIconv cv(name.empty() ? "ASCII" : name.c_str(), "UTF-16LE");
  if (name.empty() || !cv.IsOpen()) {
    // An unknown page can hold nothing beyond ASCII.
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
  }
  std::string in = SysUtils::Utf16ToLEBytes(text);
  if (IconvAll(cv, in.data(), in.size(), out)) return out;
  // Something the page lacks: go character by character so that only that one becomes
  // '?' (one per UTF-16 unit, as Windows writes it).
  out.clear();
  std::string piece;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t n = CharLength(text, i);
    in = SysUtils::Utf16ToLEBytes(text.substr(i, n));
    if (IconvAll(cv, in.data(), in.size(), piece)) out += piece;
    else out.append(n, '?');
    i += n - 1;
  }
  return out;
}

} // namespace KVL::Platform
