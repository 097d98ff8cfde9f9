// GDI+ for the Windows backends: one lazy start-up per process and owning handles for its objects.
#pragma once

#include <windows.h>

// Lean Windows headers leave out the COM types GDI+'s headers need.
#include <objidl.h>

#include <gdiplus.h>

// windows.h's DrawText macro would rename the canvas's method.
#undef DrawText

#include <memory>
#include <mutex>

#include "KVL/UI/Bitmap.h"

namespace KVL::UI::GdiPlus {

namespace Flat = Gdiplus::DllExports;

// Started on first use from any thread and never shut down: pictures and cached fonts may
// live in statics that are freed after main returns.
inline void Start() {
  static std::once_flag once;
  std::call_once(once, [] {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
      throw EKVLGraphics("Cannot start the graphics service");
  });
}

template <class T, Gdiplus::GpStatus (*Free)(T*)>
struct TDeleter {
  void operator()(T* p) const { Free(p); }
};

inline Gdiplus::GpStatus FreeImage(Gdiplus::GpBitmap* p) { return Flat::GdipDisposeImage(p); }
inline Gdiplus::GpStatus FreeBrush(Gdiplus::GpSolidFill* p) { return Flat::GdipDeleteBrush(p); }

using TBitmapPtr = std::unique_ptr<Gdiplus::GpBitmap, TDeleter<Gdiplus::GpBitmap, FreeImage>>;
using TGraphicsPtr = std::unique_ptr<Gdiplus::GpGraphics, TDeleter<Gdiplus::GpGraphics, Flat::GdipDeleteGraphics>>;
using TSolidBrushPtr = std::unique_ptr<Gdiplus::GpSolidFill, TDeleter<Gdiplus::GpSolidFill, FreeBrush>>;
using TFontPtr = std::unique_ptr<Gdiplus::GpFont, TDeleter<Gdiplus::GpFont, Flat::GdipDeleteFont>>;
using TFontFamilyPtr =
    std::unique_ptr<Gdiplus::GpFontFamily, TDeleter<Gdiplus::GpFontFamily, Flat::GdipDeleteFontFamily>>;
using TStringFormatPtr =
    std::unique_ptr<Gdiplus::GpStringFormat, TDeleter<Gdiplus::GpStringFormat, Flat::GdipDeleteStringFormat>>;

// A GDI+ bitmap that reads and writes our pixels in place (rows of width × 4 bytes, PARGB).
inline TBitmapPtr WrapBitmap(const TKVLBitmap& bitmap) {
  Start();
  Gdiplus::GpBitmap* raw = nullptr;
  // GDI+ wants a mutable pointer even for bitmaps it only reads.
  auto* bits = reinterpret_cast<BYTE*>(const_cast<uint32_t*>(bitmap.Data()));
  if (Flat::GdipCreateBitmapFromScan0(bitmap.Width(), bitmap.Height(), bitmap.Width() * 4, PixelFormat32bppPARGB,
                                      bits, &raw) != Gdiplus::Ok)
    throw EKVLGraphics("Cannot create a GDI+ bitmap");
  return TBitmapPtr(raw);
}

} // namespace KVL::UI::GdiPlus
