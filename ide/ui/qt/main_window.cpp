#include "ide/ui/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "ide/link/cmdset_commands.h"
#include "ide/link/load_progress_form.h"
#include "ide/ui/qt/about_box.h"
#include "ide/ui/qt/breakpoint_window.h"
#include "ide/ui/qt/command_window.h"
#include "ide/ui/qt/ram_window.h"
#include "ide/ui/qt/sfr_window.h"
#include "ide/ui/qt/source_window.h"
#include "ide/ui/qt/tool_glyphs.h"
#include "ide/ui/qt/watch_window.h"

namespace vx930 {

TForm1::TForm1(const std::string& programDir, std::unique_ptr<LinkOpener> opener, QWidget* parent)
    : QMainWindow(parent),
      state_(std::make_unique<DebuggerState>()),
      config_(std::make_unique<IceConfig>(programDir)),
      opener_(opener ? std::move(opener) : std::make_unique<SerialLinkOpener>()) {
  setObjectName("Form1");
  setWindowTitle(kMainCaption);
  setGeometry(181, 187, 842, 524);
  QFont font("MS Sans Serif");
  font.setPointSize(8);
  setFont(font);

  mdi_ = new QMdiArea(this);
  mdi_->setObjectName("MdiArea");
  setCentralWidget(mdi_);

  timer_ = new QTimer(this);
  timer_->setObjectName("Timer1");
  timer_->setInterval(30);
  // Re-armed only after each answer, so ticks never pile up.
  timer_->setSingleShot(false);
  connect(timer_, &QTimer::timeout, this, &TForm1::Timer1Timer);

  for (int i = 0; i < 2; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setFixedWidth(i == 0 ? 200 : 50);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(panels_[i]);
  }
  statusBar()->setObjectName("StatusBar1");

  BuildMenus();
  BuildToolBar();
  // Halted from the start: the port dialog of the first paint shows over them.
  EnableRunState(false);

  DebuggerHost host;
  host.timer = this;
  host.controls = this;
  host.frame = this;
  host.openDialog = this;
  host.download = this;
  host.views = this;
  debugger_ = std::make_unique<Debugger>(*state_, *config_, host);
}

TForm1::~TForm1() {
  timer_->stop();
  debugger_->FormDestroy();
  // The children tell the controller when they go: let them go while it exists.
  closing_ = true;
  // Closed children waiting for their deferred delete are no longer listed
  // by the frame, but they are still ours.
  QList<QPointer<QMdiSubWindow>> children;
  for (QMdiSubWindow* w : mdi_->findChildren<QMdiSubWindow*>()) children.append(w);
  for (const QPointer<QMdiSubWindow>& w : children) delete w.data();
}

QAction* TForm1::AddAction(QWidget* to, const QString& name, const QString& text, void (TForm1::*slot)()) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  if (slot) connect(action, &QAction::triggered, this, slot);
  to->addAction(action);
  actions_[name] = action;
  return action;
}

QAction* TForm1::Action(const QString& name) const {
  const auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

void TForm1::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  AddAction(file, "Load1", "&Open", &TForm1::Load1Click);
  file->addSeparator();
  AddAction(file, "Exit1", "E&xit", &TForm1::Exit1Click);

  QMenu* run = menuBar()->addMenu("&Run");
  AddAction(run, "NormalRun1", "&Normal Run ", &TForm1::NormalRun1Click);
  AddAction(run, "FreeRun1", "Fr&ee Run", &TForm1::FreeRun1Click);
  AddAction(run, "Step1", "Step &Into", &TForm1::Step1Click);
  AddAction(run, "StepOver1", "Step &Over", &TForm1::StepOver1Click);
  run->addSeparator();
  AddAction(run, "Stop1", "&Stop", &TForm1::StopBtnClick);
  run->addSeparator();
  AddAction(run, "Reset1", "&Reset", &TForm1::Reset1Click);
  run->addSeparator();

  QMenu* view = menuBar()->addMenu("&View");
  auto viewItem = [this, view](const QString& name, const QString& text, void (Debugger::*handler)()) {
    QAction* a = AddAction(view, name, text, nullptr);
    connect(a, &QAction::triggered, this, [this, handler] { (debugger_.get()->*handler)(); });
  };
  viewItem("SFRH1", "&SFR", &Debugger::SFRH1Click);
  viewItem("InternalRAM1", "&In_256 RAM", &Debugger::InternalRAM1Click);
  viewItem("muInternal1kRAM1", "In_1K RAM&1", &Debugger::muInternal1kRAM1Click);
  viewItem("BreakPoint1", "&Break Point", &Debugger::BreakPoint1Click);
  view->addSeparator();
  viewItem("Disassemble1", "Code ", &Debugger::Disassemble1Click);
  viewItem("ProcedureList1", "Procedure List", &Debugger::ProcedureList1Click);
  view->addSeparator();
  AddAction(view, "Cascade1", "&Cascade", &TForm1::Cascade1Click);
  AddAction(view, "Verital1", "&Tile Horizontal", &TForm1::Verital1Click);
  AddAction(view, "TileVertical1", "Tile &Vertical", &TForm1::TileVertical1Click);
  view->addSeparator();

  QMenu* help = menuBar()->addMenu("&Help");
  AddAction(help, "About1", "&About", &TForm1::About1Click);
}

void TForm1::BuildToolBar() {
  QToolBar* bar = addToolBar("ToolBar1");
  bar->setObjectName("ToolBar1");
  bar->setFixedHeight(29);
  bar->setIconSize(QSize(22, 22));
  bar->setMovable(false);
  auto button = [&](const QString& name, int glyph, const QString& hint, void (TForm1::*slot)()) {
    QAction* a = AddAction(bar, name, hint, slot);
    a->setIcon(ToolGlyph(glyph));
    a->setToolTip(hint);
  };
  button("LoadBtn", 0, "Open", &TForm1::Load1Click);
  bar->addSeparator();
  button("NormRunBtn", 1, "Normal Run", &TForm1::NormalRun1Click);
  button("FreeRunBtn", 2, "Free Run", &TForm1::FreeRun1Click);
  button("StopBtn", 3, "Stop", &TForm1::StopBtnClick);
  bar->addSeparator();
  button("StepBtn", 5, "StepInto", &TForm1::Step1Click);
  button("StepOverBtn", 6, "StepOver", &TForm1::StepOver1Click);
  bar->addSeparator();
  button("ResetBtn", 4, "Reset", &TForm1::Reset1Click);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (painted_) return;
  painted_ = true;
  // After the window has painted, inside the event loop.
  QTimer::singleShot(0, this, &TForm1::FormPaint);
}

void TForm1::FormPaint() {
  if (!selectPort_) {
    const int port = state_->FirstPaint ? config_->ReadComPortSetting() : state_->ComPortNo;
    selectPort_ = new TSelectPort(port, this);
  }
  debugger_->FormPaint(*selectPort_, *opener_);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A minimised child is saved where it is to open again: its normal place,
  // not that of its title bar along the bottom.
  for (QMdiSubWindow* w : mdi_->subWindowList())
    if (w->isMinimized()) w->showNormal();
  debugger_->FormClose();
  const QList<QMdiSubWindow*> children = mdi_->subWindowList(QMdiArea::CreationOrder);
  for (auto it = children.rbegin(); it != children.rend(); ++it) (*it)->close();
  event->accept();
}

// ------------------------------------------------------------- services

void TForm1::Enable() { timer_->start(); }
void TForm1::Disable() { timer_->stop(); }
bool TForm1::IsEnabled() const { return timer_->isActive(); }

void TForm1::EnableRunState(bool running) {
  for (const char* name : {"LoadBtn", "NormRunBtn", "FreeRunBtn", "StepBtn", "StepOverBtn", "ResetBtn", "Load1",
                           "NormalRun1", "FreeRun1", "Step1", "StepOver1", "Reset1"})
    if (QAction* a = Action(name)) a->setEnabled(!running);
  for (const char* name : {"StopBtn", "Stop1"})
    if (QAction* a = Action(name)) a->setEnabled(running);
}

void TForm1::SetRunningControls() { EnableRunState(true); }
void TForm1::SetStoppedControls() { EnableRunState(false); }

void TForm1::EnableRunCommands() {
  for (const char* name : {"NormalRun1", "FreeRun1", "Step1", "NormRunBtn", "FreeRunBtn"})
    if (QAction* a = Action(name)) a->setEnabled(true);
}

void TForm1::SetStatusText(int panel, const std::string& text) {
  if (panel >= 0 && panel < 2) panels_[panel]->setText(QString::fromStdString(text));
}

QString TForm1::StatusText(int panel) const { return panel >= 0 && panel < 2 ? panels_[panel]->text() : QString(); }

void TForm1::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

WindowBounds TForm1::Bounds() const {
  const QRect g = geometry();
  return WindowBounds{g.top(), g.left(), g.width(), g.height()};
}

void TForm1::SetBounds(const WindowBounds& b) { setGeometry(b.left, b.top, b.width, b.height); }

void TForm1::SetBusyCursor(bool busy) {
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

std::optional<std::string> TForm1::Execute(const std::string& initialDir) {
  QFileDialog dialog(this, "Open");
  dialog.setObjectName("OpenDialog1");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({"*.HEX (*.hex *.HEX)", "*.* (*)"});
  dialog.selectNameFilter("*.* (*)");
  dialog.setDirectory(QString::fromStdString(initialDir));
  if (!openFileName_.empty()) dialog.selectFile(QString::fromStdString(openFileName_));
  openFileName_.clear();
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

int TForm1::ShowModal() {
  auto* commands = dynamic_cast<CmdSetCommands*>(state_->IceCmd.get());
  if (!state_->CodeImage) return kCancel;
  TLoadProgressForm dialog(commands ? &commands->CmdSet() : nullptr, *state_->CodeImage, this);
  return dialog.exec() == QDialog::Accepted ? kOk : kCancel;
}

template <class View>
View* TForm1::AddChild(View* view) {
  mdi_->addSubWindow(view);
  const ChildWindow* id = view;
  connect(view, &QObject::destroyed, this, [this, id] {
    if (!closing_) debugger_->ViewClosed(id);
  });
  view->show();
  return view;
}

SourceView* TForm1::CreateSourceView() {
  return AddChild(new TfmSrcForm(std::make_unique<DebuggerSourceHost>(*debugger_)));
}

SfrView* TForm1::CreateSfrView() { return AddChild(new TSFR_HForm(std::make_unique<DebuggerSfrHost>(*debugger_))); }

RamView* TForm1::CreateRamView(const std::string& caption, RamViewCallbacks callbacks) {
  // An edit that needs the view opens it behind the window the user works
  // in; the View menu brings it forward itself.
  QMdiSubWindow* current = mdi_->currentSubWindow();
  // The view reads and edits the target only while it is halted.
  RamView* view = AddChild(new TfmRAM(caption, std::move(callbacks), [this] { return !state_->TargetRunning(); }));
  if (current) mdi_->setActiveSubWindow(current);
  return view;
}

BreakPointView* TForm1::CreateBreakPointView() {
  return AddChild(new TfmBreakPoint(std::make_unique<DebuggerBreakPointHost>(*debugger_)));
}

WatchView* TForm1::CreateWatchView() {
  return AddChild(new TfmWatchForm(std::make_unique<DebuggerWatchTarget>(*debugger_)));
}

CommandView* TForm1::CreateCommandView() {
  OpenFileDialog& open = *this;
  return AddChild(new TCmdForm(std::make_unique<DebuggerCommandHost>(*debugger_, open)));
}

// ------------------------------------------------------------ arrangement

void TForm1::Cascade1Click() {
  // Qt's own cascade sizes each window to its size hint, which for views
  // that place their controls themselves is a bare title bar.
  QList<QMdiSubWindow*> cascaded;
  for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::StackingOrder))
    if (w->isVisible() && !w->isMinimized()) cascaded.append(w);
  std::vector<QSize> sizes;
  for (QMdiSubWindow* w : cascaded) {
    if (w->isMaximized()) w->showNormal();
    sizes.push_back(w->size());
  }
  const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 4;
  const std::vector<QRect> places = CascadeRects(mdi_->viewport()->rect(), sizes, step);
  for (qsizetype i = 0; i < cascaded.size(); ++i) cascaded[i]->setGeometry(places[static_cast<std::size_t>(i)]);
}

void TForm1::Verital1Click() {
  tileMode_ = TileMode::Horizontal;
  Tile();
}

void TForm1::TileVertical1Click() {
  tileMode_ = TileMode::Vertical;
  Tile();
}

void TForm1::Tile() {
  // Minimised children keep their place in the row along the bottom, which
  // the tiled windows leave free; the topmost window comes first.
  QList<QMdiSubWindow*> tiled;
  QRect area = mdi_->viewport()->rect();
  const QList<QMdiSubWindow*> stack = mdi_->subWindowList(QMdiArea::StackingOrder);
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    QMdiSubWindow* w = *it;
    if (!w->isVisible()) continue;
    if (w->isMinimized()) {
      if (w->geometry().top() > area.top()) area.setBottom(std::min(area.bottom(), w->geometry().top() - 1));
      continue;
    }
    tiled.append(w);
  }
  const std::vector<QRect> places = TileRects(area, static_cast<int>(tiled.size()), tileMode_);
  for (qsizetype i = 0; i < tiled.size(); ++i) {
    if (tiled[i]->isMaximized()) tiled[i]->showNormal();
    tiled[i]->setGeometry(places[static_cast<std::size_t>(i)]);
  }
}

void TForm1::About1Click() {
  TAboutBox box(this);
  aboutBox_ = &box;
  box.exec();
  aboutBox_ = nullptr;
}

}  // namespace vx930
