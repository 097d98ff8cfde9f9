// Platform service: 8-bit Windows code pages to and from UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace KVL::Platform {

// Code page numbers follow Windows: 0 = the system's ANSI code page, 65001 = UTF-8,
// 1200/1201 = UTF-16LE/BE, 1250-1258, 874, 932, 936, 949, 950, 437, 850, 866, 20866 (KOI8-R), ...

// The code page that 0 stands for: GetACP() on Windows, 1252 elsewhere.
unsigned SystemAnsiCodePage();

// Decodes bytes; false (out untouched) when the code page is unknown or the bytes are
// not valid in it (UTF-8 is checked strictly). Single-byte pages decode every byte.
bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out);

// Encodes text; characters the page cannot hold become '?', one per UTF-16 code unit
// (so a character outside the BMP becomes "??"), as Windows does.
std::string EncodeCodePage(unsigned codePage, std::u16string_view text);

} // namespace KVL::Platform
