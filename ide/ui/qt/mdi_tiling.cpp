#include "ide/ui/qt/mdi_tiling.h"

#include <algorithm>

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

std::vector<QRect> CascadeRects(const QRect& area, const std::vector<QSize>& sizes, int step) {
  std::vector<QRect> rects;
  if (area.isEmpty()) return rects;
  step = std::max(step, 1);
  int offset = 0;
  for (const QSize& size : sizes) {
    if (offset > 0 && (offset > area.width() * 2 / 3 || offset > area.height() * 2 / 3)) offset = 0;
    const int width = std::clamp(size.width(), 1, area.width() - offset);
    const int height = std::clamp(size.height(), 1, area.height() - offset);
    rects.emplace_back(area.left() + offset, area.top() + offset, width, height);
    offset += step;
  }
  return rects;
}

}  // namespace vx930
