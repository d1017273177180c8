// TfmSFRSetting: the modal "SFR Setting" dialog in which the SFR window edits
// one register. The text is read as bare hex digits (as if "0x" stood in
// front); OK or Enter takes a value 0..255 and closes, anything else shows
// "Input value invalid" and keeps the dialog open with the text as typed.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>

#include "ide/ui/core/sfr_window_cells.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vx930 {

class TfmSFRSetting final : public QDialog {
  Q_OBJECT

public:
  explicit TfmSFRSetting(QWidget* owner = nullptr);

  // Sets the dialog up for one register: its label, its current value, and
  // whether it may be changed (otherwise the edit is disabled and
  // "(ReadOnly)" shown).
  void Prepare(const std::string& label, const std::string& valueText, bool writable);
  // The value taken by the last OK.
  int32_t Value() const { return value_; }

  void btnOkClick();
  void btnCancelClick() { reject(); }

  QLabel* lbSFRName() const { return name_; }
  QLabel* lbReadOnly() const { return readOnly_; }
  QLineEdit* edSFRValue() const { return edit_; }
  QPushButton* btnOk() const { return ok_; }
  QPushButton* btnCancel() const { return cancel_; }

private:
  QLabel* name_;
  QLabel* readOnly_;
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
  int32_t value_ = 0;
};

}  // namespace vx930
