// Code pages: Windows-identical single-byte tables, strict UTF-8, encoding with '?'.
#include <gtest/gtest.h>

#include "KVL/Base/Platform/CodePage.h"

using namespace KVL::Platform;

namespace {

std::u16string Decode(unsigned cp, std::string_view bytes) {
  std::u16string out = u"<untouched>";
  EXPECT_TRUE(DecodeCodePage(cp, bytes, out)) << "code page " << cp;
  return out;
}

struct TByteCase {
  unsigned codePage;
  uint8_t byte;
  char16_t expected;
};

// Bytes whose meaning differs between pages or that some tables leave undefined; the
// expected characters are what Windows' MultiByteToWideChar gives.
const TByteCase kByteCases[] = {
    {1252, 0x41, u'A'},    {1252, 0x80, 0x20AC},  {1252, 0x81, 0x0081},  {1252, 0x8D, 0x008D},
    {1252, 0x8F, 0x008F},  {1252, 0x90, 0x0090},  {1252, 0x9D, 0x009D},  {1252, 0x9F, 0x0178},
    {1252, 0xE9, 0x00E9},  {1252, 0xFF, 0x00FF},  {1251, 0x80, 0x0402},  {1251, 0x88, 0x20AC},
    {1251, 0x98, 0x0098},  {1251, 0xA8, 0x0401},  {1251, 0xB9, 0x2116},  {1251, 0xC0, 0x0410},
    {1251, 0xFF, 0x044F},  {1250, 0x81, 0x0081},  {1250, 0x8A, 0x0160},  {1253, 0xAA, 0xF8F9},
    {1253, 0xC1, 0x0391},  {1255, 0xCA, 0x05BA},  {1255, 0xD9, 0xF88D},  {1257, 0xA1, 0xF8FC},
    {874, 0xDB, 0xF8C1},   {874, 0xA1, 0x0E01},   {866, 0x80, 0x0410},   {20866, 0xC1, 0x0430},
};

} // namespace

TEST(CodePage, SingleByteTablesMatchWindows) {
  for (const TByteCase& c : kByteCases) {
    std::string b(1, static_cast<char>(c.byte));
    EXPECT_EQ(Decode(c.codePage, b), std::u16string(1, c.expected))
        << "code page " << c.codePage << " byte 0x" << std::hex << int(c.byte);
  }
}

TEST(CodePage, EveryByteOfAnAnsiPageSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  for (unsigned cp : {1250u, 1251u, 1252u, 1253u, 1254u, 1256u, 1257u}) {
    std::u16string text = Decode(cp, all);
    ASSERT_EQ(text.size(), 256u) << cp;
    EXPECT_EQ(EncodeCodePage(cp, text), all) << cp;
  }
}

TEST(CodePage, ZeroStandsForTheSystemAnsiPage) {
  std::string bytes = "\x80\xC0\xE9";
  EXPECT_EQ(Decode(0, bytes), Decode(SystemAnsiCodePage(), bytes));
#ifndef _WIN32
  EXPECT_EQ(SystemAnsiCodePage(), 1252u);
#endif
}

TEST(CodePage, Utf8IsCheckedStrictly) {
  EXPECT_EQ(Decode(65001, "a\xC3\xA9\xF0\x9F\x8E\xB5"), u"a\u00E9\U0001F3B5");
  std::u16string out = u"kept";
  for (std::string_view bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xFF", "a\x80"}) {
    EXPECT_FALSE(DecodeCodePage(65001, bad, out)) << bad;
    EXPECT_EQ(out, u"kept");
  }
}

TEST(CodePage, Utf16InBothByteOrders) {
  EXPECT_EQ(Decode(1200, std::string("A\0\x04\x04", 4)), u"A\u0404");
  EXPECT_EQ(Decode(1201, std::string("\0A\x04\x04", 4)), u"A\u0404");
  EXPECT_EQ(EncodeCodePage(1201, u"A"), std::string("\0A", 2));
}

TEST(CodePage, MultiBytePages) {
  EXPECT_EQ(Decode(932, "a\x82\xA0"), u"a\u3042");
  EXPECT_EQ(EncodeCodePage(932, u"\u3042"), "\x82\xA0");
  std::u16string out;
  EXPECT_FALSE(DecodeCodePage(932, "a\x82", out));  // lead byte without its trail byte
}

TEST(CodePage, UnknownPageDecodesNothing) {
  std::u16string out = u"kept";
  EXPECT_FALSE(DecodeCodePage(4711, "abc", out));
  EXPECT_EQ(out, u"kept");
}

TEST(CodePage, CharactersThePageLacksBecomeQuestionMarks) {
  // No best-fit substitutes: U+0100 is not written as 'A'. Each half of a surrogate pair
  // becomes a '?', as Windows writes it.
  EXPECT_EQ(EncodeCodePage(1252, u"a\u0100b\U0001F3B5c"), "a?b??c");
  EXPECT_EQ(EncodeCodePage(1251, u"\u0410\u00E9"), "\xC0?");
  EXPECT_EQ(EncodeCodePage(65001, u"\u00E9"), "\xC3\xA9");
}
