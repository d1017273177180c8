#include "ide/ui/qt/command_window.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace vx930 {

namespace {

constexpr int kMaxLines = 100;
constexpr int kDroppedLines = 20;

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

TCmdForm::TCmdForm(std::unique_ptr<CommandWindowHost> host, QWidget* parent)
    : MdiChild(OnClose::Delete, parent),
      memo_(nullptr),
      status_(nullptr),
      host_(std::move(host)),
      interpreter_(*host_, [this](const std::string& text) { PrintLine(text); }) {
  host_->SetWindow(*this);
  setObjectName("CmdForm");
  setWindowTitle("Command");

  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  memo_ = new QPlainTextEdit(body);
  SetFocusWidget(memo_);
  memo_->setObjectName("Memo1");
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(15);
  memo_->setFont(font);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo_->installEventFilter(this);
  status_ = new QStatusBar(body);
  status_->setObjectName("StatusBar1");
  status_->setSizeGripEnabled(false);
  layout->addWidget(memo_);
  layout->addWidget(status_);
  setWidget(body);
  resize(473, 271);
}

TCmdForm::~TCmdForm() = default;

void TCmdForm::PrintLine(const std::string& text) {
  QTextCursor cursor(memo_->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertBlock();
  cursor.insertText(QString::fromStdString(text));
  if (memo_->document()->blockCount() > kMaxLines) {
    QTextCursor head(memo_->document());
    head.movePosition(QTextCursor::Start);
    head.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, kDroppedLines);
    head.removeSelectedText();
  }
  memo_->moveCursor(QTextCursor::End);
}

bool TCmdForm::ExecuteCommand() {
  return interpreter_.ExecuteCommand(memo_->textCursor().block().text().toStdString());
}

void TCmdForm::Memo1KeyDown(int key) {
  if (IsEnter(key)) ExecuteCommand();
}

void TCmdForm::Memo1KeyUp(int key) {
  if (IsEnter(key)) return;
  QTextCursor cursor = memo_->textCursor();
  const std::optional<std::string> completed = CompleteKeyword(cursor.block().text().toStdString());
  if (!completed) return;
  cursor.movePosition(QTextCursor::StartOfBlock);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  cursor.insertText(QString::fromStdString(*completed));
  memo_->setTextCursor(cursor);
}

bool TCmdForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == memo_) {
    // Neither handler consumes its key: the memo still types it.
    if (event->type() == QEvent::KeyPress)
      Memo1KeyDown(static_cast<QKeyEvent*>(event)->key());
    else if (event->type() == QEvent::KeyRelease)
      Memo1KeyUp(static_cast<QKeyEvent*>(event)->key());
  }
  return QMdiSubWindow::eventFilter(watched, event);
}

}  // namespace vx930
