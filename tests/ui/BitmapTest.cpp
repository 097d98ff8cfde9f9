// Bitmaps: PNG encoding and decoding, and icon files with PNG and DIB entries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "KVL/UI/Bitmap.h"
#include "TestUtil.h"

using namespace KVL::UI;

namespace {

using TBytes = std::vector<uint8_t>;

void Put16(TBytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(TBytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// Channel-by-channel comparison with a tolerance for the rounding of (un)premultiplying.
::testing::AssertionResult NearPixel(uint32_t actual, uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    int a = static_cast<int>(actual >> shift & 0xFF);
    int e = static_cast<int>(expected >> shift & 0xFF);
    if (std::abs(a - e) > tolerance)
      return ::testing::AssertionFailure() << std::hex << "pixel 0x" << actual << ", expected 0x" << expected;
  }
  return ::testing::AssertionSuccess();
}

TKVLBitmap SamplePicture() {
  TKVLBitmap b(3, 2);
  b.SetPixel(0, 0, 0xFFFF0000);
  b.SetPixel(1, 0, 0xFF00FF00);
  b.SetPixel(2, 0, 0xFF0000FF);
  b.SetPixel(0, 1, 0x00000000);
  b.SetPixel(1, 1, 0x80402010);  // half-transparent, premultiplied
  b.SetPixel(2, 1, 0xFF123456);
  return b;
}

// Opaque and fully transparent pixels must match exactly; the tolerance is for the others.
void ExpectSamePicture(const TKVLBitmap& actual, const TKVLBitmap& expected, int tolerance) {
  ASSERT_EQ(actual.Width(), expected.Width());
  ASSERT_EQ(actual.Height(), expected.Height());
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x) {
      uint32_t alpha = expected.Pixel(x, y) >> 24;
      int allowed = alpha == 0 || alpha == 255 ? 0 : tolerance;
      EXPECT_TRUE(NearPixel(actual.Pixel(x, y), expected.Pixel(x, y), allowed)) << "at " << x << "," << y;
    }
}

} // namespace

TEST(BitmapTest, ConstructionFillsAndRejectsNegativeSizes) {
  TKVLBitmap b(4, 3, 0xFF102030);
  EXPECT_EQ(b.Pixel(3, 2), 0xFF102030u);
  EXPECT_TRUE(TKVLBitmap(0, 5).IsEmpty());
  EXPECT_THROW(TKVLBitmap(-1, 5), EKVLGraphics);
}

TEST(BitmapTest, PngRoundTripKeepsPixels) {
  TKVLBitmap source = SamplePicture();
  TBytes png = EncodePNG(source);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');
  TKVLBitmap decoded = DecodePNG(png);
  ExpectSamePicture(decoded, source, 1);
}

TEST(BitmapTest, SavePngWritesAReadableFile) {
  TestUtil::TTempDir dir;
  std::string path = dir.File("picture.png");
  SavePNG(SamplePicture(), path);
  std::string bytes = TestUtil::ReadWholeFile(path);
  ExpectSamePicture(DecodePNG(TBytes(bytes.begin(), bytes.end())), SamplePicture(), 1);
}

TEST(BitmapTest, BrokenPngRaises) {
  TBytes good = EncodePNG(SamplePicture());
  TBytes corrupted = good;
  corrupted[20] ^= 0xFF;  // inside the header chunk, caught by its checksum
  const std::vector<std::pair<const char*, TBytes>> cases = {
      {"empty", {}},
      {"signature only", TBytes(good.begin(), good.begin() + 8)},
      {"half", TBytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
      {"corrupted header", corrupted},
      {"text", TBytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
  };
  for (const auto& [name, bytes] : cases) {
    try {
      DecodePNG(bytes);
      ADD_FAILURE() << name << " decoded";
    } catch (const EKVLGraphics& e) {
      EXPECT_STREQ(e.what(), "Invalid PNG image") << name;
    }
  }
}

// ---- Icons ----

namespace {

struct TIconImage {
  int DirWidth = 0;  // as the directory says (256 → 0)
  int DirHeight = 0;
  int BitCount = 0;
  TBytes Data;
};

TBytes MakeIcon(const std::vector<TIconImage>& images) {
  TBytes b;
  Put16(b, 0);
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (const auto& image : images) {
    b.push_back(static_cast<uint8_t>(image.DirWidth));
    b.push_back(static_cast<uint8_t>(image.DirHeight));
    b.push_back(0);
    b.push_back(0);
    Put16(b, 1);
    Put16(b, static_cast<uint32_t>(image.BitCount));
    Put32(b, static_cast<uint32_t>(image.Data.size()));
    Put32(b, offset);
    offset += static_cast<uint32_t>(image.Data.size());
  }
  for (const auto& image : images) b.insert(b.end(), image.Data.begin(), image.Data.end());
  return b;
}

// A DIB as icons carry it. colors: rows top-down of 0xAARRGGBB (bit depths up to 8 give
// palette indexes instead); mask: rows top-down, true = transparent.
TBytes MakeDib(int bitCount, const std::vector<std::vector<uint32_t>>& colors,
               const std::vector<std::vector<bool>>& mask, const std::vector<uint32_t>& palette = {}) {
  int height = static_cast<int>(colors.size());
  int width = static_cast<int>(colors[0].size());
  TBytes b;
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(width));
  Put32(b, static_cast<uint32_t>(height * 2));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bitCount));
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, static_cast<uint32_t>(palette.size()));
  Put32(b, 0);
  for (uint32_t p : palette) Put32(b, p & 0xFFFFFF);
  size_t stride = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
  for (int row = height - 1; row >= 0; --row) {
    TBytes line(stride, 0);
    for (int x = 0; x < width; ++x) {
      uint32_t v = colors[row][x];
      switch (bitCount) {
        case 32:
          for (int i = 0; i < 4; ++i) line[x * 4 + i] = static_cast<uint8_t>(v >> (8 * i));
          break;
        case 24:
          for (int i = 0; i < 3; ++i) line[x * 3 + i] = static_cast<uint8_t>(v >> (8 * i));
          break;
        case 16: {
          uint32_t c = ((v >> 19) & 31) << 10 | ((v >> 11) & 31) << 5 | ((v >> 3) & 31);
          line[x * 2] = static_cast<uint8_t>(c);
          line[x * 2 + 1] = static_cast<uint8_t>(c >> 8);
          break;
        }
        default: {
          size_t bit = static_cast<size_t>(x) * bitCount;
          line[bit / 8] |= static_cast<uint8_t>(v << (8 - bitCount - bit % 8));
        }
      }
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  if (!mask.empty()) {
    size_t maskStride = (static_cast<size_t>(width) + 31) / 32 * 4;
    for (int row = height - 1; row >= 0; --row) {
      TBytes line(maskStride, 0);
      for (int x = 0; x < width; ++x)
        if (mask[row][x]) line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      b.insert(b.end(), line.begin(), line.end());
    }
  }
  return b;
}

// Each value of every channel survives 5-bit storage, so all depths can carry these.
constexpr uint32_t kInk = 0xFF214284;
constexpr uint32_t kPaper = 0xFFFF4200;
const std::vector<std::vector<bool>> kMask = {
    {false, false, false}, {false, false, false}, {false, false, true}};
// Three wide, so rows need padding at every depth; rows differ, so bottom-up order shows.
TKVLBitmap ExpectedInkPaper() {
  TKVLBitmap b(3, 3, kPaper);
  b.SetPixel(0, 0, kInk);
  b.SetPixel(1, 1, kInk);
  b.SetPixel(2, 2, 0);
  return b;
}

TBytes InkPaperDib(int bitCount) {
  if (bitCount <= 8) return MakeDib(bitCount, {{0, 1, 1}, {1, 0, 1}, {1, 1, 0}}, kMask, {kInk, kPaper});
  // No alpha in these: the mask says what is transparent.
  uint32_t ink = kInk & 0xFFFFFF, paper = kPaper & 0xFFFFFF;
  return MakeDib(bitCount, {{ink, paper, paper}, {paper, ink, paper}, {paper, paper, ink}}, kMask);
}

void ExpectInvalidIcon(const TBytes& bytes, int size, const std::string& name) {
  try {
    DecodeIcon(bytes, size);
    ADD_FAILURE() << name << " decoded";
  } catch (const EKVLGraphics& e) {
    EXPECT_STREQ(e.what(), "Invalid icon image") << name;
  }
}

} // namespace

TEST(IconTest, DibDepthsWithMaskDecodeAlike) {
  for (int bitCount : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bitCount);
    ExpectSamePicture(DecodeIcon(MakeIcon({{3, 3, bitCount, InkPaperDib(bitCount)}}), 3), ExpectedInkPaper(), 0);
  }
}

TEST(IconTest, SquareEntriesDecodeExactly) {
  // 32-bit with alpha (mask ignored), 8-bit with palette and mask, PNG entry.
  std::vector<std::vector<uint32_t>> argb = {{0xFFFF0000, 0x80FF0000}, {0x00000000, 0xFF0000FF}};
  TKVLBitmap alphaExpected(2, 2);
  alphaExpected.SetPixel(0, 0, 0xFFFF0000);
  alphaExpected.SetPixel(1, 0, 0x80800000);  // premultiplied
  alphaExpected.SetPixel(1, 1, 0xFF0000FF);

  std::vector<uint32_t> palette = {0x000000, 0x00FF00, 0x0000FF};
  TKVLBitmap paletteExpected(2, 2);
  paletteExpected.SetPixel(0, 0, 0xFF00FF00);
  paletteExpected.SetPixel(0, 1, 0xFF0000FF);
  paletteExpected.SetPixel(1, 1, 0xFF000000);

  TKVLBitmap png(2, 2, 0xFF00FFFF);
  png.SetPixel(1, 0, 0);

  struct TCase {
    const char* Name;
    TBytes Entry;
    TKVLBitmap Expected;
  };
  const std::vector<TCase> cases = {
      {"32-bit alpha", MakeDib(32, argb, {{true, true}, {true, true}}), alphaExpected},
      {"32-bit without mask", MakeDib(32, argb, {}), alphaExpected},
      {"8-bit palette and mask", MakeDib(8, {{1, 0}, {2, 0}}, {{false, true}, {false, false}}, palette),
       paletteExpected},
      {"png", EncodePNG(png), png},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ExpectSamePicture(DecodeIcon(MakeIcon({{2, 2, 32, c.Entry}}), 2), c.Expected, 0);
  }
}

TEST(IconTest, ChoosesClosestEntryPreferringLarger) {
  // One entry per size, each a plain colour that names it.
  auto plain = [](int side, uint32_t rgb) {
    std::vector<std::vector<uint32_t>> rows(side, std::vector<uint32_t>(side, 0xFF000000 | rgb));
    return TIconImage{side, side, 32, MakeDib(32, rows, {})};
  };
  TBytes icon = MakeIcon({plain(16, 0x000010), plain(48, 0x000048), plain(32, 0x000032), plain(8, 0x000008)});
  const std::vector<std::pair<int, uint32_t>> cases = {
      {16, 0xFF000010}, {32, 0xFF000032}, {20, 0xFF000032}, {40, 0xFF000048}, {64, 0xFF000048}, {4, 0xFF000008}};
  for (const auto& [size, expected] : cases) {
    SCOPED_TRACE(size);
    TKVLBitmap b = DecodeIcon(icon, size);
    ASSERT_EQ(b.Width(), size);
    ASSERT_EQ(b.Height(), size);
    EXPECT_EQ(b.Pixel(0, 0), expected);
    EXPECT_EQ(b.Pixel(size - 1, size - 1), expected);
  }
}

TEST(IconTest, ScalingAveragesPremultipliedPixels) {
  // Two opaque white and two transparent pixels shrink to half-transparent white, not grey.
  TBytes icon = MakeIcon({{2, 2, 32, MakeDib(32, {{0xFFFFFFFF, 0}, {0, 0xFFFFFFFF}}, {})}});
  TKVLBitmap one = DecodeIcon(icon, 1);
  EXPECT_TRUE(NearPixel(one.Pixel(0, 0), 0x80808080, 1));
  // Growing keeps each corner's own pixel.
  TKVLBitmap four = DecodeIcon(icon, 4);
  EXPECT_EQ(four.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(four.Pixel(3, 0), 0u);
  EXPECT_EQ(four.Pixel(3, 3), 0xFFFFFFFFu);
}

TEST(IconTest, BrokenDataRaises) {
  TBytes dib = InkPaperDib(4);
  TBytes good = MakeIcon({{3, 3, 4, dib}});
  ASSERT_NO_THROW(DecodeIcon(good, 3));

  auto patched = [&](size_t at, uint8_t value) {
    TBytes b = good;
    b[at] = value;
    return b;
  };
  TBytes wrongDepth = dib;
  wrongDepth[14] = 7;
  TBytes smallPalette = dib;
  smallPalette[32] = 1;  // one colour, yet the pixels use index 1
  TBytes badHeader = dib;
  badHeader[0] = 12;
  const std::vector<std::pair<const char*, TBytes>> cases = {
      {"empty", {}},
      {"directory only", TBytes(good.begin(), good.begin() + 6)},
      {"no entries", patched(4, 0)},
      {"cursor", patched(2, 2)},
      {"entry beyond data", patched(6 + 12, 0xF0)},
      {"entry length zero", MakeIcon({{3, 3, 4, {}}})},
      {"bit depth", MakeIcon({{3, 3, 4, wrongDepth}})},
      {"palette index", MakeIcon({{3, 3, 4, smallPalette}})},
      {"header size", MakeIcon({{3, 3, 4, badHeader}})},
      {"broken png", MakeIcon({{3, 3, 32, TBytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0}}})},
      {"garbage", TBytes(64, 0xA5)},
  };
  for (const auto& [name, bytes] : cases) ExpectInvalidIcon(bytes, 16, name);

  // Every shortening of the picture inside a consistent directory is caught.
  for (size_t length = 0; length < dib.size(); ++length)
    ExpectInvalidIcon(MakeIcon({{3, 3, 4, TBytes(dib.begin(), dib.begin() + static_cast<long>(length))}}), 3,
                      "shortened to " + std::to_string(length));
}
