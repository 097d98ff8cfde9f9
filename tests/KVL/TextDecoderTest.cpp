// Text decoding: byte-order marks, the default code page and its fallbacks, encoding.
#include <gtest/gtest.h>

#include "KVL/Base/Streams.h"
#include "KVL/Base/TextDecoder.h"

using namespace KVL::Text;

namespace {

// Pins the default code page for a test and puts the old one back afterwards.
class TextDecoderTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved_ = DefaultCodePage();
    SetDefaultCodePage(1252);
  }
  void TearDown() override { SetDefaultCodePage(saved_); }

private:
  unsigned saved_ = 0;
};

struct TDecodeCase {
  const char* label;
  std::string bytes;
  std::string text;
  TTextEncoding encoding;
};

} // namespace

TEST_F(TextDecoderTest, DetectsMarksAndFallsBack) {
  const TDecodeCase cases[] = {
      {"UTF-8 mark", "\xEF\xBB\xBF" "a\xC3\xA9", "a\xC3\xA9", TTextEncoding::Utf8()},
      {"UTF-16LE mark", std::string("\xFF\xFE" "a\0\xE9\0", 6), "a\xC3\xA9", TTextEncoding::Utf16LE()},
      {"UTF-16BE mark", std::string("\xFE\xFF\0a\0\xE9", 6), "a\xC3\xA9", TTextEncoding::Utf16BE()},
      {"no mark: default page", "a\xE9", "a\xC3\xA9", TTextEncoding::Ansi(1252)},
      {"bad UTF-8 after its mark: default page", "\xEF\xBB\xBF\xE9", "\xC3\xA9", TTextEncoding::Ansi(1252)},
      {"mark only", "\xEF\xBB\xBF", "", TTextEncoding::Utf8()},
      {"nothing", "", "", TTextEncoding::Ansi(1252)},
      {"odd UTF-16 byte dropped", std::string("\xFF\xFE" "a\0b", 5), "a", TTextEncoding::Utf16LE()},
      {"lone surrogate", std::string("\xFF\xFE\x00\xD8", 4), "\xEF\xBF\xBD", TTextEncoding::Utf16LE()},
      {"a mark-like pair of 8-bit bytes is a mark", "\xFF\xFE", "", TTextEncoding::Utf16LE()},
  };
  for (const TDecodeCase& c : cases) {
    TDecodedText d = DecodeText(c.bytes);
    EXPECT_EQ(d.Text, c.text) << c.label;
    EXPECT_EQ(d.Encoding, c.encoding) << c.label;
  }
}

TEST_F(TextDecoderTest, DefaultCodePageGovernsUnmarkedText) {
  SetDefaultCodePage(1251);
  TDecodedText d = DecodeText("\xC0\xFF");
  EXPECT_EQ(d.Text, "\xD0\x90\xD1\x8F");  // А я
  EXPECT_EQ(d.Encoding, TTextEncoding::Ansi(1251));
}

TEST_F(TextDecoderTest, BytesNoPageTakesDecodeAsWindows1252) {
  // UTF-8 as the default page: invalid bytes fail there too and end in Windows-1252.
  SetDefaultCodePage(65001);
  EXPECT_EQ(DecodeText("\xC3\xA9").Text, "\xC3\xA9");
  TDecodedText d = DecodeText("\xE9");
  EXPECT_EQ(d.Text, "\xC3\xA9");
  EXPECT_EQ(d.Encoding, TTextEncoding::Ansi(1252));
}

TEST_F(TextDecoderTest, ZeroDefaultResolvesToTheSystemPage) {
  SetDefaultCodePage(0);
  EXPECT_EQ(DecodeText("a").Encoding.Kind, TTextEncodingKind::tekAnsi);
  EXPECT_NE(DecodeText("a").Encoding.CodePage, 0u);
}

TEST_F(TextDecoderTest, StreamIsDecodedFromItsPosition) {
  KVL::Streams::TKVLMemoryStream m;
  std::string bytes = "xx\xEF\xBB\xBFok";
  m.WriteBuffer(bytes.data(), bytes.size());
  m.SetPosition(2);
  TDecodedText d = DecodeStream(m);
  EXPECT_EQ(d.Text, "ok");
  EXPECT_EQ(d.Encoding, TTextEncoding::Utf8());
  EXPECT_EQ(m.Position(), m.Size());
}

TEST_F(TextDecoderTest, EncodeWritesMarkAndTextAndDecodesBack) {
  const std::string text = "a\xC3\xA9\xD0\x90";  // a é А
  struct {
    TTextEncoding encoding;
    std::string bytes;
  } cases[] = {
      {TTextEncoding::Utf16LE(), std::string("\xFF\xFE" "a\0\xE9\0\x10\x04", 8)},
      {TTextEncoding::Utf16BE(), std::string("\xFE\xFF\0a\0\xE9\x04\x10", 8)},
      {TTextEncoding::Utf8(), "\xEF\xBB\xBF" + text},
      {TTextEncoding::Ansi(1252), "a\xE9?"},
      {TTextEncoding::Ansi(1251), "a?\xC0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeText(text, c.encoding), c.bytes) << int(c.encoding.Kind) << " " << c.encoding.CodePage;
    if (c.encoding.Kind != TTextEncodingKind::tekAnsi) {
      EXPECT_EQ(DecodeText(c.bytes).Text, text);
    }
  }
}
