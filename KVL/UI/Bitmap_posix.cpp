// PNG reading and writing through cairo's PNG streams.
#include "KVL/UI/Bitmap.h"

#include <cairo.h>

#include <cstring>
#include <memory>


namespace KVL::UI {

namespace {

struct TSurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using TSurfacePtr = std::unique_ptr<cairo_surface_t, TSurfaceDeleter>;

struct TContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using TContextPtr = std::unique_ptr<cairo_t, TContextDeleter>;

struct TReadState {
  std::span<const uint8_t> Bytes;
  size_t Position = 0;
};

cairo_status_t ReadFromSpan(void* closure, unsigned char* data, unsigned int length) {
  auto* state = static_cast<TReadState*>(closure);
  if (state->Bytes.size() - state->Position < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, state->Bytes.data() + state->Position, length);
  state->Position += length;
  return CAIRO_STATUS_SUCCESS;
}

cairo_status_t WriteToVector(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

} // namespace

TKVLBitmap DecodePNG(std::span<const uint8_t> bytes) {
  TReadState state{bytes, 0};
  TSurfacePtr decoded(cairo_image_surface_create_from_png_stream(ReadFromSpan, &state));
  if (cairo_surface_status(decoded.get()) != CAIRO_STATUS_SUCCESS) throw EKVLGraphics("Invalid PNG image");
  int width = cairo_image_surface_get_width(decoded.get());
  int height = cairo_image_surface_get_height(decoded.get());
  if (width <= 0 || height <= 0) throw EKVLGraphics("Invalid PNG image");
  // The reader gives ARGB32, RGB24 or (for deep images) float formats; painting onto an
  // ARGB32 surface converts every one of them to our layout.
  TSurfacePtr argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(argb.get()) != CAIRO_STATUS_SUCCESS) throw EKVLGraphics("Invalid PNG image");
  {
    TContextPtr cr(cairo_create(argb.get()));
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr.get(), decoded.get(), 0, 0);
    cairo_paint(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) throw EKVLGraphics("Invalid PNG image");
  }
  cairo_surface_flush(argb.get());
  TKVLBitmap bitmap(width, height);
  const unsigned char* source = cairo_image_surface_get_data(argb.get());
  int stride = cairo_image_surface_get_stride(argb.get());
  for (int y = 0; y < height; ++y)
    std::memcpy(bitmap.Data() + static_cast<size_t>(y) * width, source + static_cast<size_t>(y) * stride,
                static_cast<size_t>(width) * 4);
  return bitmap;
}

std::vector<uint8_t> EncodePNG(const TKVLBitmap& bitmap) {
  if (bitmap.IsEmpty()) throw EKVLGraphics("Cannot write an empty PNG image");
  int width = bitmap.Width();
  int height = bitmap.Height();
  TSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) throw EKVLGraphics("Cannot write PNG image");
  cairo_surface_flush(surface.get());
  unsigned char* target = cairo_image_surface_get_data(surface.get());
  int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < height; ++y)
    std::memcpy(target + static_cast<size_t>(y) * stride, bitmap.Data() + static_cast<size_t>(y) * width,
                static_cast<size_t>(width) * 4);
  cairo_surface_mark_dirty(surface.get());
  std::vector<uint8_t> out;
  if (cairo_surface_write_to_png_stream(surface.get(), WriteToVector, &out) != CAIRO_STATUS_SUCCESS)
    throw EKVLGraphics("Cannot write PNG image");
  return out;
}

} // namespace KVL::UI
