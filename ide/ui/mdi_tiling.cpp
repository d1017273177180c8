#include "ide/ui/mdi_tiling.h"

namespace vx930 {

std::vector<QRect> TileRects(const QRect& area, int count, TileMode mode) {
  std::vector<QRect> rects;
  if (count <= 0 || area.isEmpty()) return rects;
  const bool horizontal = mode == TileMode::Horizontal;
  const int length = horizontal ? area.height() : area.width();
  int at = 0;
  for (int i = 0; i < count; ++i) {
    const int size = length / count + (i < length % count ? 1 : 0);
    if (horizontal)
      rects.emplace_back(area.left(), area.top() + at, area.width(), size);
    else
      rects.emplace_back(area.left() + at, area.top(), size, area.height());
    at += size;
  }
  return rects;
}

}  // namespace vx930
