// The IDE's configuration file "VX930_ice.cfg" beside the program: the last
// program file and the COM port (section PATH), and the window layout
// (section WINDOW). Each operation opens the file anew; nothing is cached, and
// every read falls back to its default.
#pragma once

#include <string>

#include "ide/ui/core/ini_file.h"
#include "ide/ui/core/views/child_window.h"

namespace vx930 {

inline constexpr const char* kIceConfigName = "VX930_ice.cfg";

// The windows of the saved layout, in the order the file keeps them.
enum class LayoutWindow { Main, Sfr, InRam, In1kRam, BreakPoint, Watch, Command };
inline constexpr LayoutWindow kLayoutWindows[] = {LayoutWindow::Main,    LayoutWindow::Sfr,        LayoutWindow::InRam,
                                                  LayoutWindow::In1kRam, LayoutWindow::BreakPoint, LayoutWindow::Watch,
                                                  LayoutWindow::Command};

struct WindowRecord {
  bool exists = false;
  WindowBounds bounds;
};

class IceConfig {
public:
  // programDir is the program's own directory; a missing trailing '/' is added.
  explicit IceConfig(std::string programDir);

  const std::string& ProgramDir() const { return dir_; }
  std::string FilePath() const { return dir_ + kIceConfigName; }

  // PATH/HEX_CODE, default the program's directory.
  std::string ReadHexCodePath() const;
  void WriteHexCodePath(const std::string& fileName);
  // PATH/COM_PORT, default 1; a value outside 1..5 is clamped into it.
  int ReadComPortSetting() const;
  void WriteComPortSetting(int port);

  // "MAIN", "SFR", "INRAM", "IN1kRAM", "BRKPNT", "WATCH", "COMMAND".
  static const char* Prefix(LayoutWindow window);
  // The window's five keys, with the defaults of a missing key.
  WindowRecord ReadWindow(LayoutWindow window) const;
  // An open window: EXIST := 1 and its four values. A closed one: only
  // EXIST := 0, so its last bounds stay in the file.
  void WriteWindow(LayoutWindow window, const WindowRecord& record);

private:
  IniFile Ini() const { return IniFile(FilePath()); }
  std::string dir_;
};

// The directory part of a path, with its trailing '/'; "" when it has none.
std::string DirectoryPart(const std::string& path);
// The extension of the file name (from its last '.'); "" when it has none.
std::string ExtensionPart(const std::string& path);

}  // namespace vx930
