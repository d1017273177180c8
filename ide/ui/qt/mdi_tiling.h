// The frame's tiling of its MDI children. Horizontal tiling stacks the
// windows top to bottom, each the full width of the area; vertical tiling
// puts them side by side, each the full height. The strips share the area
// exactly: the first ones are a pixel larger when it does not divide evenly.
#pragma once

#include <QRect>
#include <QSize>
#include <vector>

namespace vx930 {

enum class TileMode { Horizontal, Vertical };

// The places of count windows in the area, first window first.
std::vector<QRect> TileRects(const QRect& area, int count, TileMode mode);

// Cascading keeps each window's size (cut down to what fits from its
// corner) and sets each one a step right and down from the one before; the
// corners start over at the top left when the next one would leave less
// than a third of the area. Windows are given bottom of the stack first.
std::vector<QRect> CascadeRects(const QRect& area, const std::vector<QSize>& sizes, int step);

}  // namespace vx930
