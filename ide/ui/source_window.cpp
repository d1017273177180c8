#include "ide/ui/source_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

#include "platform/messages.h"

namespace vx930 {

TfmSrcForm::TfmSrcForm(QWidget* parent) : QMdiSubWindow(parent) {
  setObjectName("fmSrcForm");
  setWindowTitle("Source File Window");
  editor_ = new QPlainTextEdit(this);
  editor_->setObjectName("SynEdit1");
  editor_->setReadOnly(true);
  editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(13);
  editor_->setFont(font);
  setWidget(editor_);
  resize(535, 327);
}

TfmSrcForm::~TfmSrcForm() = default;

WindowBounds TfmSrcForm::Bounds() const {
  const QRect g = geometry();
  return WindowBounds{g.top(), g.left(), g.width(), g.height()};
}

void TfmSrcForm::SetBounds(const WindowBounds& b) { setGeometry(b.left, b.top, b.width, b.height); }

void TfmSrcForm::BringForward() {
  if (isMinimized()) showNormal();
  show();
  raise();
  if (mdiArea()) mdiArea()->setActiveSubWindow(this);
  editor_->setFocus();
}

void TfmSrcForm::closeEvent(QCloseEvent* event) {
  event->ignore();
  showMinimized();
}

void TfmSrcForm::SetMode(int mode) {
  mode_ = mode;
  linesShown_ = mode == 1 ? 1 : 0;
}

void TfmSrcForm::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void TfmSrcForm::ShowListing() {
  currentModule_ = nullptr;
  pcLine_ = 0;
  editor_->setPlainText(hex_ && hex_->Listing() ? QString::fromStdString(hex_->Listing()->Text()) : QString());
  Repaint();
}

void TfmSrcForm::AttachOmf(const OmfModule* modules, const std::string& sourceDir, const CodeImage* image) {
  lines_.SetModules(modules);
  currentModule_ = nullptr;
  pcModule_ = nullptr;
  pcLine_ = 0;
  sourceDir_ = sourceDir;
  ownDecoder_.reset();
  if (modules && image) {
    ownDecoder_ = std::make_unique<CDecodeHex>();
    // The image belongs to the OMF program, which detaches before it goes.
    ownDecoder_->SetImage(const_cast<CodeImage*>(image));  // a line decoder only reads it
  }
}

void TfmSrcForm::DetachOmf() {
  ownDecoder_.reset();
  lines_.SetModules(nullptr);
  currentModule_ = nullptr;
  pcModule_ = nullptr;
  pcLine_ = 0;
  pageMap_.clear();
}

bool TfmSrcForm::LoadModule(const OmfModule* module) {
  QFile file(QString::fromStdString(sourceDir_ + module->Name));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    platform::ShowMessage("Can't Open " + module->Name, "VX930_IDE");
    return false;
  }
  editor_->setPlainText(QString::fromLocal8Bit(file.readAll()));
  currentModule_ = module;
  return true;
}

void TfmSrcForm::ScrollTo(int line, bool force) {
  if (line < 1) return;
  QScrollBar* bar = editor_->verticalScrollBar();
  const int top = bar->value() + 1;
  const int visible = qMax(1, editor_->viewport()->height() / qMax(1, editor_->fontMetrics().height()));
  if (force || line < top || line >= top + visible) bar->setValue(line - 1);
}

void TfmSrcForm::ShowAddress(uint32_t address, bool force) {
  const bool isPC = address == pcAddress_;
  const SourceLines::Location at = lines_.Locate(address, isPC);
  if (at.module) {
    if (at.module != currentModule_ && !LoadModule(at.module)) return;
    pageMap_.clear();
    linesShown_ = 1;
    if (isPC) SetPCLine(at.line);
    ScrollTo(at.line, force);
    Repaint();
    return;
  }
  if (lines_.Modules()) ShowDisasmPage(address);
  if (mode_ == 1) return;
  if (!hex_) return;
  const int line = hex_->AddressToLine(static_cast<int32_t>(address & 0xFFFF)) + 1;
  ScrollTo(line, false);
  SetPCLine(line);
}

void TfmSrcForm::ShowDisasmPage(uint32_t address) {
  currentModule_ = nullptr;
  linesShown_ = 0;
  for (const auto& [line, a] : pageMap_)
    if (a == address) {
      SetPCLine(line);
      return;
    }
  pageMap_.clear();
  const bool isPC = address == pcAddress_;
  const int rows = editor_->viewport()->height() / qMax(1, editor_->fontMetrics().height()) + 1;
  QStringList text;
  uint32_t a = address;
  for (int row = 1; row <= rows && ownDecoder_; ++row) {
    text << QString::fromStdString(ownDecoder_->DisasmLine(static_cast<int32_t>(a)));
    pageMap_[row] = a;
    a += static_cast<uint32_t>(ownDecoder_->GetInstLength(static_cast<int32_t>(a)));
    if (a > 0xFFFF) break;
  }
  editor_->setPlainText(text.join('\n'));
  pcLine_ = 0;
  if (isPC) SetPCLine(1);
  Repaint();
}

void TfmSrcForm::SetPCLine(int line) {
  pcLine_ = line;
  pcModule_ = currentModule_;
  Repaint();
}

void TfmSrcForm::ClearPCLine() {
  pcLine_ = 0;
  Repaint();
}

void TfmSrcForm::ShowProcedure(const std::string& name) {
  for (const OmfModule* m = lines_.Modules(); m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next) {
      if (p->Name != name) continue;
      if (!p->Lines || p->Lines->Entries.empty()) return;
      if (m != currentModule_ && !LoadModule(m)) return;
      linesShown_ = 1;
      pageMap_.clear();
      ScrollTo(static_cast<int>(p->Lines->Entries.front().Line), true);
      Repaint();
      return;
    }
}

int32_t TfmSrcForm::GetBreakPoint(int index) const {
  if (index < 0 || index > 1 || !marks_[index].set) return -1;
  return marks_[index].address;
}

int32_t TfmSrcForm::AddressToLine(uint32_t address) const {
  if (mode_ == 0) return hex_ ? hex_->AddressToLine(static_cast<int32_t>(address & 0xFFFF)) + 1 : -1;
  const SourceLines::Location at = lines_.Locate(address, false);
  return at.module ? at.line : -1;
}

void TfmSrcForm::SetBreakPointMark(int index, int32_t address) {
  if (index < 0 || index > 1) return;
  Mark& mark = marks_[index];
  if (address == -1) {
    mark.set = false;
  } else {
    mark.set = true;
    mark.address = static_cast<uint16_t>(address);
    mark.line = AddressToLine(static_cast<uint32_t>(address));
    const OmfModule* m = lines_.FindModule(static_cast<uint32_t>(address));
    mark.module = m ? m->Name : std::string();
  }
  Repaint();
}

void TfmSrcForm::Repaint() {
  QList<QTextEdit::ExtraSelection> selections;
  auto paint = [&](int line, const QColor& background, const QColor& foreground) {
    const QTextBlock block = editor_->document()->findBlockByNumber(line - 1);
    if (!block.isValid()) return;
    QTextEdit::ExtraSelection s;
    s.cursor = QTextCursor(block);
    s.format.setProperty(QTextFormat::FullWidthSelection, true);
    s.format.setBackground(background);
    s.format.setForeground(foreground);
    selections << s;
  };
  const std::string shown = currentModule_ ? currentModule_->Name : std::string();
  for (const Mark& mark : marks_) {
    if (!mark.set) continue;
    int line = mark.line;
    if (mode_ == 1 && linesShown_ == 0) {
      line = 0;
      for (const auto& [l, a] : pageMap_)
        if (a == mark.address) line = l;
    } else if (mode_ == 1 && mark.module != shown) {
      continue;
    }
    if (line > 0) paint(line, QColor(255, 170, 170), Qt::black);
  }
  if (pcLine_ > 0 && pcModule_ == currentModule_) paint(pcLine_, Qt::yellow, Qt::black);
  editor_->setExtraSelections(selections);
}

}  // namespace vx930
