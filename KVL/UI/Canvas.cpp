// The canvas' portable part: which pixels a line covers.
#include "KVL/UI/Canvas.h"

#include <cstdlib>

namespace KVL::UI {

void ForEachLineRect(TKVLPoint a, TKVLPoint b, const std::function<void(const TKVLRect&)>& fill) {
  if (a == b) return;
  const int dx = std::abs(b.X - a.X);
  const int dy = -std::abs(b.Y - a.Y);
  const int sx = a.X < b.X ? 1 : -1;
  const int sy = a.Y < b.Y ? 1 : -1;
  if (dy == 0) {
    const int left = sx > 0 ? a.X : b.X + 1;
    fill({left, a.Y, left + dx, a.Y + 1});
    return;
  }
  if (dx == 0) {
    const int top = sy > 0 ? a.Y : b.Y + 1;
    fill({a.X, top, a.X + 1, top - dy});
    return;
  }
  int err = dx + dy;
  int x = a.X;
  int y = a.Y;
  while (x != b.X || y != b.Y) {
    fill({x, y, x + 1, y + 1});
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

} // namespace KVL::UI
