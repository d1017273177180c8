// The frame's tiling of its MDI children. Horizontal tiling stacks the
// windows top to bottom, each the full width of the area; vertical tiling
// puts them side by side, each the full height. The strips share the area
// exactly: the first ones are a pixel larger when it does not divide evenly.
#pragma once

#include <QRect>
#include <vector>

namespace vx930 {

enum class TileMode { Horizontal, Vertical };

// The places of count windows in the area, first window first.
std::vector<QRect> TileRects(const QRect& area, int count, TileMode mode);

}  // namespace vx930
