#include "ide/ui/core/command_interpreter.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "ide/ui/core/breakpoint_list.h"

namespace vx930 {

const std::array<const char*, kCommandCount> kCommandKeywords = {
    "MDUMP", "MFILL", "MCOPY", "MWRITE", "GO",    "RESET",    "STEPOVER", "STEPINTO", "STOP",
    "LOAD",  "CLRBP", "SETBP", "VBP",    "WATCH", "WINCLOSE", "WINOPEN",  "HELP"};

const std::array<const char*, kCommandCount> kCommandSyntaxTexts = {
    "MDump Addr <CR>",
    "MFill BeginAddr EndAddr Data <CR>",
    "MCopy SourceAddr TargetAddr Length <CR>",
    "MWrite Addr Data <CR>",
    "Go <CR>",
    "Reset <CR>",
    "StepOver <CR>",
    "StepInto <CR>",
    "Stop <CR>",
    "Load filename <CR>",
    "ClrBp BreakNum | ALL <CR>",
    "SetBp Addr BreakNum <CR>",
    "VBp <CR>",
    "Watch {Add | Del} Variable_Name Addr <CR>",
    "WinClose {Program | ExRAM | InRAM | Watch | SFR | BP | Command} <CR>",
    "WinOpen {Program | ExRAM | InRAM | Watch | SFR | BP | Command} <CR>",
    "Help Cmd"};

namespace {

constexpr int kInternalSize = 256;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

int KeywordIndex(const std::string& upperWord) {
  for (int i = 0; i < kCommandCount; ++i)
    if (upperWord == kCommandKeywords[static_cast<std::size_t>(i)]) return i;
  return -1;
}

std::optional<CommandWindowKind> WindowByName(const std::string& upperName) {
  if (upperName == "PROGRAM") return CommandWindowKind::Program;
  if (upperName == "INRAM") return CommandWindowKind::InRAM;
  if (upperName == "EXRAM") return CommandWindowKind::ExRAM;
  if (upperName == "SFR") return CommandWindowKind::Sfr;
  if (upperName == "BP") return CommandWindowKind::BreakPoint;
  if (upperName == "COMMAND") return CommandWindowKind::Command;
  return std::nullopt;
}

}  // namespace

std::vector<std::string> SplitCommandWords(const std::string& line) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t blank = line.find(' ', start);
    const std::size_t end = blank == std::string::npos ? line.size() : blank;
    if (end > start) words.push_back(line.substr(start, end - start));
    if (blank == std::string::npos) break;
    start = blank + 1;
  }
  return words;
}

std::optional<int32_t> StrToAddr(const std::string& text) {
  const std::size_t h = text.find('H');
  if (h == std::string::npos) return ParseDecimalNumber(text);
  std::string digits = text;
  digits.erase(h, 1);
  const std::optional<uint32_t> value = ParseHexNumber(digits);
  if (!value) return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::optional<std::string> CompleteKeyword(const std::string& line) {
  const std::string upper = Upper(line);
  const std::size_t blank = upper.find(' ');
  if (blank == std::string::npos || blank == 0) return std::nullopt;
  std::string word = upper.substr(0, blank);
  bool completed = false;
  for (const char* keyword : kCommandKeywords) {
    const std::string k = keyword;
    if (k != word && k.compare(0, word.size(), word) == 0) {
      word = k;
      completed = true;
    }
  }
  if (!completed) return std::nullopt;
  return word + " ";
}

std::string ResolveLoadPath(const std::string& name, const std::string& workingDir) {
  if (!name.empty() && name.front() == '/') return name;
  if (workingDir.empty() || workingDir.back() == '/') return workingDir + name;
  return workingDir + "/" + name;
}

// ------------------------------------------------------------ interpreter

bool CommandInterpreter::ExecuteCommand(const std::string& line) {
  const Words words = SplitCommandWords(line);
  if (words.empty()) return true;
  bool done = false;
  switch (KeywordIndex(Upper(words[0]))) {
    case 0: done = CmdMDump(words); break;
    case 1: done = CmdMFill(words); break;
    case 2: done = CmdMCopy(words); break;
    case 3: done = CmdMWrite(words); break;
    case 4: done = CmdGo(words); break;
    case 5: done = CmdReset(words); break;
    case 6: done = CmdStepOver(words); break;
    case 7: done = CmdStepInto(words); break;
    case 8: done = CmdStop(words); break;
    case 9: done = CmdLoad(words); break;
    case 10: done = CmdClrBp(words); break;
    case 11: done = CmdSetBp(words); break;
    case 12: done = CmdVBp(words); break;
    case 14: done = CmdWinClose(words); break;
    case 15: done = CmdWinOpen(words); break;
    case 16: done = CmdHelp(words); break;
    default: break;  // no keyword, or WATCH, which has no command behind it
  }
  if (!done) print_(kInvalidCommandText);
  return done;
}

std::optional<CommandInterpreter::Address> CommandInterpreter::ParseAddress(const std::string& word) const {
  std::string text = Upper(word);
  Address a;
  if (text.rfind("X:", 0) == 0) {
    a.external = true;
    text.erase(0, 2);
  } else {
    const std::size_t d = text.find("D:");
    if (d != std::string::npos) {
      if (d != 0) return std::nullopt;
      text.erase(0, 2);
    }
  }
  const std::optional<int32_t> value = StrToAddr(text);
  if (!value || *value < 0 || *value >= SpaceSize(a.external)) return std::nullopt;
  a.value = *value;
  return a;
}

int CommandInterpreter::SpaceSize(bool external) const { return external ? host_.GetIn1kRAMSize() : kInternalSize; }

bool CommandInterpreter::Get(bool external, int index, uint8_t& value) const {
  return external ? host_.GetIn1kRAMByte(index, value) : host_.GetInRAMByte(index, value);
}

bool CommandInterpreter::Set(bool external, int index, uint8_t value) {
  return external ? host_.SetIn1kRAMByte(index, value) : host_.SetInRAMByte(index, value);
}

void CommandInterpreter::Send1k(int from, int count) {
  // The 1 KB host copy has no write-back of its own: its new bytes go now.
  for (int i = from; i < from + count; ++i) {
    uint8_t value = 0;
    host_.GetIn1kRAMByte(i, value);
    if (!host_.WriteIn1kRAMByte(value, i)) {
      print_(kTransmitFailedText);
      return;
    }
  }
}

bool CommandInterpreter::TargetHalted() {
  if (!host_.TargetRunning()) return true;
  print_(kStopFirstText);
  return false;
}

bool CommandInterpreter::CmdMDump(const Words& w) {
  if (w.size() != 2) return false;
  const std::optional<Address> a = ParseAddress(w[1]);
  if (!a) return false;
  if (!TargetHalted()) return true;
  host_.OpenWindow(a->external ? CommandWindowKind::ExRAM : CommandWindowKind::InRAM);
  host_.BringCommandWindowForward();
  return true;
}

bool CommandInterpreter::CmdMFill(const Words& w) {
  if (w.size() != 4) return false;
  std::optional<Address> begin = ParseAddress(w[1]);
  std::optional<Address> end = ParseAddress(w[2]);
  if (!begin || !end || begin->external != end->external) return false;
  const std::optional<int32_t> data = StrToAddr(Upper(w[3]));
  if (!data) return false;
  if (!TargetHalted()) return true;
  if (end->value < begin->value) std::swap(begin, end);
  const bool external = begin->external;
  const auto value = static_cast<uint8_t>(*data & 0xFF);
  // A refused byte (its block could not be read) ends the fill: the link is
  // down, and every further byte would wait out the same failed read.
  for (int i = begin->value; i <= end->value; ++i)
    if (!Set(external, i, value)) break;
  if (external)
    Send1k(begin->value, end->value - begin->value + 1);
  else
    host_.RefreshRAMViews();
  return true;
}

bool CommandInterpreter::CmdMCopy(const Words& w) {
  if (w.size() != 4) return false;
  const std::optional<Address> source = ParseAddress(w[1]);
  const std::optional<Address> target = ParseAddress(w[2]);
  if (!source || !target) return false;
  const std::optional<int32_t> length = StrToAddr(Upper(w[3]));
  if (!length) return false;
  if (!TargetHalted()) return true;
  int64_t count = *length;
  count = std::min<int64_t>(count, SpaceSize(source->external) - source->value);
  count = std::min<int64_t>(count, SpaceSize(target->external) - target->value);
  if (count > 0) {
    // Read everything first, so that overlapping ranges copy as through a buffer.
    const int n = static_cast<int>(count);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) Get(source->external, source->value + i, bytes[static_cast<std::size_t>(i)]);
    for (int i = 0; i < n; ++i)
      if (!Set(target->external, target->value + i, bytes[static_cast<std::size_t>(i)])) break;
    if (target->external) Send1k(target->value, n);
  }
  if (!target->external) host_.RefreshRAMViews();
  return true;
}

bool CommandInterpreter::CmdMWrite(const Words& w) {
  if (w.size() != 3) return false;
  const std::optional<Address> a = ParseAddress(w[1]);
  if (!a) return false;
  const std::optional<int32_t> data = StrToAddr(Upper(w[2]));
  if (!data) return false;
  if (!TargetHalted()) return true;
  const auto value = static_cast<uint8_t>(*data & 0xFF);
  if (a->external) {
    host_.SetIn1kRAMByte(a->value, value);
    if (!host_.WriteIn1kRAMByte(value, a->value)) print_(kTransmitFailedText);
  } else {
    host_.SetInRAMByte(a->value, value);
    host_.RefreshRAMViews();
  }
  return true;
}

bool CommandInterpreter::CmdGo(const Words& w) {
  if (w.size() != 1) return false;
  host_.NormalRun();
  return true;
}

bool CommandInterpreter::CmdReset(const Words& w) {
  if (w.size() != 1) return false;
  host_.Reset();
  return true;
}

bool CommandInterpreter::CmdStepOver(const Words& w) {
  if (w.size() != 1) return false;
  host_.StepOver();
  return true;
}

bool CommandInterpreter::CmdStepInto(const Words& w) {
  if (w.size() != 1) return false;
  host_.StepInto();
  return true;
}

bool CommandInterpreter::CmdStop(const Words& w) {
  if (w.size() != 1) return false;
  host_.Stop();
  return true;
}

bool CommandInterpreter::CmdLoad(const Words& w) {
  if (w.size() != 1 && w.size() != 2) return false;
  if (w.size() == 1) {
    host_.Load(std::nullopt);
    return true;
  }
  // File names on Linux are case-sensitive: the name goes as typed.
  std::error_code ec;
  const std::string cwd = std::filesystem::current_path(ec).string();
  host_.Load(ResolveLoadPath(w[1], cwd));
  return true;
}

bool CommandInterpreter::CmdClrBp(const Words& w) {
  if (w.size() != 2) return false;
  const std::string which = Upper(w[1]);
  if (which != "ALL" && which != "0" && which != "1") return false;
  if (!TargetHalted()) return true;
  if (which == "ALL") {
    host_.DisableBreakPoint(0);
    host_.DisableBreakPoint(1);
  } else {
    host_.DisableBreakPoint(which == "0" ? 0 : 1);
  }
  host_.RefreshBreakPointList();
  return true;
}

bool CommandInterpreter::CmdSetBp(const Words& w) {
  if (w.size() != 3) return false;
  const std::optional<int32_t> address = StrToAddr(Upper(w[1]));
  if (!address || *address < 0 || *address > 0xFFFF) return false;
  const std::string number = Upper(w[2]);
  if (number != "0" && number != "1") return false;
  if (!TargetHalted()) return true;
  host_.SetBreakPoint(number == "0" ? 0 : 1, static_cast<uint32_t>(*address), 0);
  host_.RefreshBreakPointList();
  return true;
}

bool CommandInterpreter::CmdVBp(const Words& w) {
  if (w.size() != 1) return false;
  host_.OpenWindow(CommandWindowKind::BreakPoint);
  return true;
}

bool CommandInterpreter::CmdWinClose(const Words& w) {
  if (w.size() != 2) return false;
  const std::optional<CommandWindowKind> window = WindowByName(Upper(w[1]));
  if (!window) return false;
  host_.CloseWindow(*window);
  return true;
}

bool CommandInterpreter::CmdWinOpen(const Words& w) {
  if (w.size() != 2) return false;
  const std::optional<CommandWindowKind> window = WindowByName(Upper(w[1]));
  if (!window) return false;
  // The RAM views read the target when they show.
  const bool readsTarget = *window == CommandWindowKind::InRAM || *window == CommandWindowKind::ExRAM;
  if (readsTarget && !TargetHalted()) return true;
  host_.OpenWindow(*window);
  host_.BringCommandWindowForward();
  return true;
}

bool CommandInterpreter::CmdHelp(const Words& w) {
  if (w.size() == 1) {
    for (const char* text : kCommandSyntaxTexts) print_(text);
    return true;
  }
  if (w.size() != 2) return false;
  const int index = KeywordIndex(Upper(w[1]));
  if (index >= 0)
    print_(kCommandSyntaxTexts[static_cast<std::size_t>(index)]);
  else
    print_("\"" + w[1] + "\" command not found!!");
  return true;
}

}  // namespace vx930
