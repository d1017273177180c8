// TfmWatchForm, the "Watch" window of an OMF program: the procedure list
// (double-click shows the procedure's source) and the grids of the local
// variables of the procedure at the program counter and of the global
// variables, with their values read after every halt. A popup on the grids
// chooses the external RAM shown for XDATA (1K or 64K) and the number base.
// Closing it only minimises it. The logic is WatchModel's.
#pragma once

#include <memory>
#include <vector>

#include "ide/ui/core/views/watch_view.h"
#include "ide/ui/core/watch_model.h"
#include "ide/ui/qt/mdi_child.h"

class QAction;
class QListWidget;
class QMenu;
class QTabWidget;
class QTableWidget;

namespace vx930 {

class TfmWatchForm final : public MdiChild<WatchView> {
  Q_OBJECT

public:
  // The program passes a DebuggerWatchTarget over its debugger.
  explicit TfmWatchForm(std::unique_ptr<WatchTarget> target, QWidget* parent = nullptr);
  ~TfmWatchForm() override;

  // WatchView
  void FillProcList(const OmfModule* modules) override;
  void RefreshWatch(const OmfSymbol* globals, const OmfSymbol* locals) override;
  void DetachOmf() override;
  void ShowProcedurePage() override;

  // The popup's items and the procedure list's double-click.
  void N1K1Click();
  void N64K1Click();
  void Hex1Click();
  void Decimal1Click();
  void lbProcDblClick();

  const WatchModel& Model() const { return model_; }
  QTabWidget* PageControl1() const { return pages_; }
  QListWidget* lbProc() const { return procList_; }
  QTableWidget* sgLocalVar() const { return localGrid_; }
  QTableWidget* sgGblVar() const { return globalGrid_; }
  QMenu* PopupMenu1() const { return popup_; }

private:
  QTableWidget* MakeGrid(const char* name, int w0, int w1, int w2);
  void FillGrids();
  void ChooseExRAM64k(bool on);
  void ChooseDecimal(bool on);
  void SyncPopupChecks();

  std::unique_ptr<WatchTarget> target_;
  WatchModel model_;
  QTabWidget* pages_;
  QListWidget* procList_;
  QTableWidget* localGrid_;
  QTableWidget* globalGrid_;
  QMenu* popup_;
  QAction* n1k_;
  QAction* n64k_;
  QAction* hex_;
  QAction* decimal_;
};

}  // namespace vx930
