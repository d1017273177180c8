#include "ide/ui/qt/ram_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "ide/image/ide_message.h"
#include "ide/ui/core/debugger.h"
#include "ide/ui/qt/ram_window_editor.h"

namespace vx930 {

namespace {

constexpr const char* kStopFirst = "Please Stop the ICE First !!";

}  // namespace

TfmRAM::TfmRAM(const std::string& caption, RamViewCallbacks callbacks, std::function<bool()> targetHalted,
               QWidget* parent)
    : MdiChild(OnClose::Delete, parent),
      callbacks_(std::move(callbacks)),
      targetHalted_(std::move(targetHalted)),
      dump_(callbacks_.read, callbacks_.write) {
  setObjectName("fmRAM");
  setWindowTitle(QString::fromStdString(caption));
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  editor_ = new RamDumpEditor(dump_, body);
  SetFocusWidget(editor_);
  status_ = new QLabel(body);
  status_->setObjectName("StatusLine");
  status_->hide();
  layout->addWidget(editor_, 1);
  layout->addWidget(status_);
  setWidget(body);
  connect(editor_, &RamDumpEditor::digitTyped, this, &TfmRAM::DigitTyped);
  connect(editor_, &RamDumpEditor::caretMoved, this, &TfmRAM::ReloadVisible);
  connect(editor_, &RamDumpEditor::scrolled, this, &TfmRAM::ReloadVisible);
  resize(458, 268);
}

TfmRAM::~TfmRAM() {
  if (callbacks_.destroyed) callbacks_.destroyed();
}

void TfmRAM::AttachImage(uint8_t* image, int size) {
  dump_.Attach(image, size);
  editor_->DumpChanged();
  ReloadVisible();
}

QString TfmRAM::StatusText() const { return status_->isHidden() ? QString() : status_->text(); }

void TfmRAM::SetNotReadNote(bool shown) {
  status_->setText(shown ? QString(kRamNotReadWhileRunning) : QString());
  status_->setVisible(shown);
}

void TfmRAM::ReloadVisible() {
  if (!Halted()) {
    SetNotReadNote(true);
    return;
  }
  SetNotReadNote(false);
  Redraw(dump_.ReloadVisible(editor_->FirstVisibleLine(), editor_->PageLines()));
}

void TfmRAM::ReloadAfterStop() {
  SetNotReadNote(false);
  Redraw(dump_.ReloadAfterStop(editor_->FirstVisibleLine(), editor_->PageLines()));
}

bool TfmRAM::LoadForEdit(int offset) { return Redraw(dump_.LoadForEdit(offset)); }

bool TfmRAM::Redraw(bool readOk) {
  editor_->DumpChanged();
  if (!readOk) ShowIdeMessage(kRamReadFailed);
  return readOk;
}

void TfmRAM::RedrawLine(int lineOffset) {
  if (dump_.RedrawLine(lineOffset)) editor_->DumpChanged();
}

void TfmRAM::DigitTyped(int digit) {
  // An edit taken now would be read over at the halt.
  if (!Halted()) {
    ShowIdeMessage(kStopFirst);
    return;
  }
  const RamDump::EditResult result = dump_.TypeDigit(digit);
  editor_->EnsureCaretVisible();
  editor_->DumpChanged();
  if (result == RamDump::EditResult::ReadFailed) {
    ShowIdeMessage(kRamReadFailed);
    return;
  }
  if (result == RamDump::EditResult::Edited && callbacks_.edited) callbacks_.edited();
}

void TfmRAM::closeEvent(QCloseEvent* event) {
  // Unsent edits keep the view alive until they are written.
  if (dump_.AnyDirty()) {
    event->ignore();
    showMinimized();
    return;
  }
  MdiChild<RamView>::closeEvent(event);
}

}  // namespace vx930
