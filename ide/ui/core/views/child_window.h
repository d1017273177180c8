// What the main window needs of every MDI child it manages: its place for the
// saved layout, bringing it forward, and closing it.
#pragma once

namespace vx930 {

struct WindowBounds {
  int top = 0;
  int left = 0;
  int width = 0;
  int height = 0;
};

class ChildWindow {
public:
  virtual ~ChildWindow() = default;

  // Top and left within the frame's client area.
  virtual WindowBounds Bounds() const = 0;
  virtual void SetBounds(const WindowBounds& bounds) = 0;
  // To the front, focused, and restored when minimised.
  virtual void BringForward() = 0;
  // Runs the window's own close handling (it may free itself or only minimise).
  virtual void Close() = 0;
};

}  // namespace vx930
