// TfmBreakPoint, the "Break Point" window: one check-list item per hardware
// breakpoint, its address and a check mark for enabled. Checking or
// unchecking an item enables or disables that breakpoint at once; a right
// click on the selected item opens the popup (Enable, Property), Enter opens
// the property dialog. Closing it frees it. While the target runs the table
// is left alone and the window says so.
#pragma once

#include <memory>

#include "ide/ui/core/breakpoint_list.h"
#include "ide/ui/core/views/breakpoint_view.h"
#include "ide/ui/qt/mdi_child.h"

class QAction;
class QListWidget;
class QMenu;

namespace vx930 {

class TfmBreakPoint final : public MdiChild<BreakPointView> {
  Q_OBJECT

public:
  // The program passes a DebuggerBreakPointHost over its debugger.
  explicit TfmBreakPoint(std::unique_ptr<BreakPointHost> host, QWidget* parent = nullptr);
  ~TfmBreakPoint() override;

  // BreakPointView
  void RefreshList() override;

  // Handlers.
  void CheckListBox1ClickCheck();
  // Right button released at a screen position.
  void CheckListBox1MouseUp(const QPoint& globalPos);
  void CheckListBox1KeyDown(int key);
  void pmBrkSettingPopup();
  void miEnableClick();
  void miPropertyClick();

  int BrkCount() const { return brkCount_; }
  int SelectedBrk() const { return selectedBrk_; }
  QListWidget* CheckListBox1() const { return list_; }
  QMenu* pmBrkSetting() const { return popup_; }
  QAction* miEnable() const { return enable_; }
  QAction* miProperty() const { return property_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // The first selected item, -1 when none is.
  int FirstSelected() const;
  // False (with the message, and the list put back) while the target runs.
  bool MayChange();

  std::unique_ptr<BreakPointHost> host_;
  int brkCount_;
  int selectedBrk_ = 0;
  bool refreshing_ = false;
  QListWidget* list_;
  QMenu* popup_;
  QAction* enable_;
  QAction* property_;
};

}  // namespace vx930
