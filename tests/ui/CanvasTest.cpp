// The bitmap canvas: exact fills, gradients, frames, lines, pictures, clipping, and text.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "KVL/UI/Canvas.h"

using namespace KVL::UI;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
const TKVLColor kRed(0xFF0000);
const TKVLColor kInk(0x123456);

using TPixels = std::set<std::pair<int, int>>;

// The pixels that are no longer the background.
TPixels Changed(const TKVLBitmap& b, uint32_t background = kWhite) {
  TPixels out;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Pixel(x, y) != background) out.insert({x, y});
  return out;
}

TPixels RectPixels(const TKVLRect& r) {
  TPixels out;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) out.insert({x, y});
  return out;
}

// Every changed pixel has exactly the given opaque colour.
void ExpectAllColored(const TKVLBitmap& b, const TPixels& pixels, TKVLColor color) {
  for (auto [x, y] : pixels) EXPECT_EQ(b.Pixel(x, y), 0xFF000000 | color.Rgb) << "at " << x << "," << y;
}

class CanvasTest : public ::testing::Test {
protected:
  TKVLBitmap bitmap{40, 30, kWhite};
  std::unique_ptr<IKVLCanvas> canvas = CreateBitmapCanvas(bitmap, 96);
};

} // namespace

TEST_F(CanvasTest, FillRectIsPixelExact) {
  for (uint32_t rgb : {0x000000u, 0x123456u, 0xFEDCBAu, 0x010101u}) {
    SCOPED_TRACE(rgb);
    TKVLRect r{5, 6, 15, 10};
    canvas->FillRect(r, TKVLColor(rgb));
    EXPECT_EQ(Changed(bitmap), RectPixels(r));
    ExpectAllColored(bitmap, RectPixels(r), TKVLColor(rgb));
    canvas->FillRect({0, 0, 40, 30}, TKVLColor(0xFFFFFF));
  }
  // Empty and inverted rectangles draw nothing.
  canvas->FillRect({5, 5, 5, 10}, kRed);
  canvas->FillRect({10, 10, 5, 5}, kRed);
  EXPECT_TRUE(Changed(bitmap).empty());
}

TEST_F(CanvasTest, DashesKeepTheirGaps) {
  // The step strip's dashes: three pixels wide, six apart, ending exactly where they should.
  for (int x = 2; x + 3 <= 38; x += 6) canvas->FillRect(TKVLRect::FromBounds(x, 4, 3, 2), kRed);
  for (int x = 0; x < 40; ++x) {
    bool dash = x >= 2 && x < 38 && (x - 2) % 6 < 3;
    EXPECT_EQ(bitmap.ColorAt(x, 4), dash ? kRed : TKVLColor(0xFFFFFF)) << x;
    EXPECT_EQ(bitmap.ColorAt(x, 6), TKVLColor(0xFFFFFF)) << x;
  }
}

TEST_F(CanvasTest, GradientEndsAtBothColors) {
  TKVLRect r{3, 2, 13, 22};
  canvas->FillGradientV(r, TKVLColor(0x000080), TKVLColor(0xFF8000));
  EXPECT_EQ(Changed(bitmap), RectPixels(r));
  for (int x = r.Left; x < r.Right; ++x) {
    EXPECT_EQ(bitmap.Pixel(x, r.Top), 0xFF000080u);
    EXPECT_EQ(bitmap.Pixel(x, r.Bottom - 1), 0xFFFF8000u);
  }
  // In between, red only grows row by row.
  for (int y = r.Top + 1; y < r.Bottom; ++y) EXPECT_GE(bitmap.ColorAt(5, y).R(), bitmap.ColorAt(5, y - 1).R());
  // Both ends the same colour: a plain fill (the page background is drawn so).
  canvas->FillGradientV({20, 0, 40, 30}, kInk, kInk);
  ExpectAllColored(bitmap, RectPixels({20, 0, 40, 30}), kInk);
}

TEST_F(CanvasTest, FrameRectOutlinesInside) {
  TKVLRect r{4, 5, 12, 11};
  canvas->FrameRect(r, kInk);
  TPixels expected = RectPixels(r);
  for (auto p : RectPixels(r.Inflate(-1, -1))) expected.erase(p);
  EXPECT_EQ(Changed(bitmap), expected);
  ExpectAllColored(bitmap, expected, kInk);
}

TEST_F(CanvasTest, LinesExcludeTheirEnd) {
  struct TCase {
    const char* Name;
    TKVLPoint A, B;
    TPixels Expected;
  };
  const std::vector<TCase> cases = {
      {"right", {2, 3}, {6, 3}, {{2, 3}, {3, 3}, {4, 3}, {5, 3}}},
      {"left", {6, 3}, {2, 3}, {{6, 3}, {5, 3}, {4, 3}, {3, 3}}},
      {"down", {7, 1}, {7, 4}, {{7, 1}, {7, 2}, {7, 3}}},
      {"up", {7, 4}, {7, 1}, {{7, 4}, {7, 3}, {7, 2}}},
      {"diagonal", {1, 1}, {5, 5}, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}},
      {"one pixel", {9, 9}, {10, 9}, {{9, 9}}},
      {"no length", {9, 9}, {9, 9}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    canvas->FillRect({0, 0, 40, 30}, TKVLColor(0xFFFFFF));
    canvas->DrawLine(c.A, c.B, kInk);
    EXPECT_EQ(Changed(bitmap), c.Expected);
    ExpectAllColored(bitmap, c.Expected, kInk);
  }
}

TEST_F(CanvasTest, TranslateAndClipHoldUntilRestore) {
  canvas->Save();
  canvas->Translate(10, 5);
  canvas->IntersectClip({0, 0, 6, 4});
  canvas->FillRect({-5, -5, 30, 30}, kRed);
  canvas->Save();
  canvas->IntersectClip({3, 2, 20, 20});  // narrows, never widens
  canvas->FillRect({0, 0, 30, 30}, kInk);
  canvas->Restore();
  canvas->DrawLine({0, 3}, {2, 3}, kInk);  // clip of the outer level is back
  canvas->Restore();
  canvas->FillRect({0, 0, 1, 1}, kInk);  // no translation any more

  TPixels red = RectPixels({10, 5, 16, 9});
  TPixels inked = RectPixels({13, 7, 16, 9});
  inked.insert({{10, 8}, {11, 8}, {0, 0}});
  TPixels expected = red;
  expected.insert(inked.begin(), inked.end());
  EXPECT_EQ(Changed(bitmap), expected);
  for (auto p : inked) red.erase(p);
  ExpectAllColored(bitmap, red, kRed);
  ExpectAllColored(bitmap, inked, kInk);
}

TEST_F(CanvasTest, PicturesScaleAndBlend) {
  // One red pixel stretched fills its whole destination, edges included.
  canvas->DrawPicture(TKVLBitmap(1, 1, 0xFFFF0000), {2, 3, 12, 13});
  EXPECT_EQ(Changed(bitmap), RectPixels({2, 3, 12, 13}));
  ExpectAllColored(bitmap, RectPixels({2, 3, 12, 13}), kRed);

  // At its own size: opaque pixels land exactly, transparent ones leave the target, a
  // half-transparent one blends.
  TKVLBitmap picture(2, 2, 0xFF123456);
  picture.SetPixel(1, 0, 0);
  picture.SetPixel(1, 1, 0x80000080);  // half-transparent blue, premultiplied
  canvas->DrawPicture(picture, {20, 20, 22, 22});
  EXPECT_EQ(bitmap.Pixel(20, 20), 0xFF123456u);
  EXPECT_EQ(bitmap.Pixel(20, 21), 0xFF123456u);
  EXPECT_EQ(bitmap.Pixel(21, 20), kWhite);
  TKVLColor blended = bitmap.ColorAt(21, 21);
  EXPECT_NEAR(blended.R(), 0x7F, 2);
  EXPECT_NEAR(blended.B(), 0xFF, 2);
  EXPECT_EQ(bitmap.Pixel(22, 21), kWhite);
}

// ---- Text: only properties every font and backend share ----

namespace {

struct TInk {
  int Count = 0;
  TKVLRect Bounds{1 << 20, 1 << 20, -1, -1};
};

TInk InkOf(const TKVLBitmap& b) {
  TInk ink;
  for (auto [x, y] : Changed(b)) {
    ++ink.Count;
    ink.Bounds = {std::min(ink.Bounds.Left, x), std::min(ink.Bounds.Top, y), std::max(ink.Bounds.Right, x + 1),
                  std::max(ink.Bounds.Bottom, y + 1)};
  }
  return ink;
}

TInk DrawnText(const std::string& text, const TKVLRect& box, TKVLTextAlign align,
               TKVLVerticalAlign valign = TKVLVerticalAlign::vaTop, TKVLFont font = {}) {
  TKVLBitmap b(200, 60, kWhite);
  CreateBitmapCanvas(b, 96)->DrawText(text, box, font, TKVLColor(0), align, valign);
  return InkOf(b);
}

bool Inside(const TKVLRect& inner, const TKVLRect& outer) {
  return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
         inner.Bottom <= outer.Bottom;
}

} // namespace

TEST(CanvasTextTest, AlignmentPlacesInkInsideTheBox) {
  const TKVLRect box{20, 10, 180, 50};
  TInk left = DrawnText("Hello", box, TKVLTextAlign::taLeft);
  TInk center = DrawnText("Hello", box, TKVLTextAlign::taCenter);
  TInk right = DrawnText("Hello", box, TKVLTextAlign::taRight);
  for (const TInk* ink : {&left, &center, &right}) {
    ASSERT_GT(ink->Count, 10);
    EXPECT_TRUE(Inside(ink->Bounds, box));
  }
  EXPECT_LE(left.Bounds.Left - box.Left, 4);
  EXPECT_LE(box.Right - right.Bounds.Right, 4);
  int centerMid = (center.Bounds.Left + center.Bounds.Right) / 2;
  EXPECT_NEAR(centerMid, (box.Left + box.Right) / 2, 4);
  EXPECT_LT(left.Bounds.Right, center.Bounds.Right);
  EXPECT_LT(center.Bounds.Right, right.Bounds.Right);

  TInk top = DrawnText("Hello", box, TKVLTextAlign::taLeft, TKVLVerticalAlign::vaTop);
  TInk bottom = DrawnText("Hello", box, TKVLTextAlign::taLeft, TKVLVerticalAlign::vaBottom);
  EXPECT_LE(top.Bounds.Top - box.Top, 6);
  EXPECT_LE(box.Bottom - bottom.Bounds.Bottom, 6);
  EXPECT_GT(bottom.Bounds.Top, top.Bounds.Top);
}

TEST(CanvasTextTest, ClippedToItsBox) {
  // Far too long for the box, and the box lower than the line.
  const TKVLRect box{30, 20, 70, 26};
  TInk ink = DrawnText("A long line of text that runs on", box, TKVLTextAlign::taLeft,
                       TKVLVerticalAlign::vaCenter);
  EXPECT_GT(ink.Count, 0);
  EXPECT_TRUE(Inside(ink.Bounds, box));
  EXPECT_EQ(DrawnText("", box, TKVLTextAlign::taLeft).Count, 0);
}

TEST(CanvasTextTest, UnderlineAndStrikeOutAddInk) {
  const TKVLRect box{10, 10, 190, 50};
  TKVLFont plain;
  plain.SizePt = 14;
  TKVLFont underline = plain, strike = plain;
  underline.Underline = true;
  strike.StrikeOut = true;
  TInk base = DrawnText("mmmm", box, TKVLTextAlign::taLeft, TKVLVerticalAlign::vaTop, plain);
  TInk under = DrawnText("mmmm", box, TKVLTextAlign::taLeft, TKVLVerticalAlign::vaTop, underline);
  TInk struck = DrawnText("mmmm", box, TKVLTextAlign::taLeft, TKVLVerticalAlign::vaTop, strike);
  EXPECT_GT(under.Count, base.Count);
  EXPECT_GT(under.Bounds.Bottom, base.Bounds.Bottom);  // below the baseline
  EXPECT_GT(struck.Count, base.Count);
}

TEST(CanvasTextTest, MeasureGrowsWithTextSizeAndDpi) {
  TKVLBitmap b(1, 1);
  auto canvas = CreateBitmapCanvas(b, 96);
  TKVLFont small, large;
  large.SizePt = 18;
  TKVLSize one = canvas->MeasureText("a", small);
  TKVLSize four = canvas->MeasureText("aaaa", small);
  TKVLSize big = canvas->MeasureText("aaaa", large);
  EXPECT_GT(one.Width, 0);
  EXPECT_GT(four.Width, one.Width);
  EXPECT_EQ(four.Height, one.Height);  // a line's height, whatever the text
  EXPECT_GT(big.Width, four.Width);
  EXPECT_GT(big.Height, four.Height);
  EXPECT_EQ(canvas->MeasureText("", small).Width, 0);
  EXPECT_GT(canvas->MeasureText("", small).Height, 0);

  // Twice the dots per inch, about twice the pixels; the measuring canvas agrees with a real one.
  TKVLSize doubled = MeasuringCanvas(192).MeasureText("aaaa", small);
  // Hinting rounds each letter's advance, so allow a few pixels.
  EXPECT_NEAR(doubled.Width, 2 * four.Width, four.Width / 4);
  EXPECT_NEAR(doubled.Height, 2 * four.Height, 3);
  EXPECT_EQ(&MeasuringCanvas(96), &MeasuringCanvas(96));
  EXPECT_EQ(MeasuringCanvas(96).MeasureText("aaaa", small), four);
}
