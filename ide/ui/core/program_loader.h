// Opening and downloading a program: File > Open reads a HEX file, or an OMF
// file (a name without an extension), shows it in the source window and
// downloads the code image to the emulator, which is then reset. A file that
// fails to read leaves the loaded program as it was.
#pragma once

#include <string>

#include "ide/ui/core/debugger_state.h"
#include "ide/ui/core/host_interfaces.h"
#include "ide/ui/core/ice_config.h"

namespace vx930 {

class RunController;
class ViewRegistry;

struct LoaderHost {
  PollTimer& timer;
  RunControls& controls;
  FrameWindow& frame;
  OpenFileDialog& openDialog;
  DownloadDialog& download;
};

class ProgramLoader {
public:
  ProgramLoader(DebuggerState& state, IceConfig& config, ViewRegistry& views, RunController& run,
                const LoaderHost& host);
  ProgramLoader(const ProgramLoader&) = delete;
  ProgramLoader& operator=(const ProgramLoader&) = delete;

  // File > Open: the dialog, the file, then the download.
  void Load1Click();
  bool OpenHexFile(const std::string& fileName);
  bool OpenOmfFile(const std::string& fileName);
  // The watch window's procedure list from the loaded modules.
  void UpdateWatchModules();
  // The download dialog, then breakpoints cleared and the target reset.
  void DownLoad1Click();
  // The Open dialog's initial directory.
  std::string ReadHexCodePath() const;

private:
  DebuggerState& s_;
  IceConfig& config_;
  ViewRegistry& views_;
  RunController& run_;
  PollTimer& timer_;
  RunControls& controls_;
  FrameWindow& frame_;
  OpenFileDialog& openDialog_;
  DownloadDialog& download_;
};

}  // namespace vx930
