#include "ide/ui/qt/source_window.h"

#include <Qsci/qscilexercpp.h>
#include <Qsci/qsciscintilla.h>

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QStringDecoder>

#include "ide/ui/qt/goto_address.h"

namespace vx930 {
namespace {

constexpr int kPCTextIndicator = 8;

// A breakpoint glyph: a disc with the breakpoint's number.
QPixmap BreakPointGlyph(int index) {
  QPixmap pixmap(13, 13);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor fill = index == 0 ? QColor(200, 0, 0) : QColor(0, 90, 200);
  p.setPen(QPen(fill.darker(150), 1));
  p.setBrush(fill);
  p.drawEllipse(QRectF(0.5, 0.5, 12, 12));
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(10);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 0, 13, 13), Qt::AlignCenter, QString::number(index));
  return pixmap;
}

// In points: the editor hands the font's point size to its styles, and a
// font sized in pixels has none, which draws the text a few pixels high.
QFont EditorFont(int points) {
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPointSize(points);
  return font;
}

// Source files are UTF-8 or, from older editors, Latin-1.
QString DecodeText(const std::string& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (utf8.hasError()) text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return text;
}

}  // namespace

TfmSrcForm::TfmSrcForm(std::unique_ptr<SourceHost> host, QWidget* parent)
    : MdiChild(OnClose::Minimise, parent),
      host_(std::move(host)),
      editor_(new QsciScintilla(this)),
      pmBrkPnt_(new QMenu(this)),
      pmGoto_(new QMenu(this)),
      model_(*this) {
  setObjectName("fmSrcForm");
  setWindowTitle("Source File Window");
  SetFocusWidget(editor_);
  if (host_) {
    model_.SetTakeBreakPoints([this] { host_->TakeSourceBreakPoints(); });
    model_.SetTargetRunning([this] { return host_->TargetRunning(); });
  }

  editor_->setObjectName("SynEdit1");
  editor_->setUtf8(true);
  auto* lexer = new QsciLexerCPP(editor_);
  lexer->setDefaultFont(EditorFont(10));
  lexer->setFont(EditorFont(10));
  editor_->setLexer(lexer);
  editor_->setReadOnly(true);
  editor_->setWrapMode(QsciScintilla::WrapNone);
  editor_->setCaretLineVisible(false);

  editor_->setMarginsFont(EditorFont(9));
  editor_->setMarginType(kGlyphMargin, QsciScintilla::SymbolMargin);
  editor_->setMarginWidth(kGlyphMargin, 18);
  editor_->setMarginMarkerMask(kGlyphMargin, (1 << kGlyph0Marker) | (1 << kGlyph1Marker));
  editor_->setMarginSensitivity(kGlyphMargin, true);
  editor_->setMarginType(kNumberMargin, QsciScintilla::NumberMargin);
  editor_->setMarginWidth(kNumberMargin, QString("000000"));
  editor_->setMarginMarkerMask(kNumberMargin, 0);
  editor_->setMarginSensitivity(kNumberMargin, true);
  editor_->setMarginWidth(2, 0);

  editor_->markerDefine(BreakPointGlyph(0), kGlyph0Marker);
  editor_->markerDefine(BreakPointGlyph(1), kGlyph1Marker);
  editor_->markerDefine(QsciScintilla::Background, kPCLineMarker);
  editor_->setMarkerBackgroundColor(Qt::yellow, kPCLineMarker);
  editor_->indicatorDefine(QsciScintilla::TextColorIndicator, kPCTextIndicator);
  editor_->setIndicatorForegroundColor(Qt::black, kPCTextIndicator);

  connect(editor_, &QsciScintilla::marginClicked, this, &TfmSrcForm::SynEdit1GutterClick);
  editor_->viewport()->installEventFilter(this);
  setWidget(editor_);

  pmBrkPnt_->setObjectName("pmBrkPnt");
  QAction* bp0 = pmBrkPnt_->addAction("Set as Break Point 0");
  bp0->setObjectName("SetBreakPoint0");
  connect(bp0, &QAction::triggered, this, &TfmSrcForm::SetBreakPoint0Click);
  QAction* bp1 = pmBrkPnt_->addAction("Set as Break Point 1");
  bp1->setObjectName("SetBreakPoint1");
  connect(bp1, &QAction::triggered, this, &TfmSrcForm::SetBreakPoint1Click);

  pmGoto_->setObjectName("pmGoto");
  QAction* find = pmGoto_->addAction("Find Address");
  find->setObjectName("GotoAddress1");
  connect(find, &QAction::triggered, this, &TfmSrcForm::GotoAddress1Click);

  resize(535, 327);
}

TfmSrcForm::~TfmSrcForm() = default;

// ------------------------------------------------------------ the window

bool TfmSrcForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_->viewport()) {
    if (event->type() == QEvent::ContextMenu) {
      pmGoto_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
      return true;
    }
    if (event->type() == QEvent::Resize && !isMinimized() && editor_->viewport()->height() > 0)
      normalViewportHeight_ = editor_->viewport()->height();
  }
  return QMdiSubWindow::eventFilter(watched, event);
}

// ------------------------------------------------------------ the editor

void TfmSrcForm::SetText(const std::string& text) {
  editor_->setReadOnly(false);
  editor_->setText(DecodeText(text));
  editor_->setReadOnly(true);
}

int TfmSrcForm::TopLine() const {
  return static_cast<int>(editor_->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE)) + 1;
}

void TfmSrcForm::SetTopLine(int line) {
  editor_->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(line - 1, 0)));
}

int TfmSrcForm::LinesInWindow() const {
  return static_cast<int>(editor_->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN));
}

int TfmSrcForm::PageRows() const {
  const int lineHeight = std::max(1, static_cast<int>(editor_->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL)));
  int height = editor_->viewport()->height();
  if ((isMinimized() || height < lineHeight) && normalViewportHeight_ > 0) height = normalViewportHeight_;
  return height / lineHeight + 1;
}

void TfmSrcForm::Focus() { editor_->setFocus(); }

void TfmSrcForm::Repaint() {
  editor_->markerDeleteAll();
  const int lines = editor_->lines();
  int glyphLine[SourceWindowModel::kMarkCount] = {0, 0};
  for (int i = 0; i < SourceWindowModel::kMarkCount; ++i) {
    const int line = model_.MarkCandidateLine(i);
    const int kind = line > 0 && line <= lines ? model_.LineMarkKind(line) : SourceWindowModel::kNoMark;
    if (kind == SourceWindowModel::kNoMark || glyphLine[kind] == line) continue;
    glyphLine[kind] = line;
    editor_->markerAdd(line - 1, kind == 0 ? kGlyph0Marker : kGlyph1Marker);
  }

  const long length = editor_->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  editor_->SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT, static_cast<unsigned long>(kPCTextIndicator));
  editor_->SendScintilla(QsciScintillaBase::SCI_INDICATORCLEARRANGE, 0UL, length);
  const int pc = model_.PaintedPCLine();
  if (pc > 0 && pc <= lines) {
    editor_->markerAdd(pc - 1, kPCLineMarker);
    const long start =
        editor_->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(pc - 1));
    const long end =
        editor_->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(pc - 1));
    editor_->SendScintilla(QsciScintillaBase::SCI_INDICATORFILLRANGE, static_cast<unsigned long>(start), end - start);
  }
}

// ------------------------------------------------------------ SourceView

void TfmSrcForm::SetMode(int mode) {
  model_.SetMode(mode);
  Repaint();
}

void TfmSrcForm::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void TfmSrcForm::ShowListing() {
  model_.ShowListing();
  Repaint();
}

void TfmSrcForm::AttachOmf(const OmfModule* modules, const std::string& sourceDir, const CodeImage* image) {
  model_.AttachOmf(modules, sourceDir, image);
  Repaint();
}

void TfmSrcForm::DetachOmf() {
  model_.DetachOmf();
  Repaint();
}

void TfmSrcForm::ShowAddress(uint32_t address, bool force) {
  model_.ShowAddress(address, force);
  Repaint();
}

void TfmSrcForm::ClearPCLine() {
  model_.ClearPCLine();
  Repaint();
}

void TfmSrcForm::ShowProcedure(const std::string& name) {
  model_.ShowProcedure(name);
  Repaint();
}

void TfmSrcForm::SetBreakPointMark(int index, int32_t address) {
  model_.SetBreakPointMark(index, address);
  Repaint();
}

// ------------------------------------------------------------ user actions

void TfmSrcForm::SynEdit1GutterClick(int, int line, Qt::KeyboardModifiers) {
  if (model_.GutterClick(line + 1)) pmBrkPnt_->popup(QCursor::pos());
}

void TfmSrcForm::SetBreakPoint0Click() {
  model_.SetBreakPointClick(0);
  Repaint();
}

void TfmSrcForm::SetBreakPoint1Click() {
  model_.SetBreakPointClick(1);
  Repaint();
}

void TfmSrcForm::GotoAddress1Click() {
  TfmGotoAddress dialog(this);
  if (dialog.exec() == QDialog::Accepted) model_.GotoAddress(dialog.Text());
  Repaint();
}

}  // namespace vx930
