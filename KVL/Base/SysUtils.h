// Base exceptions and UTF-8/UTF-16 string helpers of the component library.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace KVL::SysUtils {

// Root of every library and installer exception; the message is UTF-8.
class EKVLError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A call that is not valid in the object's state or with its data ("LZMA Error (%d)").
class EKVLInvalidOperation : public EKVLError {
public:
  using EKVLError::EKVLError;
};

class EKVLStreamError : public EKVLError {
public:
  using EKVLError::EKVLError;
};

// A stream delivered fewer bytes than a caller demanded: "Stream read error".
class EKVLReadError : public EKVLStreamError {
public:
  EKVLReadError();
};

// A stream accepted fewer bytes than a caller handed it: "Stream write error".
class EKVLWriteError : public EKVLStreamError {
public:
  EKVLWriteError();
};

// A file could not be opened or created; the message names the file and the system's reason.
class EKVLFileOpenError : public EKVLStreamError {
public:
  using EKVLStreamError::EKVLStreamError;
};

// A named resource of the executable is missing: "Resource %s not found".
class EKVLResourceNotFound : public EKVLError {
public:
  explicit EKVLResourceNotFound(const std::string& name);
};

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// UTF-8 <-> UTF-16. Invalid input sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
// Appends one code point (up to U+10FFFF) encoded as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);
// UTF-16 text from and to its little-endian bytes (an odd last byte is ignored).
std::u16string Utf16FromLEBytes(std::string_view bytes);
std::string Utf16ToLEBytes(std::u16string_view s);
// Strict check: true when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view s);

// Removes every character below 33 from both ends.
std::string Trim(std::string_view s);

// ASCII-only case folding: letters a-z and A-Z are equal, everything else exact.
bool SameTextAscii(std::string_view a, std::string_view b);

// Case-insensitive comparison in the user's locale; texts of different UTF-16 length
// never match.
bool SameText(std::string_view a, std::string_view b);
// text begins with prefix, compared as SameText does; an empty prefix never matches.
bool StartsText(std::string_view text, std::string_view prefix);
std::u16string UpperCase(std::u16string_view s);
std::string UpperCase(std::string_view s);

// Natural order: runs of digits compare by numeric value, other text ignoring case
// ("Lang9" < "Lang10"). Negative, zero or positive like strcmp.
int NaturalCompareText(std::string_view a, std::string_view b);

// Signed 32-bit integer parse: leading blanks, an optional sign, then decimal digits
// or $/0x and hex digits; false for anything else (trailing text, overflow).
bool TryStrToInt(std::string_view s, int32_t& value);

} // namespace KVL::SysUtils
