#include "ide/ui/qt/ram_window_editor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace vx930 {

namespace {

constexpr int kMargin = 2;

// Hex digit keys, the numeric pad's included; -1 for any other key.
int DigitOf(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return -1;
  const int key = event.key();
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return key - Qt::Key_0;
  if (key >= Qt::Key_A && key <= Qt::Key_F) return 10 + key - Qt::Key_A;
  return -1;
}

bool IsModifierOnly(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
         key == Qt::Key_AltGr || key == Qt::Key_CapsLock || key == Qt::Key_NumLock;
}

RamDump::CaretKey CaretKeyOf(const QKeyEvent& event) {
  const bool ctrl = event.modifiers() & Qt::ControlModifier;
  switch (event.key()) {
    case Qt::Key_Left: return RamDump::CaretKey::Left;
    case Qt::Key_Right: return RamDump::CaretKey::Right;
    case Qt::Key_Up: return RamDump::CaretKey::Up;
    case Qt::Key_Down: return RamDump::CaretKey::Down;
    case Qt::Key_PageUp: return RamDump::CaretKey::PageUp;
    case Qt::Key_PageDown: return RamDump::CaretKey::PageDown;
    case Qt::Key_Home: return ctrl ? RamDump::CaretKey::DocumentHome : RamDump::CaretKey::Home;
    case Qt::Key_End: return ctrl ? RamDump::CaretKey::DocumentEnd : RamDump::CaretKey::End;
    default: return RamDump::CaretKey::Other;
  }
}

}  // namespace

RamDumpEditor::RamDumpEditor(RamDump& dump, QWidget* parent) : QAbstractScrollArea(parent), dump_(dump) {
  setObjectName("RichEdit1");
  verticalScrollBar()->setObjectName("ScrollBar1");
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFocusPolicy(Qt::StrongFocus);
  QFont font("Courier New");
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(9);
  setFont(font);
  QPalette p = viewport()->palette();
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Text, Qt::black);
  viewport()->setPalette(p);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setCursor(Qt::IBeamCursor);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (!quiet_) emit scrolled();
  });
}

int RamDumpEditor::FirstVisibleLine() const { return verticalScrollBar()->value(); }

int RamDumpEditor::LineHeight() const { return std::max(fontMetrics().lineSpacing(), 1); }

int RamDumpEditor::CharWidth() const { return std::max(fontMetrics().horizontalAdvance(QLatin1Char('0')), 1); }

QPoint RamDumpEditor::CellOrigin(int line, int column) const {
  return QPoint(kMargin + column * CharWidth() - horizontalScrollBar()->value(),
                (line - FirstVisibleLine()) * LineHeight());
}

// Quiet: a range that pulls the position in is not the user scrolling.
void RamDumpEditor::UpdateRanges() {
  const int lh = LineHeight();
  const int full = std::max(viewport()->height() / lh, 1);
  const bool wasQuiet = quiet_;
  quiet_ = true;
  verticalScrollBar()->setRange(0, std::max(dump_.LineCount() - full, 0));
  verticalScrollBar()->setPageStep(full);
  verticalScrollBar()->setSingleStep(1);
  const int textWidth = 2 * kMargin + RamDump::kLineLength * CharWidth();
  horizontalScrollBar()->setRange(0, std::max(textWidth - viewport()->width(), 0));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(CharWidth());
  quiet_ = wasQuiet;
}

void RamDumpEditor::DumpChanged() {
  UpdateRanges();
  viewport()->update();
}

void RamDumpEditor::EnsureCaretVisible() {
  const int line = dump_.GetCaret().line;
  const int first = FirstVisibleLine();
  const int full = std::max(viewport()->height() / LineHeight(), 1);
  int target = first;
  if (line < first)
    target = line;
  else if (line >= first + full)
    target = line - full + 1;
  if (target != first) {
    quiet_ = true;
    verticalScrollBar()->setValue(target);
    quiet_ = false;
  }
  viewport()->update();
}

void RamDumpEditor::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), Qt::white);
  painter.setFont(font());
  const int lh = LineHeight();
  const int cw = CharWidth();
  const int ascent = fontMetrics().ascent();
  const int first = FirstVisibleLine();
  const int last = std::min(first + viewport()->height() / lh + 1, dump_.LineCount() - 1);
  const int x0 = kMargin - horizontalScrollBar()->value();
  for (int line = first; line <= last; ++line) {
    const QString text = QString::fromStdString(dump_.LineText(line));
    const int y = (line - first) * lh + ascent;
    // Each character is drawn at its own cell: the font's true advance is
    // fractional, so a run drawn as one string drifts off the integer cell
    // grid that the caret, the clicks and the other colour's runs use.
    for (int column = 0; column < text.size(); ++column) {
      const QChar ch = text.at(column);
      if (ch == QLatin1Char(' ')) continue;
      const int rel = column - RamDump::kHexColumn;
      // A red byte colours its two digits only.
      const bool red = column >= RamDump::kHexColumn && column < RamDump::kAsciiColumn - 1 && rel % 3 != 2 &&
                       dump_.IsRed(line * RamDump::kLineBytes + rel / 3);
      painter.setPen(red ? QColor(Qt::red) : QColor(Qt::black));
      painter.drawText(x0 + column * cw, y, QString(ch));
    }
  }
  if (hasFocus() && dump_.LineCount() > 0) {
    const RamDump::Caret c = dump_.GetCaret();
    const QPoint at = CellOrigin(c.line, c.column);
    painter.fillRect(QRect(at.x(), at.y(), 1, lh), Qt::black);
  }
}

void RamDumpEditor::keyPressEvent(QKeyEvent* event) {
  const int digit = DigitOf(*event);
  if (digit >= 0) {
    emit digitTyped(digit);
    return;
  }
  if (IsModifierOnly(event->key())) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const RamDump::CaretKey key = CaretKeyOf(*event);
  dump_.MoveCaret(key, pageLines_);
  EnsureCaretVisible();
  emit caretMoved();
  // Keys the text does not use go on to the window (shortcuts).
  if (key == RamDump::CaretKey::Other)
    event->ignore();
  else
    event->accept();
}

void RamDumpEditor::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  const int cw = CharWidth();
  const int line = FirstVisibleLine() + p.y() / LineHeight();
  const int column = (p.x() - kMargin + horizontalScrollBar()->value() + cw / 2) / cw;
  dump_.SetCaret(line, column);
  viewport()->update();
}

void RamDumpEditor::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dump_.AfterClick();
  viewport()->update();
}

void RamDumpEditor::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (viewport()->height() > 0) pageLines_ = viewport()->height() / LineHeight() + 1;
  // Resizing reads nothing, even when the scroll position has to move.
  UpdateRanges();
}

void RamDumpEditor::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void RamDumpEditor::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void RamDumpEditor::scrollContentsBy(int, int) { viewport()->update(); }

}  // namespace vx930
