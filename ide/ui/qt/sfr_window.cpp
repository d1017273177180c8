#include "ide/ui/qt/sfr_window.h"

#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>

#include "ide/image/ide_message.h"
#include "ide/ui/core/debugger.h"
#include "ide/ui/qt/sfr_edit_dialog.h"

namespace vx930 {

// The client area: it tells the window when its width changes.
class SfrCellArea final : public QWidget {
public:
  SfrCellArea(TSFR_HForm* form, QWidget* parent) : QWidget(parent), form_(form) {}

protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    form_->FormResize(event->size().width());
  }

private:
  TSFR_HForm* form_;
};

namespace {

QRect ToQRect(const CellRect& r) { return QRect(r.left, r.top, r.width, r.height); }

}  // namespace

TSFR_HForm::TSFR_HForm(std::unique_ptr<SfrHost> host, QWidget* parent)
    : MdiChild(OnClose::Delete, parent), host_(std::move(host)) {
  setObjectName("SFR_HForm");
  setWindowTitle("SFR");
  area_ = new SfrCellArea(this, this);
  setWidget(area_);
  resize(459, 256);
  BuildControls();
}

TSFR_HForm::~TSFR_HForm() = default;

void TSFR_HForm::BuildControls() {
  columns_ = SfrCells::Columns(width());
  const DebuggerState& s = host_->State();
  for (int i = 0; i < cells_.CellCount(); ++i) {
    auto* button = new QPushButton(QString::fromStdString(cells_.Caption(i)), area_);
    button->setObjectName(QString("NameButton%1").arg(i));
    button->setGeometry(ToQRect(SfrCells::ButtonRect(i, columns_)));
    button->setFocusPolicy(Qt::TabFocus);
    connect(button, &QPushButton::clicked, this, [this, i] { CellClick(i); });
    auto* box = new QLabel(QString::fromStdString(cells_.ValueText(i, s)), area_);
    box->setObjectName(QString("ValueBox%1").arg(i));
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setGeometry(ToQRect(SfrCells::BoxRect(i, columns_)));
    buttons_.push_back(button);
    boxes_.push_back(box);
  }
}

void TSFR_HForm::showEvent(QShowEvent* event) {
  QMdiSubWindow::showEvent(event);
  if (fitted_) return;
  fitted_ = true;
  // The frame is known only now; the client gets the size that fits the
  // cells in as many columns as its width holds.
  const QMargins m = contentsMargins();
  const QMargins lm = layout() ? layout()->contentsMargins() : QMargins();
  const QSize frame(m.left() + m.right() + lm.left() + lm.right(), m.top() + m.bottom() + lm.top() + lm.bottom());
  FormResize(width() - frame.width());
  resize(cells_.FittedWidth(columns_) + frame.width(), cells_.FittedHeight(columns_) + frame.height());
}

void TSFR_HForm::FormResize(int clientWidth) {
  const int columns = SfrCells::Columns(clientWidth);
  columns_ = columns;
  for (int i = 0; i < static_cast<int>(buttons_.size()); ++i) {
    buttons_[static_cast<std::size_t>(i)]->setGeometry(ToQRect(SfrCells::ButtonRect(i, columns)));
    boxes_[static_cast<std::size_t>(i)]->setGeometry(ToQRect(SfrCells::BoxRect(i, columns)));
  }
}

bool TSFR_HForm::IsMarked(int cell) const { return ValueBox(cell)->autoFillBackground(); }

void TSFR_HForm::ShowValue(int cell) {
  const DebuggerState& s = host_->State();
  QLabel* box = ValueBox(cell);
  const bool marked = cells_.Changed(cell, s);
  if (marked) {
    QPalette p = box->palette();
    p.setColor(QPalette::Window, QColor(0, 0, 255));
    p.setColor(QPalette::WindowText, QColor(255, 255, 255));
    box->setPalette(p);
  } else {
    box->setPalette(palette());
  }
  box->setAutoFillBackground(marked);
  box->setText(QString::fromStdString(cells_.ValueText(cell, s)));
}

void TSFR_HForm::RefreshValues() {
  for (int i = 0; i < cells_.ShownCount(); ++i) ShowValue(i);
  RefreshRegisters();
}

void TSFR_HForm::RefreshRegisters() {
  for (int i = cells_.ShownCount(); i < cells_.CellCount(); ++i) ShowValue(i);
}

void TSFR_HForm::CellClick(int tag) {
  if (tag < 0 || tag >= cells_.CellCount()) return;
  const DebuggerState& s = host_->State();
  // An edit taken while the target runs would be read over at the halt.
  if (host_->TargetRunning()) {
    ShowIdeMessage("Please Stop the ICE First !!");
    return;
  }
  if (!dialog_) dialog_ = new TfmSFRSetting(this);
  const bool writable = cells_.Writable(tag);
  dialog_->Prepare(cells_.DialogLabel(tag), HexByte(cells_.Value(tag, s)), writable);
  const QPointer<TSFR_HForm> alive(this);
  if (dialog_->exec() != QDialog::Accepted || !alive || !writable) return;
  if (host_->TargetRunning()) {
    ShowIdeMessage("Please Stop the ICE First !!");
    return;
  }
  const uint8_t value = static_cast<uint8_t>(dialog_->Value());
  ValueBox(tag)->setText(QString::fromStdString("  " + HexByte(value)));
  if (!cells_.IsRegister(tag)) {
    host_->SetSFRValue(SFRTable[cells_.Row(tag)].SfrAddress, value);
    // A new PSW selects another bank: R0..R7 must show that bank's bytes.
    RefreshRegisters();
    return;
  }
  const int k = tag - cells_.ShownCount();
  if (!host_->SetInRAMByte(SfrCells::RegisterAddress(s, k), value)) {
    RefreshRegisters();  // refused: the box goes back to what the image holds
    return;
  }
  host_->RefreshRAMViews(this);
}

}  // namespace vx930
