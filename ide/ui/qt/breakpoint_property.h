// TfmBrkProperty, the modal property dialog of one breakpoint: the address
// typed as bare hex digits and the pass count in decimal. OK closes it only
// when both are valid; otherwise it says which is not and stays open with
// the text as typed.
#pragma once

#include <QDialog>
#include <cstdint>

class QLineEdit;
class QPushButton;

namespace vx930 {

class TfmBrkProperty final : public QDialog {
  Q_OBJECT

public:
  explicit TfmBrkProperty(QWidget* parent = nullptr);

  // The fields the dialog starts from and, after OK, the values typed.
  int32_t BrkAddress = 0;
  int32_t BrkPassCount = 0;
  // edAddress := BrkAddress in four hex digits, edPassCnt := BrkPassCount.
  void ShowFields();

  void btnOkClick();
  void btnCancelClick() { reject(); }

  QLineEdit* edAddress() const { return address_; }
  QLineEdit* edPassCnt() const { return passCount_; }
  QPushButton* btnOk() const { return ok_; }
  QPushButton* btnCancel() const { return cancel_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QLineEdit* address_;
  QLineEdit* passCount_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace vx930
