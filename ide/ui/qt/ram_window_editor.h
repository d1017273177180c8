// The RAM view's text box ("RichEdit1"): paints a RamDump in a fixed-pitch
// font with its vertical scroll bar ("ScrollBar1"), the changed pairs in red
// and the caret, and turns keys and clicks into caret moves on the dump. It
// reads and edits nothing itself: hex digits, other keys and scrolling are
// signalled to the view, which decides.
#pragma once

#include <QAbstractScrollArea>

#include "ide/ui/core/ram_view_dump.h"

namespace vx930 {

class RamDumpEditor final : public QAbstractScrollArea {
  Q_OBJECT

public:
  explicit RamDumpEditor(RamDump& dump, QWidget* parent = nullptr);

  int FirstVisibleLine() const;
  // Lines that fit the box, and one more for a part line.
  int PageLines() const { return pageLines_; }
  int LineHeight() const;
  int CharWidth() const;
  // Where the caret is drawn for a line and column, in viewport coordinates.
  QPoint CellOrigin(int line, int column) const;

  // The dump's size or text changed: scroll ranges and repaint.
  void DumpChanged();
  // Scrolls so that the caret's line is in view; not signalled as scrolled().
  void EnsureCaretVisible();

signals:
  void digitTyped(int digit);
  // A key other than a hex digit moved the caret (or would have).
  void caretMoved();
  // The user scrolled the text.
  void scrolled();

protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  void UpdateRanges();

  RamDump& dump_;
  int pageLines_ = 1;
  // Set while the view moves the scroll bar itself.
  bool quiet_ = false;
};

}  // namespace vx930
