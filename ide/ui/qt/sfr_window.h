// TSFR_HForm: the "SFR" window, an MDI child with a name button and a value
// box for every shown register and for R0..R7 of the current bank. Values
// that changed since the last run started are white on blue. A click on a
// name opens the "SFR Setting" dialog; the new value goes into the host
// images only (the SFR block is marked for sending, R0..R7 go through the
// internal RAM view's dirty blocks) and reaches the target before the next
// run. Edits are refused while the target runs.
//
// The window is deleted when it closes; the creator learns of it through
// QObject::destroyed.
#pragma once

#include <memory>
#include <vector>

#include "ide/ui/core/sfr_window_cells.h"
#include "ide/ui/core/views/sfr_view.h"
#include "ide/ui/qt/mdi_child.h"

class QLabel;
class QPushButton;

namespace vx930 {

class SfrCellArea;
class TfmSFRSetting;

class TSFR_HForm final : public MdiChild<SfrView> {
  Q_OBJECT

public:
  // The program passes a DebuggerSfrHost over its debugger.
  explicit TSFR_HForm(std::unique_ptr<SfrHost> host, QWidget* parent = nullptr);
  ~TSFR_HForm() override;

  // SfrView
  void RefreshValues() override;
  void RefreshRegisters() override;

  // The name button's click: edits cell `tag` through the dialog.
  void CellClick(int tag);

  const SfrCells& Cells() const { return cells_; }
  QPushButton* NameButton(int cell) const { return buttons_[static_cast<std::size_t>(cell)]; }
  QLabel* ValueBox(int cell) const { return boxes_[static_cast<std::size_t>(cell)]; }
  // The box is drawn white on blue.
  bool IsMarked(int cell) const;
  // The number of columns the cells are laid out in. The window is sized to
  // fit them when it is first shown.
  int ColumnCount() const { return columns_; }
  // Null until the first click.
  TfmSFRSetting* SettingDialog() const { return dialog_; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  friend class SfrCellArea;
  void BuildControls();
  // Lays the cells out for the client width; the window keeps its size.
  void FormResize(int clientWidth);
  void ShowValue(int cell);

  std::unique_ptr<SfrHost> host_;
  SfrCells cells_;
  SfrCellArea* area_;
  std::vector<QPushButton*> buttons_;
  std::vector<QLabel*> boxes_;
  TfmSFRSetting* dialog_ = nullptr;
  int columns_ = 1;
  bool fitted_ = false;
};

}  // namespace vx930
