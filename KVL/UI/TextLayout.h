// Lays formatted text out in lines for a width, draws it and finds the link under a point.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "KVL/UI/Canvas.h"
#include "KVL/UI/RichText.h"

namespace KVL::UI {

struct TKVLTextLayoutOptions {
  TKVLFont DefaultFont;
  TKVLColor DefaultColor;
  TKVLColor LinkColor;
  bool WordWrap = true;
  // Marks addresses in plain runs (http://, https://, ftp://, www., mailto:) as links.
  bool DetectUrls = false;
  // Multiplies every font size (the viewer's zoom); 1 is as written.
  double Zoom = 1.0;
};

class TKVLTextLayout {
public:
  // Measures with canvas (at its dots per inch); width in pixels.
  TKVLTextLayout(const TKVLRichDocument& document, const TKVLTextLayoutOptions& options, IKVLCanvas& canvas, int width);
  int Height() const { return height_; }
  int Width() const { return width_; }
  int LineCount() const { return static_cast<int>(lines_.size()); }
  // Draws with the layout's top-left corner at origin; lines wholly outside clip (canvas
  // coordinates, when given) are skipped.
  void Draw(IKVLCanvas& canvas, TKVLPoint origin, const std::optional<TKVLRect>& clip = std::nullopt) const;
  // The link of the run at pt (layout coordinates), empty when none.
  std::string LinkAt(TKVLPoint pt) const;

private:
  struct TFragment {
    std::string Text;
    TKVLFont Font;
    TKVLColor Color;
    std::optional<TKVLColor> BackColor;
    std::string Link;
    TKVLRect Box;
  };
  struct TLine {
    std::vector<TFragment> Fragments;
    int Top = 0;
    int Height = 0;
  };
  std::vector<TLine> lines_;
  int height_ = 0;
  int width_ = 0;
};

} // namespace KVL::UI
