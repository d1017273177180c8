#include "ide/ui/qt/goto_address.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QValidator>

namespace vx930 {
namespace {

// Typed letters appear in upper case, as the edit's case setting had them.
class UpperCaseInput final : public QValidator {
public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toUpper();
    return Acceptable;
  }
};

}  // namespace

TfmGotoAddress::TfmGotoAddress(QWidget* parent) : QDialog(parent) {
  setObjectName("fmGotoAddress");
  setWindowTitle("Dialog");
  setModal(true);
  setFixedSize(313, 106);

  auto* label = new QLabel("Address (0000~FFFF) :", this);
  label->setObjectName("Label1");
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  label->setGeometry(16, 20, 160, 17);

  edit_ = new QLineEdit(this);
  edit_->setObjectName("Edit1");
  edit_->setMaxLength(4);
  edit_->setValidator(new UpperCaseInput(edit_));
  edit_->setGeometry(184, 16, 105, 21);

  ok_ = new QPushButton("OK", this);
  ok_->setObjectName("OKBtn");
  ok_->setDefault(true);
  ok_->setGeometry(64, 64, 75, 25);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("CancelBtn");
  cancel_->setGeometry(174, 64, 75, 25);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  edit_->setFocus();
}

std::string TfmGotoAddress::Text() const { return edit_->text().toStdString(); }

}  // namespace vx930
