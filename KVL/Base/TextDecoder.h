// Reading and writing text files: byte-order marks, the default code page, encode/decode.
#pragma once

#include <string>
#include <string_view>

#include "KVL/Base/Streams.h"

namespace KVL::Text {

enum class TTextEncodingKind { tekUtf16LE, tekUtf16BE, tekUtf8, tekAnsi };

// How a text is stored: one of the Unicode forms (written with their byte-order mark)
// or an 8-bit code page (written without one).
struct TTextEncoding {
  TTextEncodingKind Kind = TTextEncodingKind::tekUtf16LE;
  unsigned CodePage = 0;  // tekAnsi only; 0 = the system's ANSI code page

  static TTextEncoding Utf16LE() { return {TTextEncodingKind::tekUtf16LE, 0}; }
  static TTextEncoding Utf16BE() { return {TTextEncodingKind::tekUtf16BE, 0}; }
  static TTextEncoding Utf8() { return {TTextEncodingKind::tekUtf8, 0}; }
  static TTextEncoding Ansi(unsigned codePage) { return {TTextEncodingKind::tekAnsi, codePage}; }

  bool operator==(const TTextEncoding&) const = default;
};

// The process-wide code page for text without a byte-order mark; 0 (the initial value)
// stands for the system's ANSI code page.
unsigned DefaultCodePage();
void SetDefaultCodePage(unsigned codePage);

struct TDecodedText {
  std::string Text;  // UTF-8
  TTextEncoding Encoding;
};

// Detects the byte-order mark (EF BB BF, FF FE, FE FF) and decodes the rest; without a
// mark the bytes are in the default code page. Bytes that do not decode in the detected
// encoding are decoded in the default code page instead, and when even that fails, in
// Windows-1252, which takes any byte; Encoding names the one that was used.
TDecodedText DecodeText(std::string_view bytes);
// Decodes from the stream's position to its end.
TDecodedText DecodeStream(Streams::TKVLStream& stream);

// The byte-order mark written for the encoding (empty for a code page).
std::string_view Preamble(const TTextEncoding& encoding);
// Byte-order mark + the text in the encoding; characters a code page lacks become '?'.
std::string EncodeText(std::string_view utf8, const TTextEncoding& encoding);

} // namespace KVL::Text
