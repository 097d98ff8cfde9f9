// Icon files (.ico): directory, PNG or DIB entries with palette and mask, scaling to a size.
#include "KVL/UI/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace KVL::UI {

namespace {

[[noreturn]] void Invalid() { throw EKVLGraphics("Invalid icon image"); }

// Little-endian fields with every read checked against the end of the data.
class TIconReader {
public:
  explicit TIconReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t Size() const { return bytes_.size(); }
  void Require(uint64_t offset, uint64_t count) const {
    if (offset > bytes_.size() || count > bytes_.size() - offset) Invalid();
  }
  uint8_t U8(uint64_t offset) const {
    Require(offset, 1);
    return bytes_[offset];
  }
  uint16_t U16(uint64_t offset) const {
    Require(offset, 2);
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  uint32_t U32(uint64_t offset) const {
    Require(offset, 4);
    return static_cast<uint32_t>(bytes_[offset]) | static_cast<uint32_t>(bytes_[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes_[offset + 2]) << 16 | static_cast<uint32_t>(bytes_[offset + 3]) << 24;
  }
  int32_t I32(uint64_t offset) const { return static_cast<int32_t>(U32(offset)); }
  std::span<const uint8_t> Slice(uint64_t offset, uint64_t count) const {
    Require(offset, count);
    return bytes_.subspan(offset, count);
  }

private:
  std::span<const uint8_t> bytes_;
};

struct TIconEntry {
  int Width = 0;
  int Height = 0;
  int BitCount = 0;
  uint32_t Offset = 0;
  uint32_t Length = 0;
};

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Far beyond any real icon; keeps garbage headers from asking for huge pictures.
constexpr int kMaxSide = 1024;

uint32_t Premultiplied(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  auto mul = [a](uint8_t c) { return static_cast<uint32_t>((c * a + 127) / 255); };
  return static_cast<uint32_t>(a) << 24 | mul(r) << 16 | mul(g) << 8 | mul(b);
}

// A device-independent bitmap as icons store it: header, palette, colour rows bottom-up and
// a one-bit mask (1 = transparent) of the same height; the header's height counts both.
TKVLBitmap DecodeDib(std::span<const uint8_t> bytes) {
  TIconReader dib(bytes);
  uint32_t headerSize = dib.U32(0);
  if (headerSize < 40) Invalid();
  dib.Require(0, headerSize);
  int32_t width = dib.I32(4);
  int32_t doubleHeight = dib.I32(8);
  int bitCount = dib.U16(14);
  uint32_t compression = dib.U32(16);
  uint32_t colorsUsed = dib.U32(32);
  int height = doubleHeight / 2;
  if (width <= 0 || width > kMaxSide || height <= 0 || height > kMaxSide) Invalid();
  if (compression != 0) Invalid();
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    Invalid();

  uint64_t paletteSize = 0;
  if (bitCount <= 8) {
    paletteSize = colorsUsed != 0 ? colorsUsed : 1u << bitCount;
    if (paletteSize > (1u << bitCount)) Invalid();
  }
  uint64_t paletteOffset = headerSize;
  dib.Require(paletteOffset, paletteSize * 4);
  uint64_t colorOffset = paletteOffset + paletteSize * 4;
  uint64_t colorStride = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
  dib.Require(colorOffset, colorStride * height);
  uint64_t maskOffset = colorOffset + colorStride * height;
  uint64_t maskStride = (static_cast<uint64_t>(width) + 31) / 32 * 4;
  bool hasMask = maskOffset <= dib.Size() && maskStride * height <= dib.Size() - maskOffset;
  // Only pictures with an alpha channel may leave the mask out.
  if (!hasMask && bitCount != 32) Invalid();

  TKVLBitmap bitmap(width, height);
  bool anyAlpha = false;
  for (int row = 0; row < height; ++row) {
    uint64_t line = colorOffset + colorStride * row;
    int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      uint8_t a = 255, r = 0, g = 0, b = 0;
      switch (bitCount) {
        case 32:
          b = dib.U8(line + x * 4);
          g = dib.U8(line + x * 4 + 1);
          r = dib.U8(line + x * 4 + 2);
          a = dib.U8(line + x * 4 + 3);
          anyAlpha = anyAlpha || a != 0;
          break;
        case 24:
          b = dib.U8(line + x * 3);
          g = dib.U8(line + x * 3 + 1);
          r = dib.U8(line + x * 3 + 2);
          break;
        case 16: {
          // 5-5-5, each channel widened to eight bits.
          uint16_t v = dib.U16(line + x * 2);
          auto widen = [](unsigned c) { return static_cast<uint8_t>(c << 3 | c >> 2); };
          r = widen(v >> 10 & 31);
          g = widen(v >> 5 & 31);
          b = widen(v & 31);
          break;
        }
        default: {
          uint64_t bit = static_cast<uint64_t>(x) * bitCount;
          uint8_t byte = dib.U8(line + bit / 8);
          unsigned index = byte >> (8 - bitCount - bit % 8) & ((1u << bitCount) - 1);
          if (index >= paletteSize) Invalid();
          b = dib.U8(paletteOffset + index * 4);
          g = dib.U8(paletteOffset + index * 4 + 1);
          r = dib.U8(paletteOffset + index * 4 + 2);
          break;
        }
      }
      bitmap.SetPixel(x, y, static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 |
                                static_cast<uint32_t>(g) << 8 | b);
    }
  }

  // A 32-bit picture whose alpha is zero everywhere is an old one that relies on the mask.
  bool useAlpha = bitCount == 32 && anyAlpha;
  if (!useAlpha && !hasMask) Invalid();
  for (int row = 0; row < height; ++row) {
    int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      uint32_t p = bitmap.Pixel(x, y);
      uint8_t a = static_cast<uint8_t>(p >> 24);
      if (!useAlpha) {
        uint8_t maskByte = dib.U8(maskOffset + maskStride * row + x / 8);
        a = (maskByte >> (7 - x % 8) & 1) ? 0 : 255;
      }
      bitmap.SetPixel(x, y, Premultiplied(a, static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                          static_cast<uint8_t>(p)));
    }
  }
  return bitmap;
}

// Box filter along one axis: each target sample averages the source span it covers.
// Works on premultiplied channels, so transparent pixels do not darken their neighbours.
std::vector<double> ResampleAxis(const std::vector<double>& source, int sourceLength, int targetLength,
                                 int lines, bool alongRows) {
  std::vector<double> target(static_cast<size_t>(targetLength) * lines * 4, 0.0);
  double ratio = static_cast<double>(sourceLength) / targetLength;
  for (int line = 0; line < lines; ++line) {
    for (int i = 0; i < targetLength; ++i) {
      double low = i * ratio;
      double high = (i + 1) * ratio;
      double sum[4] = {0, 0, 0, 0};
      for (int j = static_cast<int>(low); j < sourceLength && j < high; ++j) {
        double weight = std::min<double>(high, j + 1) - std::max<double>(low, j);
        if (weight <= 0) continue;
        size_t s = alongRows ? (static_cast<size_t>(line) * sourceLength + j) * 4
                             : (static_cast<size_t>(j) * lines + line) * 4;
        for (int c = 0; c < 4; ++c) sum[c] += source[s + c] * weight;
      }
      size_t t = alongRows ? (static_cast<size_t>(line) * targetLength + i) * 4
                           : (static_cast<size_t>(i) * lines + line) * 4;
      for (int c = 0; c < 4; ++c) target[t + c] = sum[c] / (high - low);
    }
  }
  return target;
}

TKVLBitmap Scale(const TKVLBitmap& picture, int width, int height) {
  if (picture.Width() == width && picture.Height() == height) return picture;
  int w = picture.Width();
  int h = picture.Height();
  std::vector<double> channels(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = picture.Pixel(x, y);
      double* c = &channels[(static_cast<size_t>(y) * w + x) * 4];
      c[0] = p >> 24 & 0xFF;
      c[1] = p >> 16 & 0xFF;
      c[2] = p >> 8 & 0xFF;
      c[3] = p & 0xFF;
    }
  std::vector<double> wide = ResampleAxis(channels, w, width, h, true);
  std::vector<double> done = ResampleAxis(wide, h, height, width, false);
  TKVLBitmap out(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double* c = &done[(static_cast<size_t>(y) * width + x) * 4];
      auto byte = [](double v, double limit) {
        return static_cast<uint32_t>(std::clamp(std::lround(v), 0L, static_cast<long>(limit)));
      };
      uint32_t a = byte(c[0], 255);
      // Premultiplied colour never exceeds its alpha, rounding notwithstanding.
      out.SetPixel(x, y, a << 24 | byte(c[1], a) << 16 | byte(c[2], a) << 8 | byte(c[3], a));
    }
  return out;
}

// The exact size, else the smallest larger one (scaled down), else the largest; more colours
// win among equal sizes.
bool Better(const TIconEntry& candidate, const TIconEntry& best, int size) {
  int c = std::max(candidate.Width, candidate.Height);
  int b = std::max(best.Width, best.Height);
  if (c == b) return candidate.BitCount > best.BitCount;
  if (b == size) return false;
  if (c == size) return true;
  if (c > size && b > size) return c < b;
  if (c > size || b > size) return c > size;
  return c > b;
}

} // namespace

TKVLBitmap DecodeIcon(std::span<const uint8_t> bytes, int size) {
  if (size <= 0 || size > kMaxSide) throw EKVLGraphics("Invalid icon size");
  TIconReader file(bytes);
  if (file.U16(0) != 0 || file.U16(2) != 1) Invalid();
  int count = file.U16(4);
  if (count == 0) Invalid();
  TIconEntry best;
  for (int i = 0; i < count; ++i) {
    uint64_t at = 6 + static_cast<uint64_t>(i) * 16;
    TIconEntry entry;
    entry.Width = file.U8(at) == 0 ? 256 : file.U8(at);
    entry.Height = file.U8(at + 1) == 0 ? 256 : file.U8(at + 1);
    entry.BitCount = file.U16(at + 6);
    entry.Length = file.U32(at + 8);
    entry.Offset = file.U32(at + 12);
    if (entry.Length == 0) Invalid();
    file.Require(entry.Offset, entry.Length);
    if (i == 0 || Better(entry, best, size)) best = entry;
  }

  std::span<const uint8_t> image = file.Slice(best.Offset, best.Length);
  TKVLBitmap picture;
  if (image.size() >= sizeof kPngSignature && std::memcmp(image.data(), kPngSignature, sizeof kPngSignature) == 0) {
    try {
      picture = DecodePNG(image);
    } catch (const EKVLGraphics&) {
      Invalid();
    }
  } else {
    picture = DecodeDib(image);
  }
  return Scale(picture, size, size);
}

} // namespace KVL::UI
