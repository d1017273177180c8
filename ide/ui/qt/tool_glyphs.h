// The tool bar's glyphs, drawn at run time: 0 Open, 1 Normal Run, 2 Free Run,
// 3 Stop, 4 Reset, 5 Step Into, 6 Step Over. Qt greys them for the disabled state.
#pragma once

#include <QIcon>

namespace vx930 {

inline constexpr int kToolGlyphCount = 7;
QIcon ToolGlyph(int index);

}  // namespace vx930
