// PNG reading and writing through GDI+'s codecs over memory streams.
#include "KVL/UI/Bitmap.h"

#include <windows.h>

#include <objidl.h>

#include <array>
#include <cstring>
#include <memory>

#include "KVL/UI/GdiPlus_win.h"

namespace KVL::UI {

namespace {

namespace Flat = GdiPlus::Flat;

struct TStreamRelease {
  void operator()(IStream* s) const { s->Release(); }
};
using TStreamPtr = std::unique_ptr<IStream, TStreamRelease>;

// GDI+'s PNG encoder.
constexpr CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
// The raw format GDI+ reports for PNG files (ImageFormatPNG).
constexpr GUID kPngFormat = {0xB96B3CAF, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t ReadBE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

uint32_t PngCrc(const uint8_t* data, size_t size) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// The chunk structure from the signature to IEND, with every checksum. The system's codecs
// show a truncated or damaged file as far as they can read it; we want it refused.
bool IsWholePng(std::span<const uint8_t> bytes) {
  if (bytes.size() < sizeof kSignature || std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) return false;
  size_t pos = sizeof kSignature;
  bool first = true;
  while (bytes.size() - pos >= 12) {
    uint32_t length = ReadBE32(bytes.data() + pos);
    if (length > bytes.size() - pos - 12) return false;
    const uint8_t* type = bytes.data() + pos + 4;
    if (first && std::memcmp(type, "IHDR", 4) != 0) return false;
    first = false;
    if (PngCrc(type, length + 4) != ReadBE32(type + 4 + length)) return false;
    if (std::memcmp(type, "IEND", 4) == 0) return true;
    pos += 12 + static_cast<size_t>(length);
  }
  return false;
}

TStreamPtr StreamOver(std::span<const uint8_t> bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) throw EKVLGraphics("Invalid PNG image");
  void* p = GlobalLock(memory);
  std::memcpy(p, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    GlobalFree(memory);
    throw EKVLGraphics("Invalid PNG image");
  }
  return TStreamPtr(stream);
}

// Copies a GDI+ bitmap of any format into our premultiplied layout.
TKVLBitmap CopyPixels(Gdiplus::GpBitmap* image) {
  UINT width = 0, height = 0;
  if (Flat::GdipGetImageWidth(image, &width) != Gdiplus::Ok || Flat::GdipGetImageHeight(image, &height) != Gdiplus::Ok ||
      width == 0 || height == 0)
    throw EKVLGraphics("Invalid PNG image");
  TKVLBitmap bitmap(static_cast<int>(width), static_cast<int>(height));
  Gdiplus::GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  // A user buffer: GDI+ converts straight into our rows.
  Gdiplus::BitmapData data{};
  data.Width = width;
  data.Height = height;
  data.Stride = static_cast<INT>(width * 4);
  data.PixelFormat = PixelFormat32bppPARGB;
  data.Scan0 = bitmap.Data();
  if (Flat::GdipBitmapLockBits(image, &rect, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                               PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
    throw EKVLGraphics("Invalid PNG image");
  Flat::GdipBitmapUnlockBits(image, &data);
  return bitmap;
}

} // namespace

TKVLBitmap DecodePNG(std::span<const uint8_t> bytes) {
  if (!IsWholePng(bytes)) throw EKVLGraphics("Invalid PNG image");
  GdiPlus::Start();
  TStreamPtr stream = StreamOver(bytes);
  Gdiplus::GpBitmap* raw = nullptr;
  if (Flat::GdipCreateBitmapFromStream(stream.get(), &raw) != Gdiplus::Ok || !raw)
    throw EKVLGraphics("Invalid PNG image");
  GdiPlus::TBitmapPtr image(raw);
  GUID format{};
  if (Flat::GdipGetImageRawFormat(image.get(), &format) != Gdiplus::Ok || !IsEqualGUID(format, kPngFormat))
    throw EKVLGraphics("Invalid PNG image");
  return CopyPixels(image.get());
}

std::vector<uint8_t> EncodePNG(const TKVLBitmap& bitmap) {
  if (bitmap.IsEmpty()) throw EKVLGraphics("Cannot write an empty PNG image");
  GdiPlus::TBitmapPtr image = GdiPlus::WrapBitmap(bitmap);
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &raw))) throw EKVLGraphics("Cannot write PNG image");
  TStreamPtr stream(raw);
  if (Flat::GdipSaveImageToStream(image.get(), stream.get(), &kPngEncoder, nullptr) != Gdiplus::Ok)
    throw EKVLGraphics("Cannot write PNG image");
  HGLOBAL memory = nullptr;
  if (FAILED(GetHGlobalFromStream(stream.get(), &memory))) throw EKVLGraphics("Cannot write PNG image");
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) throw EKVLGraphics("Cannot write PNG image");
  const auto size = static_cast<size_t>(stat.cbSize.QuadPart);
  std::vector<uint8_t> out(size);
  const void* p = GlobalLock(memory);
  std::memcpy(out.data(), p, size);
  GlobalUnlock(memory);
  return out;
}

} // namespace KVL::UI
