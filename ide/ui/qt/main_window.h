// TForm1: the IDE's main window, an MDI frame with the menus, the tool bar,
// the two-panel status bar and the 30 ms halt poll. It owns the debugging
// state and the controller, and offers the controller its services (timer,
// controls, status bar, dialogs, child windows); its handlers only call the
// controller.
#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <string>

#include "ide/ui/core/debugger.h"
#include "ide/ui/qt/mdi_tiling.h"
#include "ide/ui/qt/select_port.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QTimer;
class QToolButton;

namespace vx930 {

class TAboutBox;

class TForm1 final : public QMainWindow,
                     private PollTimer,
                     private RunControls,
                     private FrameWindow,
                     private OpenFileDialog,
                     private DownloadDialog,
                     private ViewFactory {
  Q_OBJECT

public:
  // programDir holds the configuration file; opener opens COMn (null: the
  // termios serial ports). Throws std::bad_alloc when the code image cannot
  // be allocated.
  explicit TForm1(const std::string& programDir, std::unique_ptr<LinkOpener> opener = nullptr,
                  QWidget* parent = nullptr);
  ~TForm1() override;

  Debugger& Controller() { return *debugger_; }
  DebuggerState& State() { return *state_; }
  QMdiArea* MdiArea() const { return mdi_; }
  QTimer* Timer1() const { return timer_; }
  // Null until the first paint.
  TSelectPort* SelectPort() const { return selectPort_; }
  // A menu item or tool button by its object name ("NormalRun1", "StopBtn" ...).
  QAction* Action(const QString& name) const;
  QString StatusText(int panel) const;
  TileMode CurrentTileMode() const { return tileMode_; }
  // The about box while Help, About shows it, else null.
  TAboutBox* AboutBox() const { return aboutBox_; }

public slots:
  // The first paint: port dialog loop, saved layout, halted controls.
  void FormPaint();
  void Load1Click() { debugger_->Load1Click(); }
  void Exit1Click() { close(); }
  void NormalRun1Click() { debugger_->NormalRun1Click(); }
  void FreeRun1Click() { debugger_->FreeRun1Click(); }
  void Step1Click() { debugger_->Step1Click(); }
  void StepOver1Click() { debugger_->StepOver1Click(); }
  void StopBtnClick() { debugger_->StopBtnClick(); }
  void Reset1Click() { debugger_->Reset1Click(); }
  void Timer1Timer() { debugger_->Timer1Timer(); }
  void Cascade1Click();
  void Verital1Click();
  void TileVertical1Click();
  void About1Click();

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  // PollTimer
  void Enable() override;
  void Disable() override;
  bool IsEnabled() const override;
  // RunControls
  void SetRunningControls() override;
  void SetStoppedControls() override;
  void EnableRunCommands() override;
  // FrameWindow
  void SetStatusText(int panel, const std::string& text) override;
  void SetCaption(const std::string& caption) override;
  WindowBounds Bounds() const override;
  void SetBounds(const WindowBounds& bounds) override;
  void SetBusyCursor(bool busy) override;
  // OpenFileDialog
  std::optional<std::string> Execute(const std::string& initialDir) override;
  void SetFileName(const std::string& name) override { openFileName_ = name; }
  // DownloadDialog
  int ShowModal() override;
  // ViewFactory
  SourceView* CreateSourceView() override;
  SfrView* CreateSfrView() override;
  RamView* CreateRamView(const std::string& caption, RamViewCallbacks callbacks) override;
  BreakPointView* CreateBreakPointView() override;
  WatchView* CreateWatchView() override;
  CommandView* CreateCommandView() override;
  // Puts a new child into the frame, tells the controller when it goes, shows it.
  template <class View>
  View* AddChild(View* view);
  // The non-minimised children in the current tile mode.
  void Tile();

  void BuildMenus();
  void BuildToolBar();
  QAction* AddAction(QWidget* to, const QString& name, const QString& text, void (TForm1::*slot)());
  void EnableRunState(bool running);

  std::unique_ptr<DebuggerState> state_;
  std::unique_ptr<IceConfig> config_;
  std::unique_ptr<LinkOpener> opener_;
  std::unique_ptr<Debugger> debugger_;
  QMdiArea* mdi_ = nullptr;
  QTimer* timer_ = nullptr;
  QLabel* panels_[2] = {nullptr, nullptr};
  TSelectPort* selectPort_ = nullptr;
  std::map<QString, QAction*> actions_;
  std::string openFileName_;
  bool painted_ = false;
  bool closing_ = false;
  TileMode tileMode_ = TileMode::Horizontal;
  TAboutBox* aboutBox_ = nullptr;
};

}  // namespace vx930
