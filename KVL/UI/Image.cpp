// The picture control: its bitmap stretched to the bounds or drawn at its own size.
#include "KVL/UI/Image.h"

namespace KVL::UI {

TKVLImage::TKVLImage(TKVLControl* owner) : TKVLControl(owner) { SetTransparent(true); }

void TKVLImage::SetPicture(TKVLBitmap picture) {
  picture_ = std::move(picture);
  Invalidate();
}

void TKVLImage::SetStretch(bool stretch) {
  if (stretch == stretch_) return;
  stretch_ = stretch;
  Invalidate();
}

void TKVLImage::Paint(IKVLCanvas& canvas) {
  TKVLControl::Paint(canvas);
  if (picture_.IsEmpty()) return;
  canvas.DrawPicture(picture_, stretch_ ? ClientRect() : TKVLRect::FromBounds(0, 0, picture_.Width(), picture_.Height()));
}

} // namespace KVL::UI
