// TfmGotoAddress: the source window's modal "Find Address" dialog. It only
// collects up to four hexadecimal digits, shown in upper case; the source
// window reads them (SourceWindowModel::GotoAddress).
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace vx930 {

class TfmGotoAddress final : public QDialog {
  Q_OBJECT

public:
  explicit TfmGotoAddress(QWidget* parent = nullptr);

  QLineEdit* Edit1() const { return edit_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  std::string Text() const;

private:
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace vx930
