// Geometry helpers and the 96-dpi scaling rule.
#include "KVL/UI/Types.h"

#include <algorithm>
#include <cmath>

namespace KVL::UI {

TKVLRect TKVLRect::Intersect(const TKVLRect& r) const {
  TKVLRect out{std::max(Left, r.Left), std::max(Top, r.Top), std::min(Right, r.Right), std::min(Bottom, r.Bottom)};
  if (out.IsEmpty()) return {};
  return out;
}

int ScaleValue(int value, int dpi) {
  if (dpi == 96) return value;
  // std::lround rounds halves away from zero.
  return static_cast<int>(std::lround(static_cast<double>(value) * dpi / 96.0));
}

TKVLRect ScaleRect(const TKVLRect& rect, int dpi) {
  return {ScaleValue(rect.Left, dpi), ScaleValue(rect.Top, dpi), ScaleValue(rect.Right, dpi),
          ScaleValue(rect.Bottom, dpi)};
}

double PointsToPixels(double points, int dpi) { return points * dpi / 72.0; }

} // namespace KVL::UI
