// The command window's interpreter, without widgets: a typed line is split
// into words at blanks, its first word picks one of 17 commands, and the
// command runs through the debugger's own operations (memory edits, run
// control, breakpoints, windows, help). Output lines go to the print callback.
//
// Numbers: a word containing "H" is hexadecimal (its first "H" removed),
// any other word signed decimal. Addresses of the memory commands name the
// internal RAM (no prefix or "D:", 0..255) or the 1 KB RAM ("X:", 0..1023).
// Every check comes before the first write, so a refused line changes nothing.
// While the target runs, the commands that read or edit its memory are
// refused with a line that says so: the halt would overwrite the edit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vx930 {

// The windows the commands open and close.
enum class CommandWindowKind { Program, InRAM, ExRAM, Sfr, BreakPoint, Command };

// What the commands need of the debugger.
class CommandHost {
public:
  virtual ~CommandHost() = default;

  virtual bool TargetRunning() const = 0;

  // Internal RAM: the host copy, written back to the target before the next run.
  virtual bool SetInRAMByte(int index, uint8_t value) = 0;
  virtual bool GetInRAMByte(int index, uint8_t& value) const = 0;
  // 1 KB RAM: the host copy only; WriteIn1kRAMByte sends one byte at once.
  virtual bool SetIn1kRAMByte(int index, uint8_t value) = 0;
  virtual bool GetIn1kRAMByte(int index, uint8_t& value) const = 0;
  virtual int GetIn1kRAMSize() const = 0;
  virtual bool WriteIn1kRAMByte(uint8_t value, int index) = 0;
  // The views other than the command window show the new internal RAM.
  virtual void RefreshRAMViews() = 0;

  // Run control, with the main window's own checks and messages.
  virtual void NormalRun() = 0;
  virtual void Reset() = 0;
  virtual void StepOver() = 0;
  virtual void StepInto() = 0;
  virtual void Stop() = 0;
  // The Open command; a path, when given, is the name the dialog starts with.
  virtual void Load(const std::optional<std::string>& path) = 0;

  virtual void DisableBreakPoint(int index) = 0;
  // Sets and enables it.
  virtual void SetBreakPoint(int index, uint32_t address, uint8_t passCount) = 0;
  // Reloads the breakpoint window's list when it is open.
  virtual void RefreshBreakPointList() = 0;

  // Opens the window or brings it forward (Command: nothing).
  virtual void OpenWindow(CommandWindowKind window) = 0;
  // Closes the window when it is open.
  virtual void CloseWindow(CommandWindowKind window) = 0;
  // The command window to the front, focused.
  virtual void BringCommandWindowForward() = 0;
};

inline constexpr int kCommandCount = 17;
extern const std::array<const char*, kCommandCount> kCommandKeywords;
extern const std::array<const char*, kCommandCount> kCommandSyntaxTexts;

inline constexpr const char* kInvalidCommandText = "Invalid Command Input";
inline constexpr const char* kTransmitFailedText = "Transmit data to ICE failed!!";
inline constexpr const char* kStopFirstText = "Please Stop the ICE First !!";

// The words of a line: split at blanks, runs of blanks give no empty word;
// tabs are part of words.
std::vector<std::string> SplitCommandWords(const std::string& line);
// The number syntax above; nothing for text that does not convert.
std::optional<int32_t> StrToAddr(const std::string& text);
// The keyword completion of a line being typed: when the line starts with a
// word followed by a blank, and a keyword (in table order) extends that word,
// the line becomes that keyword and one blank; otherwise nothing.
std::optional<std::string> CompleteKeyword(const std::string& line);
// The path LOAD gives the Open dialog: an absolute name as it is, any other
// name under the working directory.
std::string ResolveLoadPath(const std::string& name, const std::string& workingDir);

class CommandInterpreter {
public:
  using Print = std::function<void(const std::string&)>;
  CommandInterpreter(CommandHost& host, Print print) : host_(host), print_(std::move(print)) {}

  // Runs one line. A line without words does nothing and returns true; a
  // line that is no valid command prints "Invalid Command Input" and returns
  // false.
  bool ExecuteCommand(const std::string& line);

private:
  struct Address {
    bool external = false;  // the 1 KB RAM
    int value = 0;
  };
  using Words = std::vector<std::string>;

  std::optional<Address> ParseAddress(const std::string& word) const;
  int SpaceSize(bool external) const;
  bool Get(bool external, int index, uint8_t& value) const;
  bool Set(bool external, int index, uint8_t value);
  // Sends the 1 KB bytes from..from+count-1 one by one; the first failure
  // prints and ends it.
  void Send1k(int from, int count);
  // False, with the line that says so, while the target runs.
  bool TargetHalted();

  bool CmdMDump(const Words& w);
  bool CmdMFill(const Words& w);
  bool CmdMCopy(const Words& w);
  bool CmdMWrite(const Words& w);
  bool CmdGo(const Words& w);
  bool CmdReset(const Words& w);
  bool CmdStepOver(const Words& w);
  bool CmdStepInto(const Words& w);
  bool CmdStop(const Words& w);
  bool CmdLoad(const Words& w);
  bool CmdClrBp(const Words& w);
  bool CmdSetBp(const Words& w);
  bool CmdVBp(const Words& w);
  bool CmdWinClose(const Words& w);
  bool CmdWinOpen(const Words& w);
  bool CmdHelp(const Words& w);

  CommandHost& host_;
  Print print_;
};

}  // namespace vx930
