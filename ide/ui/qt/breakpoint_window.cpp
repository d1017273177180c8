#include "ide/ui/qt/breakpoint_window.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>

#include "ide/image/ide_message.h"
#include "ide/ui/core/debugger.h"
#include "ide/ui/qt/breakpoint_property.h"

namespace vx930 {

TfmBreakPoint::TfmBreakPoint(std::unique_ptr<BreakPointHost> host, QWidget* parent)
    : MdiChild(OnClose::Delete, parent), host_(std::move(host)), brkCount_(host_->Count()) {
  setObjectName("fmBreakPoint");
  setWindowTitle("Break Point");

  list_ = new QListWidget(this);
  SetFocusWidget(list_);
  list_->setObjectName("CheckListBox1");
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(13);
  list_->setFont(font);
  list_->setUniformItemSizes(true);
  list_->viewport()->installEventFilter(this);
  list_->installEventFilter(this);
  connect(list_, &QListWidget::itemChanged, this, [this] {
    if (!refreshing_) CheckListBox1ClickCheck();
  });
  setWidget(list_);

  popup_ = new QMenu(this);
  popup_->setObjectName("pmBrkSetting");
  enable_ = popup_->addAction("Enable", this, [this] { miEnableClick(); });
  enable_->setObjectName("miEnable");
  enable_->setCheckable(true);
  property_ = popup_->addAction("Property", this, [this] { miPropertyClick(); });
  property_->setObjectName("miProperty");

  RefreshList();
  resize(297, 152);
}

TfmBreakPoint::~TfmBreakPoint() = default;

void TfmBreakPoint::RefreshList() {
  refreshing_ = true;
  if (list_->count() == 0) {
    for (int i = 0; i < brkCount_; ++i) {
      auto* item = new QListWidgetItem("0000", list_);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setSizeHint(QSize(0, 16));
    }
  }
  for (int i = 0; i < brkCount_ && i < list_->count(); ++i) {
    const BreakPointRec entry = host_->Entry(i);
    QListWidgetItem* item = list_->item(i);
    item->setText(QString::fromStdString(BreakPointItemText(entry)));
    item->setCheckState(entry.enabled ? Qt::Checked : Qt::Unchecked);
  }
  refreshing_ = false;
}

bool TfmBreakPoint::MayChange() {
  if (!host_->TargetRunning()) return true;
  ShowIdeMessage("Please Stop the ICE First !!");
  RefreshList();
  return false;
}

void TfmBreakPoint::CheckListBox1ClickCheck() {
  if (!MayChange()) return;
  for (int i = 0; i < brkCount_ && i < list_->count(); ++i) {
    if (list_->item(i)->checkState() == Qt::Checked)
      host_->EnableBreakPoint(i);
    else
      host_->DisableBreakPoint(i);
  }
}

int TfmBreakPoint::FirstSelected() const {
  for (int i = 0; i < list_->count(); ++i)
    if (list_->item(i)->isSelected()) return i;
  return -1;
}

void TfmBreakPoint::CheckListBox1MouseUp(const QPoint& globalPos) {
  const int selected = FirstSelected();
  if (selected < 0) return;
  selectedBrk_ = selected;
  pmBrkSettingPopup();
  popup_->popup(globalPos);
}

void TfmBreakPoint::CheckListBox1KeyDown(int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  const int selected = FirstSelected();
  if (selected < 0) return;
  selectedBrk_ = selected;
  miPropertyClick();
}

void TfmBreakPoint::pmBrkSettingPopup() {
  const QListWidgetItem* item = list_->item(selectedBrk_);
  enable_->setChecked(item && item->checkState() == Qt::Checked);
}

void TfmBreakPoint::miEnableClick() {
  QListWidgetItem* item = list_->item(selectedBrk_);
  if (!item) return;
  refreshing_ = true;
  item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  refreshing_ = false;
  CheckListBox1ClickCheck();
}

void TfmBreakPoint::miPropertyClick() {
  if (selectedBrk_ < 0 || selectedBrk_ >= brkCount_) return;
  if (!MayChange()) return;
  TfmBrkProperty dialog(this);
  dialog.setWindowTitle(QString::fromStdString(BreakPointPropertyCaption(selectedBrk_)));
  const BreakPointRec entry = host_->Entry(selectedBrk_);
  dialog.BrkAddress = static_cast<int32_t>(entry.address);
  dialog.BrkPassCount = entry.passCount;
  dialog.ShowFields();
  if (dialog.exec() != QDialog::Accepted) return;
  host_->SetBreakPoint(selectedBrk_, static_cast<uint32_t>(dialog.BrkAddress),
                       static_cast<uint8_t>(dialog.BrkPassCount));
  RefreshList();
}

bool TfmBreakPoint::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport()) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      // The right button works on the selection; it does not move it.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::RightButton) {
        CheckListBox1MouseUp(mouse->globalPosition().toPoint());
        return true;
      }
    } else if (event->type() == QEvent::ContextMenu) {
      return true;
    }
  } else if (watched == list_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      CheckListBox1KeyDown(key);
      return true;
    }
  }
  return QMdiSubWindow::eventFilter(watched, event);
}

}  // namespace vx930
