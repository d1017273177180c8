// MdiChild: the one base of the frame's MDI children that the debugger
// places, brings forward and closes (View is the window's view interface).
// A window either goes when it is closed or is only minimised (the source
// and watch windows, which live as long as their program); a window may
// still refuse a close in its own closeEvent.
//
// View comes after QMdiSubWindow so that it is destroyed first, as the
// windows always were: the frame learns of a window's end from
// QObject::destroyed and compares the pointers it keeps at that moment.
#pragma once

#include <QMdiSubWindow>

#include "ide/ui/core/views/child_window.h"

class QCloseEvent;

namespace vx930 {

enum class OnClose { Delete, Minimise };

namespace mdi_child {
void Init(QMdiSubWindow& window, OnClose onClose);
WindowBounds Bounds(const QMdiSubWindow& window);
void SetBounds(QMdiSubWindow& window, const WindowBounds& bounds);
void BringForward(QMdiSubWindow& window, QWidget* focusWidget);
// True when the event was taken care of (the window only minimised).
bool Minimise(QMdiSubWindow& window, QCloseEvent* event);
}  // namespace mdi_child

template <class View>
class MdiChild : public QMdiSubWindow, public View {
public:
  explicit MdiChild(OnClose onClose, QWidget* parent = nullptr) : QMdiSubWindow(parent), onClose_(onClose) {
    mdi_child::Init(*this, onClose);
  }

  // ChildWindow
  WindowBounds Bounds() const override { return mdi_child::Bounds(*this); }
  void SetBounds(const WindowBounds& bounds) override { mdi_child::SetBounds(*this, bounds); }
  // Restored when minimised, shown, raised, made the active child, and the
  // focus given to the focus widget (the window itself when there is none).
  void BringForward() override { mdi_child::BringForward(*this, focusWidget_); }
  void Close() override { close(); }

protected:
  void SetFocusWidget(QWidget* widget) { focusWidget_ = widget; }
  void closeEvent(QCloseEvent* event) override {
    if (onClose_ == OnClose::Minimise && mdi_child::Minimise(*this, event)) return;
    QMdiSubWindow::closeEvent(event);
  }

private:
  OnClose onClose_;
  QWidget* focusWidget_ = nullptr;
};

}  // namespace vx930
