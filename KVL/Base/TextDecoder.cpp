// Reading and writing text files: byte-order marks, the default code page, encode/decode.
#include "KVL/Base/TextDecoder.h"

#include <atomic>
#include <vector>

#include "KVL/Base/Platform/CodePage.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Text {

namespace {

std::atomic<unsigned> gDefaultCodePage{0};

constexpr unsigned kCpUtf8 = 65001;
constexpr unsigned kCpUtf16LE = 1200;
constexpr unsigned kCpUtf16BE = 1201;
// Takes every byte, so text that decodes nowhere else still loads (and saves back unchanged).
constexpr unsigned kLastResortCodePage = 1252;

unsigned ResolvedDefault() {
  unsigned cp = gDefaultCodePage.load();
  return cp == 0 ? Platform::SystemAnsiCodePage() : cp;
}

unsigned CodePageOf(const TTextEncoding& e) {
  switch (e.Kind) {
    case TTextEncodingKind::tekUtf16LE: return kCpUtf16LE;
    case TTextEncodingKind::tekUtf16BE: return kCpUtf16BE;
    case TTextEncodingKind::tekUtf8: return kCpUtf8;
    case TTextEncodingKind::tekAnsi: return e.CodePage;
  }
  return e.CodePage;
}

} // namespace

unsigned DefaultCodePage() { return gDefaultCodePage.load(); }

void SetDefaultCodePage(unsigned codePage) { gDefaultCodePage.store(codePage); }

TDecodedText DecodeText(std::string_view bytes) {
  TDecodedText r;
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  std::string_view rest = bytes;
  if (starts("\xEF\xBB\xBF")) {
    r.Encoding = TTextEncoding::Utf8();
    rest.remove_prefix(3);
  } else if (starts("\xFF\xFE")) {
    r.Encoding = TTextEncoding::Utf16LE();
    rest.remove_prefix(2);
  } else if (starts("\xFE\xFF")) {
    r.Encoding = TTextEncoding::Utf16BE();
    rest.remove_prefix(2);
  } else {
    r.Encoding = TTextEncoding::Ansi(ResolvedDefault());
  }
  if (rest.empty()) return r;

  std::u16string w;
  if (!Platform::DecodeCodePage(CodePageOf(r.Encoding), rest, w)) {
    r.Encoding = TTextEncoding::Ansi(ResolvedDefault());
    if (!Platform::DecodeCodePage(r.Encoding.CodePage, rest, w)) {
      r.Encoding = TTextEncoding::Ansi(kLastResortCodePage);
      Platform::DecodeCodePage(kLastResortCodePage, rest, w);
    }
  }
  r.Text = SysUtils::Utf16ToUtf8(w);
  return r;
}

TDecodedText DecodeStream(Streams::TKVLStream& stream) {
  int64_t left = stream.Size() - stream.Position();
  std::string bytes(left > 0 ? static_cast<size_t>(left) : 0, '\0');
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), bytes.size());
  return DecodeText(bytes);
}

std::string_view Preamble(const TTextEncoding& encoding) {
  switch (encoding.Kind) {
    case TTextEncodingKind::tekUtf16LE: return "\xFF\xFE";
    case TTextEncodingKind::tekUtf16BE: return "\xFE\xFF";
    case TTextEncodingKind::tekUtf8: return "\xEF\xBB\xBF";
    case TTextEncodingKind::tekAnsi: break;
  }
  return {};
}

std::string EncodeText(std::string_view utf8, const TTextEncoding& encoding) {
  std::string out(Preamble(encoding));
  if (encoding.Kind == TTextEncodingKind::tekUtf8 && SysUtils::IsValidUtf8(utf8)) {
    // Already UTF-8 inside; the round trip through UTF-16 would only cost time.
    out.append(utf8);
    return out;
  }
  out += Platform::EncodeCodePage(CodePageOf(encoding), SysUtils::Utf8ToUtf16(utf8));
  return out;
}

} // namespace KVL::Text
