// The one drawing interface of the toolkit; cairo with pango on POSIX, GDI+ on Windows.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Types.h"

namespace KVL::UI {

// Coordinates are pixels of the target; Translate and IntersectClip change them until the
// matching Restore. Lines, dashes and rectangles are pixel-exact (no antialiasing of edges
// that lie on whole pixels); text is antialiased.
class IKVLCanvas {
public:
  virtual ~IKVLCanvas() = default;

  // Dots per inch at which fonts given in points are sized.
  virtual int Dpi() const = 0;

  virtual void Save() = 0;
  virtual void Restore() = 0;
  virtual void Translate(int dx, int dy) = 0;
  virtual void IntersectClip(const TKVLRect& rect) = 0;

  virtual void FillRect(const TKVLRect& rect, TKVLColor color) = 0;
  // top at the first row, bottom at the last row.
  virtual void FillGradientV(const TKVLRect& rect, TKVLColor top, TKVLColor bottom) = 0;
  // One-pixel outline just inside rect.
  virtual void FrameRect(const TKVLRect& rect, TKVLColor color) = 0;
  // One pixel wide, from a up to b, b excluded (as GDI's LineTo).
  virtual void DrawLine(TKVLPoint a, TKVLPoint b, TKVLColor color) = 0;
  // The picture scaled into dest, blended by its own alpha at full opacity.
  virtual void DrawPicture(const TKVLBitmap& picture, const TKVLRect& dest) = 0;

  // One line of text in rect: no wrapping, clipped to rect, aligned as asked; the font's
  // underline and strike-out are drawn. Empty text draws nothing.
  virtual void DrawText(const std::string& text, const TKVLRect& rect, const TKVLFont& font, TKVLColor color,
                        TKVLTextAlign align = TKVLTextAlign::taLeft,
                        TKVLVerticalAlign valign = TKVLVerticalAlign::vaTop) = 0;
  // Width of the text and height of a line of the font, in pixels at Dpi().
  virtual TKVLSize MeasureText(const std::string& text, const TKVLFont& font) = 0;
};

// A canvas that draws into the bitmap (which must outlive it). Platform backend.
std::unique_ptr<IKVLCanvas> CreateBitmapCanvas(TKVLBitmap& target, int dpi);

// Text measuring without a target, for layout outside painting (same metrics as a canvas).
IKVLCanvas& MeasuringCanvas(int dpi);

// The pixels of DrawLine from a towards b (b itself left out) as the rectangles that cover
// them: one for a horizontal or vertical line, else Bresenham's pixels as unit squares.
// Both backends fill these, so they agree pixel for pixel.
void ForEachLineRect(TKVLPoint a, TKVLPoint b, const std::function<void(const TKVLRect&)>& fill);

} // namespace KVL::UI
