// The progress bar: a track with the filled share of the range.
#include "KVL/UI/ProgressBar.h"

#include <algorithm>
#include <cmath>

#include "KVL/UI/Theme.h"

namespace KVL::UI {

TKVLProgressBar::TKVLProgressBar(TKVLControl* owner) : TKVLControl(owner) {}

void TKVLProgressBar::SetPosition(double position) {
  position = std::clamp(position, min_, std::max(min_, max_));
  if (position == position_) return;
  position_ = position;
  Invalidate();
}

void TKVLProgressBar::SetRange(double min, double max) {
  min_ = min;
  max_ = std::max(min, max);
  position_ = std::clamp(position_, min_, max_);
  Invalidate();
}

void TKVLProgressBar::Paint(IKVLCanvas& canvas) {
  const TKVLStyleColors& colors = StyleColors();
  const TKVLRect r = ClientRect();
  canvas.FillRect(r, colors.ProgressTrack);
  if (max_ <= min_) return;
  const int filled = static_cast<int>(std::lround((position_ - min_) / (max_ - min_) * r.Width()));
  if (filled > 0) canvas.FillRect({r.Left, r.Top, r.Left + filled, r.Bottom}, colors.ProgressFill);
}

} // namespace KVL::UI
