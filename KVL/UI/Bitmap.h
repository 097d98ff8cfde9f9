// Pictures in memory: 32-bit premultiplied ARGB pixels, PNG decoding and encoding.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "KVL/UI/Types.h"

namespace KVL::UI {

class EKVLGraphics : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Rows top to bottom, no padding; each pixel 0xAARRGGBB with the colour premultiplied by
// alpha (cairo's ARGB32 and GDI+'s PARGB32 layout), so both backends draw into it directly.
class TKVLBitmap {
public:
  TKVLBitmap() = default;
  TKVLBitmap(int width, int height, uint32_t fill = 0);
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool IsEmpty() const { return width_ == 0 || height_ == 0; }
  uint32_t* Data() { return pixels_.data(); }
  const uint32_t* Data() const { return pixels_.data(); }
  uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  void SetPixel(int x, int y, uint32_t argb) { pixels_[static_cast<size_t>(y) * width_ + x] = argb; }
  // The colour at (x, y) without alpha, for tests of opaque drawing.
  TKVLColor ColorAt(int x, int y) const { return TKVLColor(Pixel(x, y) & 0xFFFFFFu); }

private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Platform backends (cairo's PNG reader on POSIX, GDI+ on Windows). DecodePNG raises
// EKVLGraphics "Invalid PNG image" for anything it cannot read.
TKVLBitmap DecodePNG(std::span<const uint8_t> bytes);
std::vector<uint8_t> EncodePNG(const TKVLBitmap& bitmap);
void SavePNG(const TKVLBitmap& bitmap, const std::string& fileName);

// An icon file (.ico): the entry closest to size × size, BMP or PNG inside, scaled to
// size × size. Raises EKVLGraphics "Invalid icon image" for broken data.
TKVLBitmap DecodeIcon(std::span<const uint8_t> bytes, int size);

} // namespace KVL::UI
