#include "ide/ui/qt/mdi_child.h"

#include <QCloseEvent>
#include <QMdiArea>

namespace vx930::mdi_child {

void Init(QMdiSubWindow& window, OnClose onClose) {
  window.setAttribute(Qt::WA_DeleteOnClose, onClose == OnClose::Delete);
}

WindowBounds Bounds(const QMdiSubWindow& window) {
  const QRect g = window.geometry();
  return WindowBounds{g.top(), g.left(), g.width(), g.height()};
}

void SetBounds(QMdiSubWindow& window, const WindowBounds& b) { window.setGeometry(b.left, b.top, b.width, b.height); }

void BringForward(QMdiSubWindow& window, QWidget* focusWidget) {
  if (window.isMinimized()) window.showNormal();
  window.show();
  window.raise();
  if (window.mdiArea()) window.mdiArea()->setActiveSubWindow(&window);
  if (focusWidget)
    focusWidget->setFocus();
  else
    window.setFocus();
}

bool Minimise(QMdiSubWindow& window, QCloseEvent* event) {
  event->ignore();
  window.showMinimized();
  return true;
}

}  // namespace vx930::mdi_child
