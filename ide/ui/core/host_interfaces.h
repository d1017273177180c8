// The main window's services that the debugger controller uses. The Qt main
// window implements them; tests implement them with fakes.
#pragma once

#include <optional>
#include <string>

#include "ide/ui/core/views/child_window.h"

namespace vx930 {

// The 30 ms halt poll.
class PollTimer {
public:
  virtual ~PollTimer() = default;
  virtual void Enable() = 0;
  virtual void Disable() = 0;
  virtual bool IsEnabled() const = 0;
};

// The tool buttons and menu items that follow the run state.
class RunControls {
public:
  virtual ~RunControls() = default;
  // Open, the run commands and Reset off; Stop on.
  virtual void SetRunningControls() = 0;
  // The exact opposite.
  virtual void SetStoppedControls() = 0;
  // After a download: Normal Run, Free Run and Step Into (menu), Normal Run
  // and Free Run (tool bar) on.
  virtual void EnableRunCommands() = 0;
};

// The main window's caption; a loaded program's path follows it.
inline constexpr const char* kMainCaption = "VX930 IDE";

// The main window itself.
class FrameWindow {
public:
  virtual ~FrameWindow() = default;
  virtual void SetStatusText(int panel, const std::string& text) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual WindowBounds Bounds() const = 0;
  virtual void SetBounds(const WindowBounds& bounds) = 0;
  // The hourglass while a file is read; false restores the default cursor.
  virtual void SetBusyCursor(bool busy) = 0;
};

// The file-open dialog ("*.HEX|*.hex|*.*|*.*", all files shown first).
class OpenFileDialog {
public:
  virtual ~OpenFileDialog() = default;
  // Shows the dialog in initialDir; the chosen path, or nothing on Cancel.
  virtual std::optional<std::string> Execute(const std::string& initialDir) = 0;
  // The file name the next Execute starts with (the command window's LOAD).
  virtual void SetFileName(const std::string& name) = 0;
};

// The modal download dialog of the link. Each call makes a new dialog,
// shows it, and frees it before returning.
class DownloadDialog {
public:
  virtual ~DownloadDialog() = default;
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;
  virtual int ShowModal() = 0;
};

// The port dialog "Set ComPort". The same dialog serves every showing.
class PortDialog {
public:
  virtual ~PortDialog() = default;
  // Shows it modally with COM<port> selected; the chosen port number (1..5)
  // on OK, nothing on Cancel.
  virtual std::optional<int> ShowModal(int port) = 0;
};

}  // namespace vx930
