// The canvas on GDI+ over our bitmaps, with GDI+'s own text layout.
#include "KVL/UI/Canvas.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>
#include <vector>

#include "KVL/Base/Platform/WinString.h"
#include "KVL/UI/GdiPlus_win.h"

namespace KVL::UI {

namespace {

namespace Flat = GdiPlus::Flat;
using Gdiplus::GpStatus;

Gdiplus::ARGB Opaque(TKVLColor color) { return 0xFF000000u | color.Rgb; }

uint8_t Mix(uint8_t a, uint8_t b, int step, int steps) {
  return static_cast<uint8_t>(std::lround(a + (static_cast<double>(b) - a) * step / steps));
}

// Any family the system has, for a system without the usual ones.
Gdiplus::GpFontFamily* FirstInstalledFamily() {
  Gdiplus::GpFontCollection* collection = nullptr;
  INT count = 0;
  if (Flat::GdipNewInstalledFontCollection(&collection) != Gdiplus::Ok ||
      Flat::GdipGetFontCollectionFamilyCount(collection, &count) != Gdiplus::Ok || count <= 0)
    return nullptr;
  std::vector<Gdiplus::GpFontFamily*> list(static_cast<size_t>(count));
  INT found = 0;
  if (Flat::GdipGetFontCollectionFamilyList(collection, count, list.data(), &found) != Gdiplus::Ok || found <= 0)
    return nullptr;
  // The collection's families are its own: take a handle of ours to the first one.
  Gdiplus::GpFontFamily* family = nullptr;
  return Flat::GdipCloneFontFamily(list[0], &family) == Gdiplus::Ok ? family : nullptr;
}

// Font families by name, program-wide. A family the system lacks (wine has no "Segoe UI")
// falls back to the closest one it has, so that text still shows and measures.
Gdiplus::GpFontFamily* FontFamily(const std::string& name) {
  static std::map<std::string, GdiPlus::TFontFamilyPtr> families;
  auto found = families.find(name);
  if (found != families.end()) return found->second.get();
  Gdiplus::GpFontFamily* family = nullptr;
  for (const std::wstring& candidate :
       {Platform::Wide(name), std::wstring(L"Segoe UI"), std::wstring(L"Tahoma"), std::wstring(L"Arial"),
        std::wstring(L"Microsoft Sans Serif"), std::wstring(L"DejaVu Sans"), std::wstring(L"Liberation Sans")}) {
    if (Flat::GdipCreateFontFamilyFromName(candidate.c_str(), nullptr, &family) == Gdiplus::Ok && family) break;
    family = nullptr;
  }
  if (!family) family = FirstInstalledFamily();
  if (!family) throw EKVLGraphics("No font is available");
  return families.emplace(name, GdiPlus::TFontFamilyPtr(family)).first->second.get();
}

// One axis of a resampling: for each target pixel the source pixels and their weights.
struct TTap {
  int First = 0;
  std::vector<float> Weights;
};

// A tent filter as wide as one source pixel when enlarging and one target pixel when
// reducing (so that every source pixel counts); edges repeat the border pixels.
std::vector<TTap> Taps(int from, int to) {
  std::vector<TTap> taps(static_cast<size_t>(to));
  const double scale = static_cast<double>(from) / to;
  const double radius = std::max(1.0, scale);
  for (int i = 0; i < to; ++i) {
    const double center = (i + 0.5) * scale - 0.5;
    const int first = static_cast<int>(std::ceil(center - radius));
    const int last = static_cast<int>(std::floor(center + radius));
    TTap& tap = taps[static_cast<size_t>(i)];
    tap.First = first;
    double sum = 0;
    for (int x = first; x <= last; ++x) {
      const double w = std::max(0.0, 1.0 - std::abs(x - center) / radius);
      tap.Weights.push_back(static_cast<float>(w));
      sum += w;
    }
    for (float& w : tap.Weights) w = static_cast<float>(w / sum);
  }
  return taps;
}

// The picture at another size, premultiplied channels filtered separately.
TKVLBitmap Resample(const TKVLBitmap& source, int width, int height) {
  const std::vector<TTap> xs = Taps(source.Width(), width);
  const std::vector<TTap> ys = Taps(source.Height(), height);
  auto clampX = [&](int x) { return std::clamp(x, 0, source.Width() - 1); };
  auto clampY = [&](int y) { return std::clamp(y, 0, source.Height() - 1); };
  // Rows first: source height × target width, four channels as floats.
  std::vector<float> rows(static_cast<size_t>(source.Height()) * width * 4);
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < width; ++x) {
      const TTap& tap = xs[static_cast<size_t>(x)];
      float acc[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < tap.Weights.size(); ++k) {
        const uint32_t p = source.Pixel(clampX(tap.First + static_cast<int>(k)), y);
        for (int c = 0; c < 4; ++c) acc[c] += tap.Weights[k] * static_cast<float>(p >> (8 * c) & 0xFF);
      }
      std::copy(acc, acc + 4, rows.begin() + (static_cast<ptrdiff_t>(y) * width + x) * 4);
    }
  TKVLBitmap result(width, height);
  for (int y = 0; y < height; ++y) {
    const TTap& tap = ys[static_cast<size_t>(y)];
    for (int x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < tap.Weights.size(); ++k) {
        const float* p = &rows[(static_cast<size_t>(clampY(tap.First + static_cast<int>(k))) * width + x) * 4];
        for (int c = 0; c < 4; ++c) acc[c] += tap.Weights[k] * p[c];
      }
      uint32_t pixel = 0;
      const int alpha = std::clamp(static_cast<int>(std::lround(acc[3])), 0, 255);
      for (int c = 0; c < 4; ++c) {
        // Premultiplied colour never exceeds its alpha.
        const int v = std::clamp(static_cast<int>(std::lround(acc[c])), 0, c == 3 ? 255 : alpha);
        pixel |= static_cast<uint32_t>(v) << (8 * c);
      }
      result.SetPixel(x, y, pixel);
    }
  }
  return result;
}

// Tight measuring (no GDI padding), one line, trailing spaces counted, clipped to the layout box.
GdiPlus::TStringFormatPtr LineFormat() {
  Gdiplus::GpStringFormat* generic = nullptr;
  Gdiplus::GpStringFormat* format = nullptr;
  if (Flat::GdipStringFormatGetGenericTypographic(&generic) != Gdiplus::Ok ||
      Flat::GdipCloneStringFormat(generic, &format) != Gdiplus::Ok)
    throw EKVLGraphics("Cannot create a string format");
  GdiPlus::TStringFormatPtr result(format);
  Flat::GdipSetStringFormatFlags(format, Gdiplus::StringFormatFlagsNoWrap | Gdiplus::StringFormatFlagsLineLimit |
                                             Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
  Flat::GdipSetStringFormatTrimming(format, Gdiplus::StringTrimmingNone);
  return result;
}

// Underline and strike-out are drawn by the canvas itself, so they are not part of the key.
using TFontKey = std::tuple<std::string, double, bool, bool>;

struct TFontEntry {
  GdiPlus::TFontPtr Font;
  Gdiplus::REAL Pixels = 0;
  int LineHeight = 0;
  int Ascent = 0;  // top of the line to the baseline
};

class TKVLGdiPlusCanvas final : public IKVLCanvas {
public:
  TKVLGdiPlusCanvas(TKVLBitmap& target, int dpi) : dpi_(dpi) {
    // An empty target still measures text: it gets a pixel of its own.
    TKVLBitmap& surface = target.IsEmpty() ? scratch_ : target;
    bitmap_ = GdiPlus::WrapBitmap(surface);
    Gdiplus::GpGraphics* graphics = nullptr;
    if (Flat::GdipGetImageGraphicsContext(bitmap_.get(), &graphics) != Gdiplus::Ok)
      throw EKVLGraphics("Cannot create a canvas");
    graphics_.reset(graphics);
    // Whole-pixel rectangles cover exactly their pixels; text keeps its own antialiasing.
    Flat::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeNone);
    Flat::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHalf);
    Flat::GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintAntiAlias);
    Flat::GdipSetPageUnit(graphics, Gdiplus::UnitPixel);
    format_ = LineFormat();
  }

  int Dpi() const override { return dpi_; }

  void Save() override {
    Gdiplus::GraphicsState state = 0;
    Flat::GdipSaveGraphics(graphics_.get(), &state);
    states_.push_back(state);
  }

  // An unmatched Restore is ignored, as on the other backend.
  void Restore() override {
    if (states_.empty()) return;
    Flat::GdipRestoreGraphics(graphics_.get(), states_.back());
    states_.pop_back();
  }

  void Translate(int dx, int dy) override {
    Flat::GdipTranslateWorldTransform(graphics_.get(), static_cast<Gdiplus::REAL>(dx),
                                      static_cast<Gdiplus::REAL>(dy), Gdiplus::MatrixOrderPrepend);
  }

  void IntersectClip(const TKVLRect& rect) override {
    if (rect.IsEmpty()) {
      Flat::GdipSetClipRectI(graphics_.get(), 0, 0, 0, 0, Gdiplus::CombineModeIntersect);
      return;
    }
    Flat::GdipSetClipRectI(graphics_.get(), rect.Left, rect.Top, rect.Width(), rect.Height(),
                           Gdiplus::CombineModeIntersect);
  }

  void FillRect(const TKVLRect& rect, TKVLColor color) override {
    if (rect.IsEmpty()) return;
    GdiPlus::TSolidBrushPtr brush = Brush(color);
    Fill(brush.get(), rect.Left, rect.Top, rect.Width(), rect.Height());
  }

  // Row by row, so the first and last rows carry the two colours exactly (GDI+'s gradient
  // brush blends its end rows with the wrapped colour).
  void FillGradientV(const TKVLRect& rect, TKVLColor top, TKVLColor bottom) override {
    if (rect.IsEmpty()) return;
    if (top == bottom) return FillRect(rect, top);
    const int steps = rect.Height() - 1;
    for (int row = 0; row < rect.Height(); ++row) {
      TKVLColor color = top;
      if (steps > 0)
        color = TKVLColor(static_cast<uint32_t>(Mix(top.R(), bottom.R(), row, steps)) << 16 |
                          static_cast<uint32_t>(Mix(top.G(), bottom.G(), row, steps)) << 8 |
                          Mix(top.B(), bottom.B(), row, steps));
      GdiPlus::TSolidBrushPtr brush = Brush(color);
      Fill(brush.get(), rect.Left, rect.Top + row, rect.Width(), 1);
    }
  }

  void FrameRect(const TKVLRect& rect, TKVLColor color) override {
    if (rect.IsEmpty()) return;
    GdiPlus::TSolidBrushPtr brush = Brush(color);
    const int w = rect.Width();
    const int h = rect.Height();
    Fill(brush.get(), rect.Left, rect.Top, w, 1);
    if (h > 1) Fill(brush.get(), rect.Left, rect.Bottom - 1, w, 1);
    if (h > 2) {
      Fill(brush.get(), rect.Left, rect.Top + 1, 1, h - 2);
      if (w > 1) Fill(brush.get(), rect.Right - 1, rect.Top + 1, 1, h - 2);
    }
  }

  // Bresenham's pixels, each filled as a unit square, so both backends agree on them.
  void DrawLine(TKVLPoint a, TKVLPoint b, TKVLColor color) override {
    if (a == b) return;
    GdiPlus::TSolidBrushPtr brush = Brush(color);
    ForEachLineRect(a, b, [&](const TKVLRect& r) { Fill(brush.get(), r.Left, r.Top, r.Width(), r.Height()); });
  }

  // Scaled by our own filter and then copied at its size: GDI+ implementations disagree on
  // the edge rows and columns of stretched images, a 1:1 copy they all place exactly.
  void DrawPicture(const TKVLBitmap& picture, const TKVLRect& dest) override {
    if (picture.IsEmpty() || dest.IsEmpty()) return;
    const bool sameSize = picture.Width() == dest.Width() && picture.Height() == dest.Height();
    TKVLBitmap scaled;
    if (!sameSize) scaled = Resample(picture, dest.Width(), dest.Height());
    const TKVLBitmap& drawn = sameSize ? picture : scaled;
    GdiPlus::TBitmapPtr source = GdiPlus::WrapBitmap(drawn);
    Flat::GdipSetInterpolationMode(graphics_.get(), Gdiplus::InterpolationModeNearestNeighbor);
    if (Flat::GdipDrawImageRectRectI(graphics_.get(), source.get(), dest.Left, dest.Top, dest.Width(), dest.Height(),
                                     0, 0, drawn.Width(), drawn.Height(), Gdiplus::UnitPixel, nullptr, nullptr,
                                     nullptr) != Gdiplus::Ok)
      throw EKVLGraphics("Cannot draw the picture");
  }

  void DrawText(const std::string& text, const TKVLRect& rect, const TKVLFont& font, TKVLColor color,
                TKVLTextAlign align, TKVLVerticalAlign valign) override {
    if (text.empty() || rect.IsEmpty()) return;
    const TFontEntry& entry = Font(font);
    const std::wstring wide = Platform::Wide(text);
    int y = rect.Top;
    if (valign == TKVLVerticalAlign::vaCenter) y += (rect.Height() - entry.LineHeight) / 2;
    else if (valign == TKVLVerticalAlign::vaBottom) y += rect.Height() - entry.LineHeight;
    const int width = TextWidth(wide, entry);
    int x = rect.Left;
    if (align == TKVLTextAlign::taCenter) x += (rect.Width() - width) / 2;
    else if (align == TKVLTextAlign::taRight) x += rect.Width() - width;
    Flat::GdipSetStringFormatAlign(format_.get(), align == TKVLTextAlign::taCenter ? Gdiplus::StringAlignmentCenter
                                                  : align == TKVLTextAlign::taRight ? Gdiplus::StringAlignmentFar
                                                                                    : Gdiplus::StringAlignmentNear);
    GdiPlus::TSolidBrushPtr brush = Brush(color);
    Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(rect.Left), static_cast<Gdiplus::REAL>(y),
                          static_cast<Gdiplus::REAL>(rect.Width()), static_cast<Gdiplus::REAL>(entry.LineHeight));
    Save();
    IntersectClip(rect);
    Flat::GdipDrawString(graphics_.get(), wide.c_str(), static_cast<INT>(wide.size()), entry.Font.get(), &layout,
                         format_.get(), reinterpret_cast<Gdiplus::GpBrush*>(brush.get()));
    // Lines of about the weight and place of the font's own: a tenth of the size below the
    // baseline, and at half the height of a lower-case letter.
    const int thickness = std::max(1, static_cast<int>(std::lround(entry.Pixels / 14)));
    const int baseline = y + entry.Ascent;
    if (font.Underline)
      Fill(brush.get(), x, baseline + std::max(1, static_cast<int>(std::lround(entry.Pixels / 10))), width, thickness);
    if (font.StrikeOut)
      Fill(brush.get(), x, baseline - static_cast<int>(std::lround(entry.Pixels * 0.27)), width, thickness);
    Restore();
    Flat::GdipSetStringFormatAlign(format_.get(), Gdiplus::StringAlignmentNear);
  }

  TKVLSize MeasureText(const std::string& text, const TKVLFont& font) override {
    const TFontEntry& entry = Font(font);
    if (text.empty()) return {0, entry.LineHeight};
    return {TextWidth(Platform::Wide(text), entry), entry.LineHeight};
  }

private:
  static GdiPlus::TSolidBrushPtr Brush(TKVLColor color) {
    Gdiplus::GpSolidFill* brush = nullptr;
    if (Flat::GdipCreateSolidFill(Opaque(color), &brush) != Gdiplus::Ok) throw EKVLGraphics("Cannot create a brush");
    return GdiPlus::TSolidBrushPtr(brush);
  }

  void Fill(Gdiplus::GpSolidFill* brush, int x, int y, int w, int h) {
    Flat::GdipFillRectangleI(graphics_.get(), reinterpret_cast<Gdiplus::GpBrush*>(brush), x, y, w, h);
  }

  // Measured with the very font that draws, at its size: the system may hint glyph advances
  // at small sizes, and layout (wrapping, alignment, carets) must match what is drawn.
  int TextWidth(const std::wstring& text, const TFontEntry& entry) {
    Gdiplus::RectF layout(0, 0, 1e7f, 1e7f);
    Gdiplus::RectF bounds;
    Flat::GdipSetStringFormatAlign(format_.get(), Gdiplus::StringAlignmentNear);
    if (Flat::GdipMeasureString(graphics_.get(), text.c_str(), static_cast<INT>(text.size()), entry.Font.get(),
                                &layout, format_.get(), &bounds, nullptr, nullptr) != Gdiplus::Ok)
      return 0;
    return static_cast<int>(std::ceil(bounds.Width - 0.01f));
  }

  static GdiPlus::TFontPtr MakeFont(Gdiplus::GpFontFamily* family, Gdiplus::REAL pixels, INT style,
                                    const std::string& name) {
    Gdiplus::GpFont* raw = nullptr;
    // A family without the asked-for face (no bold) still gives its regular one.
    if (Flat::GdipCreateFont(family, pixels, style, Gdiplus::UnitPixel, &raw) != Gdiplus::Ok &&
        Flat::GdipCreateFont(family, pixels, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel, &raw) != Gdiplus::Ok)
      throw EKVLGraphics("Cannot create the font " + name);
    return GdiPlus::TFontPtr(raw);
  }

  // The font at this canvas's dots per inch, sized in pixels, with its line metrics.
  const TFontEntry& Font(const TKVLFont& font) {
    TFontKey key{font.Name, font.SizePt, font.Bold, font.Italic};
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    INT style = Gdiplus::FontStyleRegular;
    if (font.Bold) style |= Gdiplus::FontStyleBold;
    if (font.Italic) style |= Gdiplus::FontStyleItalic;
    Gdiplus::GpFontFamily* family = FontFamily(font.Name);
    TFontEntry entry;
    entry.Pixels = static_cast<Gdiplus::REAL>(PointsToPixels(font.SizePt, dpi_));
    entry.Font = MakeFont(family, entry.Pixels, style, font.Name);
    Gdiplus::REAL height = 0;
    Flat::GdipGetFontHeight(entry.Font.get(), graphics_.get(), &height);
    entry.LineHeight = static_cast<int>(std::ceil(height - 0.01f));
    UINT16 ascent = 0, em = 0;
    if (Flat::GdipGetCellAscent(family, style, &ascent) == Gdiplus::Ok &&
        Flat::GdipGetEmHeight(family, style, &em) == Gdiplus::Ok && em > 0)
      entry.Ascent = static_cast<int>(std::lround(entry.Pixels * ascent / em));
    else
      entry.Ascent = entry.LineHeight * 4 / 5;
    return fonts_.emplace(key, std::move(entry)).first->second;
  }

  TKVLBitmap scratch_{1, 1};
  int dpi_;
  GdiPlus::TBitmapPtr bitmap_;
  GdiPlus::TGraphicsPtr graphics_;
  GdiPlus::TStringFormatPtr format_;
  std::vector<Gdiplus::GraphicsState> states_;
  std::map<TFontKey, TFontEntry> fonts_;
};

} // namespace

std::unique_ptr<IKVLCanvas> CreateBitmapCanvas(TKVLBitmap& target, int dpi) {
  return std::make_unique<TKVLGdiPlusCanvas>(target, dpi);
}

IKVLCanvas& MeasuringCanvas(int dpi) {
  // One per dpi for the program's lifetime; main thread only.
  static std::map<int, std::unique_ptr<IKVLCanvas>> canvases;
  static TKVLBitmap none;
  auto& slot = canvases[dpi];
  if (!slot) slot = CreateBitmapCanvas(none, dpi);
  return *slot;
}

} // namespace KVL::UI
