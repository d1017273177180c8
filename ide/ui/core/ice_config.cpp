#include "ide/ui/core/ice_config.h"

#include <algorithm>

namespace vx930 {

namespace {

constexpr const char* kPath = "PATH";
constexpr const char* kWindow = "WINDOW";

int DefaultOrigin(LayoutWindow w) {
  switch (w) {
    case LayoutWindow::Main: return 20;
    case LayoutWindow::Sfr: return 40;
    case LayoutWindow::InRam: return 60;
    case LayoutWindow::In1kRam: return 80;
    case LayoutWindow::BreakPoint: return 100;
    case LayoutWindow::Watch: return 120;
    case LayoutWindow::Command: return 140;
  }
  return 20;
}

std::string Key(LayoutWindow w, const char* suffix) { return std::string(IceConfig::Prefix(w)) + "_WIN_" + suffix; }

}  // namespace

IceConfig::IceConfig(std::string programDir) : dir_(std::move(programDir)) {
  if (!dir_.empty() && dir_.back() != '/') dir_ += '/';
}

std::string IceConfig::ReadHexCodePath() const { return Ini().ReadString(kPath, "HEX_CODE", dir_); }

void IceConfig::WriteHexCodePath(const std::string& fileName) { Ini().WriteString(kPath, "HEX_CODE", fileName); }

int IceConfig::ReadComPortSetting() const { return std::clamp(Ini().ReadInteger(kPath, "COM_PORT", 1), 1, 5); }

void IceConfig::WriteComPortSetting(int port) { Ini().WriteInteger(kPath, "COM_PORT", port); }

const char* IceConfig::Prefix(LayoutWindow w) {
  switch (w) {
    case LayoutWindow::Main: return "MAIN";
    case LayoutWindow::Sfr: return "SFR";
    case LayoutWindow::InRam: return "INRAM";
    case LayoutWindow::In1kRam: return "IN1kRAM";
    case LayoutWindow::BreakPoint: return "BRKPNT";
    case LayoutWindow::Watch: return "WATCH";
    case LayoutWindow::Command: return "COMMAND";
  }
  return "MAIN";
}

WindowRecord IceConfig::ReadWindow(LayoutWindow w) const {
  const IniFile ini = Ini();
  const int origin = DefaultOrigin(w);
  WindowRecord r;
  r.exists = ini.ReadBool(kWindow, Key(w, "EXIST"), false);
  r.bounds.top = ini.ReadInteger(kWindow, Key(w, "TOP"), origin);
  r.bounds.left = ini.ReadInteger(kWindow, Key(w, "LEFT"), origin);
  r.bounds.width = ini.ReadInteger(kWindow, Key(w, "WID"), 500);
  r.bounds.height = ini.ReadInteger(kWindow, Key(w, "HIGH"), 300);
  return r;
}

void IceConfig::WriteWindow(LayoutWindow w, const WindowRecord& record) {
  IniFile ini = Ini();
  ini.WriteBool(kWindow, Key(w, "EXIST"), record.exists);
  if (!record.exists) return;
  ini.WriteInteger(kWindow, Key(w, "TOP"), record.bounds.top);
  ini.WriteInteger(kWindow, Key(w, "LEFT"), record.bounds.left);
  ini.WriteInteger(kWindow, Key(w, "WID"), record.bounds.width);
  ini.WriteInteger(kWindow, Key(w, "HIGH"), record.bounds.height);
}

std::string DirectoryPart(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtensionPart(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

}  // namespace vx930
