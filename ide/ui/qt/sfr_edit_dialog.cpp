#include "ide/ui/qt/sfr_edit_dialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "ide/image/ide_message.h"
#include "ide/ui/core/debugger.h"

namespace vx930 {

TfmSFRSetting::TfmSFRSetting(QWidget* owner) : QDialog(owner) {
  setObjectName("fmSFRSetting");
  setWindowTitle("SFR Setting");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(225, 89);

  name_ = new QLabel("SFR Name", this);
  name_->setObjectName("lbSFRName");
  name_->setGeometry(8, 8, 130, 16);
  readOnly_ = new QLabel("(ReadOnly)", this);
  readOnly_->setObjectName("lbReadOnly");
  readOnly_->setGeometry(8, 30, 100, 16);
  edit_ = new QLineEdit(this);
  edit_->setObjectName("edSFRValue");
  edit_->setGeometry(144, 6, 73, 21);
  ok_ = new QPushButton("Ok", this);
  ok_->setObjectName("btnOk");
  ok_->setGeometry(24, 56, 75, 25);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("btnCancel");
  cancel_->setGeometry(126, 56, 75, 25);
  // Enter in the edit is OK; the buttons must not take it as well.
  ok_->setAutoDefault(false);
  cancel_->setAutoDefault(false);
  connect(edit_, &QLineEdit::returnPressed, this, &TfmSFRSetting::btnOkClick);
  connect(ok_, &QPushButton::clicked, this, &TfmSFRSetting::btnOkClick);
  connect(cancel_, &QPushButton::clicked, this, &TfmSFRSetting::btnCancelClick);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TfmSFRSetting::Prepare(const std::string& label, const std::string& valueText, bool writable) {
  name_->setText(QString::fromStdString(label));
  edit_->setText(QString::fromStdString(valueText));
  edit_->setEnabled(writable);
  readOnly_->setVisible(!writable);
  if (writable) {
    edit_->setFocus();
    edit_->selectAll();
  } else {
    ok_->setFocus();
  }
}

void TfmSFRSetting::btnOkClick() {
  const std::optional<uint8_t> value = ParseSfrValue(edit_->text().toStdString());
  if (!value) {
    ShowIdeMessage(kSfrInputInvalid);
    return;
  }
  value_ = *value;
  accept();
}

}  // namespace vx930
