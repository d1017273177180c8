// TCmdForm, the "Command" window: a console over the debugger. Enter runs
// the line under the caret (CommandInterpreter) and its output is appended
// to the memo, which keeps at most 100 lines; while typing, a keyword prefix
// followed by a blank is completed to the keyword. Closing it frees it.
#pragma once

#include <memory>
#include <string>

#include "ide/ui/core/command_host.h"
#include "ide/ui/core/command_interpreter.h"
#include "ide/ui/core/views/command_view.h"
#include "ide/ui/qt/mdi_child.h"

class QPlainTextEdit;
class QStatusBar;

namespace vx930 {

class TCmdForm final : public MdiChild<CommandView> {
  Q_OBJECT

public:
  // The program passes a DebuggerCommandHost over its debugger.
  explicit TCmdForm(std::unique_ptr<CommandWindowHost> host, QWidget* parent = nullptr);
  ~TCmdForm() override;

  // Appends a line; past 100 lines the first 20 go.
  void PrintLine(const std::string& text);
  // Runs the caret line; false when it was no valid command.
  bool ExecuteCommand();
  // Enter runs the caret line; the memo then breaks the line as usual.
  void Memo1KeyDown(int key);
  // Any other key: keyword completion of the caret line.
  void Memo1KeyUp(int key);

  QPlainTextEdit* Memo1() const { return memo_; }
  QStatusBar* StatusBar1() const { return status_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QPlainTextEdit* memo_;
  QStatusBar* status_;
  std::unique_ptr<CommandWindowHost> host_;
  CommandInterpreter interpreter_;
};

}  // namespace vx930
