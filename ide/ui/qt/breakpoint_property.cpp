#include "ide/ui/qt/breakpoint_property.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ide/image/ide_message.h"
#include "ide/ui/core/breakpoint_list.h"
#include "ide/ui/core/debugger.h"

namespace vx930 {

TfmBrkProperty::TfmBrkProperty(QWidget* parent) : QDialog(parent) {
  setObjectName("fmBrkProperty");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  auto* layout = new QGridLayout(this);
  auto label = [this](const char* name, const char* text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    return l;
  };
  address_ = new QLineEdit(this);
  address_->setObjectName("edAddress");
  passCount_ = new QLineEdit(this);
  passCount_->setObjectName("edPassCnt");
  ok_ = new QPushButton("Ok", this);
  ok_->setObjectName("btnOk");
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("btnCancel");
  // Enter moves from field to field; only the buttons act on it.
  for (QPushButton* b : {ok_, cancel_}) b->setAutoDefault(false);
  layout->addWidget(label("Label1", "Address :"), 0, 0);
  layout->addWidget(address_, 0, 1);
  layout->addWidget(label("Label4", "(Hex)"), 0, 2);
  layout->addWidget(label("Label2", "Pass Count :"), 1, 0);
  layout->addWidget(passCount_, 1, 1);
  layout->addWidget(label("Label3", "(0~254)"), 1, 2);
  layout->addWidget(ok_, 2, 1);
  layout->addWidget(cancel_, 2, 2);
  setTabOrder(address_, passCount_);
  setTabOrder(passCount_, ok_);
  setTabOrder(ok_, cancel_);
  address_->installEventFilter(this);
  passCount_->installEventFilter(this);
  connect(ok_, &QPushButton::clicked, this, [this] { btnOkClick(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  setFixedSize(270, 98);
}

void TfmBrkProperty::ShowFields() {
  address_->setText(QString::asprintf("%04X", static_cast<unsigned>(BrkAddress)));
  passCount_->setText(QString::number(BrkPassCount));
}

bool TfmBrkProperty::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      (watched == address_ ? passCount_ : static_cast<QWidget*>(ok_))->setFocus();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfmBrkProperty::btnOkClick() {
  const BrkPropertyCheck check = CheckBrkProperty(address_->text().toStdString(), passCount_->text().toStdString());
  if (check.result != BrkPropertyCheck::Result::Ok) {
    ShowIdeMessage(check.Message());
    return;
  }
  BrkAddress = static_cast<int32_t>(check.address);
  BrkPassCount = check.passCount;
  accept();
}

}  // namespace vx930
