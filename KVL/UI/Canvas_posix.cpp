// The canvas on cairo image surfaces, with text laid out by pango.
#include "KVL/UI/Canvas.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

namespace KVL::UI {

namespace {

void SetColor(cairo_t* cr, TKVLColor color) {
  cairo_set_source_rgb(cr, color.R() / 255.0, color.G() / 255.0, color.B() / 255.0);
}

uint8_t Mix(uint8_t a, uint8_t b, int step, int steps) {
  return static_cast<uint8_t>(std::lround(a + (static_cast<double>(b) - a) * step / steps));
}

// Fonts differ for layout by these fields; underline and strike-out are attributes.
using TFontKey = std::tuple<std::string, double, bool, bool>;

struct TFontEntry {
  PangoFontDescription* Description = nullptr;
  int LineHeight = 0;
};

class TKVLCairoCanvas final : public IKVLCanvas {
public:
  TKVLCairoCanvas(TKVLBitmap& target, int dpi) : target_(target), dpi_(dpi) {
    int width = target.Width();
    int height = target.Height();
    if (target.IsEmpty()) {
      surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0);
    } else if (cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width) == width * 4) {
      surface_ = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(target.Data()),
                                                     CAIRO_FORMAT_ARGB32, width, height, width * 4);
    } else {
      // cairo wants padded rows: draw on a surface of its own and copy after each operation.
      surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
      copying_ = true;
    }
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(surface_);
      throw EKVLGraphics("Cannot create a canvas");
    }
    if (copying_) CopyRows(true);
    cr_ = cairo_create(surface_);
    // Edges on whole pixels stay sharp; text has its own antialiasing in the font options.
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    pango_ = pango_cairo_create_context(cr_);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_, options);
    cairo_font_options_destroy(options);
    layout_ = pango_layout_new(pango_);
    pango_layout_set_single_paragraph_mode(layout_, TRUE);
  }

  ~TKVLCairoCanvas() override {
    for (auto& [key, entry] : fonts_) pango_font_description_free(entry.Description);
    g_object_unref(layout_);
    g_object_unref(pango_);
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }

  TKVLCairoCanvas(const TKVLCairoCanvas&) = delete;
  TKVLCairoCanvas& operator=(const TKVLCairoCanvas&) = delete;

  int Dpi() const override { return dpi_; }

  void Save() override {
    cairo_save(cr_);
    ++depth_;
  }

  // An unmatched Restore is ignored: in cairo it would put the context in a lasting error state.
  void Restore() override {
    if (depth_ == 0) return;
    cairo_restore(cr_);
    --depth_;
  }

  void Translate(int dx, int dy) override { cairo_translate(cr_, dx, dy); }

  void IntersectClip(const TKVLRect& rect) override {
    cairo_new_path(cr_);
    if (rect.IsEmpty()) {
      cairo_rectangle(cr_, 0, 0, 0, 0);
    } else {
      cairo_rectangle(cr_, rect.Left, rect.Top, rect.Width(), rect.Height());
    }
    cairo_clip(cr_);
  }

  void FillRect(const TKVLRect& rect, TKVLColor color) override {
    if (rect.IsEmpty()) return;
    cairo_new_path(cr_);
    cairo_rectangle(cr_, rect.Left, rect.Top, rect.Width(), rect.Height());
    SetColor(cr_, color);
    cairo_fill(cr_);
    Done();
  }

  // Row by row, so the first and last rows carry the two colours exactly.
  void FillGradientV(const TKVLRect& rect, TKVLColor top, TKVLColor bottom) override {
    if (rect.IsEmpty()) return;
    int steps = rect.Height() - 1;
    for (int row = 0; row < rect.Height(); ++row) {
      TKVLColor color = top;
      if (steps > 0) {
        uint32_t rgb = static_cast<uint32_t>(Mix(top.R(), bottom.R(), row, steps)) << 16 |
                       static_cast<uint32_t>(Mix(top.G(), bottom.G(), row, steps)) << 8 |
                       Mix(top.B(), bottom.B(), row, steps);
        color = TKVLColor(rgb);
      }
      cairo_new_path(cr_);
      cairo_rectangle(cr_, rect.Left, rect.Top + row, rect.Width(), 1);
      SetColor(cr_, color);
      cairo_fill(cr_);
    }
    Done();
  }

  void FrameRect(const TKVLRect& rect, TKVLColor color) override {
    if (rect.IsEmpty()) return;
    cairo_new_path(cr_);
    int w = rect.Width();
    int h = rect.Height();
    cairo_rectangle(cr_, rect.Left, rect.Top, w, 1);
    if (h > 1) cairo_rectangle(cr_, rect.Left, rect.Bottom - 1, w, 1);
    if (h > 2) {
      cairo_rectangle(cr_, rect.Left, rect.Top + 1, 1, h - 2);
      if (w > 1) cairo_rectangle(cr_, rect.Right - 1, rect.Top + 1, 1, h - 2);
    }
    SetColor(cr_, color);
    cairo_fill(cr_);
    Done();
  }

  // Bresenham's pixels, each filled as a unit square, so every backend agrees on them.
  void DrawLine(TKVLPoint a, TKVLPoint b, TKVLColor color) override {
    if (a == b) return;
    cairo_new_path(cr_);
    ForEachLineRect(a, b, [this](const TKVLRect& r) { cairo_rectangle(cr_, r.Left, r.Top, r.Width(), r.Height()); });
    SetColor(cr_, color);
    cairo_fill(cr_);
    Done();
  }

  void DrawPicture(const TKVLBitmap& picture, const TKVLRect& dest) override {
    if (picture.IsEmpty() || dest.IsEmpty()) return;
    int width = picture.Width();
    int height = picture.Height();
    cairo_surface_t* source;
    if (cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width) == width * 4) {
      // cairo only reads a source surface, the cast does not let it write.
      source = cairo_image_surface_create_for_data(
          reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(picture.Data())), CAIRO_FORMAT_ARGB32, width,
          height, width * 4);
    } else {
      source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
      if (cairo_surface_status(source) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(source);
        unsigned char* data = cairo_image_surface_get_data(source);
        int stride = cairo_image_surface_get_stride(source);
        for (int y = 0; y < height; ++y)
          std::memcpy(data + static_cast<size_t>(y) * stride, picture.Data() + static_cast<size_t>(y) * width,
                      static_cast<size_t>(width) * 4);
        cairo_surface_mark_dirty(source);
      }
    }
    if (cairo_surface_status(source) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(source);
      throw EKVLGraphics("Cannot draw the picture");
    }
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source);
    cairo_matrix_t matrix;
    // Pattern space maps user space back to the picture's pixels.
    cairo_matrix_init_scale(&matrix, static_cast<double>(width) / dest.Width(),
                            static_cast<double>(height) / dest.Height());
    cairo_matrix_translate(&matrix, -dest.Left, -dest.Top);
    cairo_pattern_set_matrix(pattern, &matrix);
    // Edge pixels are repeated outward instead of fading into transparency when scaled.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, width == dest.Width() && height == dest.Height() ? CAIRO_FILTER_NEAREST
                                                                                         : CAIRO_FILTER_GOOD);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, dest.Left, dest.Top, dest.Width(), dest.Height());
    cairo_set_source(cr_, pattern);
    cairo_fill(cr_);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(source);
    Done();
  }

  void DrawText(const std::string& text, const TKVLRect& rect, const TKVLFont& font, TKVLColor color,
                TKVLTextAlign align, TKVLVerticalAlign valign) override {
    if (text.empty() || rect.IsEmpty()) return;
    const TFontEntry& entry = Font(font);
    pango_cairo_update_context(cr_, pango_);
    SetLayout(text, font, entry);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout_, nullptr, &logical);
    int x = rect.Left - logical.x;
    if (align == TKVLTextAlign::taCenter) x += (rect.Width() - logical.width) / 2;
    else if (align == TKVLTextAlign::taRight) x += rect.Width() - logical.width;
    int y = rect.Top;
    if (valign == TKVLVerticalAlign::vaCenter) y += (rect.Height() - entry.LineHeight) / 2;
    else if (valign == TKVLVerticalAlign::vaBottom) y += rect.Height() - entry.LineHeight;
    cairo_save(cr_);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, rect.Left, rect.Top, rect.Width(), rect.Height());
    cairo_clip(cr_);
    SetColor(cr_, color);
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout_);
    cairo_restore(cr_);
    Done();
  }

  TKVLSize MeasureText(const std::string& text, const TKVLFont& font) override {
    const TFontEntry& entry = Font(font);
    if (text.empty()) return {0, entry.LineHeight};
    pango_cairo_update_context(cr_, pango_);
    SetLayout(text, font, entry);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout_, nullptr, &logical);
    return {logical.width, entry.LineHeight};
  }

private:
  // The font's description, with the height of an empty line in it (the line height that
  // measuring and vertical alignment use whatever the text).
  const TFontEntry& Font(const TKVLFont& font) {
    TFontKey key{font.Name, font.SizePt, font.Bold, font.Italic};
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, font.Name.c_str());
    pango_font_description_set_absolute_size(description, PointsToPixels(font.SizePt, dpi_) * PANGO_SCALE);
    pango_font_description_set_weight(description, font.Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description, font.Italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    TFontEntry entry{description, 0};
    pango_layout_set_font_description(layout_, description);
    pango_layout_set_attributes(layout_, nullptr);
    pango_layout_set_text(layout_, "", 0);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout_, nullptr, &logical);
    entry.LineHeight = logical.height;
    return fonts_.emplace(key, entry).first->second;
  }

  void SetLayout(const std::string& text, const TKVLFont& font, const TFontEntry& entry) {
    pango_layout_set_font_description(layout_, entry.Description);
    PangoAttrList* attributes = nullptr;
    if (font.Underline || font.StrikeOut) {
      attributes = pango_attr_list_new();
      if (font.Underline) pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
      if (font.StrikeOut) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    }
    pango_layout_set_attributes(layout_, attributes);
    if (attributes) pango_attr_list_unref(attributes);
    pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));
  }

  // Drawing is finished in the pixels that the bitmap's readers see.
  void Done() {
    cairo_surface_flush(surface_);
    if (copying_) CopyRows(false);
  }

  void CopyRows(bool intoSurface) {
    cairo_surface_flush(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    size_t rowBytes = static_cast<size_t>(target_.Width()) * 4;
    for (int y = 0; y < target_.Height(); ++y) {
      unsigned char* surfaceRow = data + static_cast<size_t>(y) * stride;
      uint32_t* bitmapRow = target_.Data() + static_cast<size_t>(y) * target_.Width();
      if (intoSurface) std::memcpy(surfaceRow, bitmapRow, rowBytes);
      else std::memcpy(bitmapRow, surfaceRow, rowBytes);
    }
    if (intoSurface) cairo_surface_mark_dirty(surface_);
  }

  TKVLBitmap& target_;
  int dpi_;
  bool copying_ = false;
  int depth_ = 0;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  PangoContext* pango_ = nullptr;
  PangoLayout* layout_ = nullptr;
  std::map<TFontKey, TFontEntry> fonts_;
};

} // namespace

std::unique_ptr<IKVLCanvas> CreateBitmapCanvas(TKVLBitmap& target, int dpi) {
  return std::make_unique<TKVLCairoCanvas>(target, dpi);
}

IKVLCanvas& MeasuringCanvas(int dpi) {
  struct TMeasuring {
    TKVLBitmap Bitmap{1, 1};
    std::unique_ptr<IKVLCanvas> Canvas;
  };
  // One per dpi for the program's lifetime; main thread only, as pango's font map is.
  static std::map<int, std::unique_ptr<TMeasuring>> canvases;
  auto& slot = canvases[dpi];
  if (!slot) {
    slot = std::make_unique<TMeasuring>();
    slot->Canvas = CreateBitmapCanvas(slot->Bitmap, dpi);
  }
  return *slot->Canvas;
}

} // namespace KVL::UI
