// The source window's logic without its widgets: what the editor shows (the
// listing of a HEX program, an OMF module's C source, or a page of
// disassembly where there is no source), the program-counter line, the two
// breakpoint marks with the gutter popup's rules, the goto-address command,
// and the line questions of source-level stepping.
//
// Editor lines count from 1; line 0 means none. Addresses that can be "none"
// are 32-bit signed with -1 for none.
//
// Three states:
//  - listing (mode 0): the editor holds the whole listing of the program's
//    decoder; editor line n + 1 shows listing line n;
//  - source view (mode 1, LinesShown 1, a current module): the module's
//    source file, lines as in the file;
//  - disassembly page (mode 1, LinesShown 0): one line per instruction from
//    the address asked for, one line more than the window shows, with the
//    page map from line to address.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ide/image/code_image.h"
#include "ide/image/hex_decoder.h"
#include "ide/image/omf_model.h"
#include "ide/ui/core/source_lines.h"

namespace vx930 {

// What the logic needs of the editor control.
class SourceEditor {
public:
  virtual ~SourceEditor() = default;
  // The whole text; lines end with "\n" (or "\r\n").
  virtual void SetText(const std::string& text) = 0;
  // The first line in view, and scrolling so that a line is the first.
  virtual int TopLine() const = 0;
  virtual void SetTopLine(int line) = 0;
  // Whole lines that fit in the window.
  virtual int LinesInWindow() const = 0;
  // The window's height in lines, counting a partly shown last one, plus
  // one: the rows of a disassembly page.
  virtual int PageRows() const = 0;
  virtual void Focus() = 0;
};

class SourceWindowModel {
public:
  static constexpr int kMarkCount = 2;
  static constexpr int kNoMark = -1;

  explicit SourceWindowModel(SourceEditor& editor);
  ~SourceWindowModel();
  SourceWindowModel(const SourceWindowModel&) = delete;
  SourceWindowModel& operator=(const SourceWindowModel&) = delete;

  // Called after the gutter popup changed a mark, to take both marks into
  // the breakpoint table.
  void SetTakeBreakPoints(std::function<void()> take) { takeBreakPoints_ = std::move(take); }
  // Asked before a gutter click opens the popup: while the target runs the
  // marks stay as they are, since a step's restore of its parked breakpoints
  // would silently undo the change at the halt.
  void SetTargetRunning(std::function<bool()> running) { targetRunning_ = std::move(running); }

  // 0: listing mode; 1: OMF mode. LinesShown becomes 1 for mode 1, 0 for 0.
  void SetMode(int mode);
  int Mode() const { return mode_; }
  // The program's decoder (listing mode reads its listing and line maps);
  // null drops it.
  void SetDecoder(const CDecodeHex* decoder) { hexDecoder_ = decoder; }
  // Editor text := the decoder's whole listing; the PC line goes with the
  // old text.
  void ShowListing();

  // The OMF program's modules, the directory of its source files (ending
  // with '/') and the code image for disassembly pages. Both drop every
  // pointer and line of the program shown before, the page map included.
  void AttachOmf(const OmfModule* modules, const std::string& sourceDir, const CodeImage* image);
  void DetachOmf();
  void SetPublics(const OmfSymbol* publics) { publics_ = publics; }
  void ClearPublics() { publics_ = nullptr; }

  // Showing this very address moves the PC line.
  void SetPC(uint32_t address) { pcAddress_ = address; }
  uint32_t PCAddress() const { return pcAddress_; }
  // The source line, disassembly page or listing line of the address; the
  // line is scrolled to the top when it is out of view or force is set.
  void ShowAddress(uint32_t address, bool force);
  // The start of the named procedure's source (case-sensitive name).
  void ShowProcedure(const std::string& name);
  void ClearPCLine() { pcLine_ = 0; }

  // Mark 0 or 1: its address, or -1 when it is not set.
  int32_t GetBreakPoint(int index) const;
  // The breakpoint table changed elsewhere: the mark goes to the address,
  // or is cleared for -1.
  void SetBreakPointMark(int index, int32_t address);

  // 1 while the editor shows an OMF module's source lines.
  int LinesShown() const { return linesShown_; }

  // Stepping questions over the modules.
  int32_t GetFunctionAddress(const std::string& name) const { return lines_.GetFunctionAddress(name); }
  int32_t NextLineStart(uint32_t address) const { return lines_.NextLineStart(address); }
  int32_t LineEnd(uint32_t address) const { return lines_.LineEnd(address); }
  int32_t ProcedureEnd(uint32_t address) const { return lines_.ProcedureEnd(address); }
  bool HasSource(uint32_t address) const { return lines_.HasSource(address); }
  const OmfProcedure* FindProcedure(uint32_t address) const { return lines_.FindProcedure(address); }
  const OmfModule* FindModule(uint32_t address) const { return lines_.FindModule(address); }

  // Lines and addresses in what the editor shows.
  int32_t LineToAddress(int line) const;
  int32_t AddressToLine(uint32_t address) const;
  // A breakpoint can be put on the line.
  bool LineHasCode(int line) const;
  // The mark the gutter shows at the line (0 before 1), or kNoMark.
  int LineMarkKind(int line) const;
  // The line where mark index may show (its glyph is there when
  // LineMarkKind of that line says so); 0 for none.
  int MarkCandidateLine(int index) const;

  // The gutter was clicked at the line: true when the breakpoint popup
  // opens (the line has code); the line is remembered for the popup.
  bool GutterClick(int line);
  int ClickedLine() const { return clickedLine_; }
  // "Set as Break Point 0" / "1" on the clicked line: clicking the line the
  // mark occupies clears it, any other line moves it there; then both marks
  // are taken into the breakpoint table.
  void SetBreakPointClick(int index);

  // "Find Address" with the dialog's text, read as hexadecimal digits:
  // bad text shows "Address Error, Please Set Again!! "; an address from
  // 0x10000 up does nothing; any other is shown.
  void GotoAddress(const std::string& text);

  // The PC line as set (0 for none), and the line to paint as the PC line:
  // the PC line while the module it was set in is still shown, else 0.
  int PCLine() const { return pcLine_; }
  int PaintedPCLine() const;
  const OmfModule* CurrentModule() const { return currentModule_; }
  const OmfModule* Modules() const { return lines_.Modules(); }
  bool OnDisasmPage() const { return mode_ == 1 && linesShown_ == 0; }
  const std::map<int, uint32_t>& PageMap() const { return pageMap_; }

private:
  struct Mark {
    bool set = false;
    uint16_t address = 0;
    std::string module;
    int line = 0;
  };

  // The module's source into the editor; on failure the message and false,
  // with the editor and the current module as they were.
  bool LoadModule(const OmfModule* module);
  void ShowDisasmPage(uint32_t address);
  void SetPCLine(int line);
  void SetLinesShown(int shown);
  void ScrollIntoView(int line, bool force);
  int PageLineOf(uint32_t address) const;

  SourceEditor& editor_;
  std::function<void()> takeBreakPoints_;
  std::function<bool()> targetRunning_;
  SourceLines lines_;
  const CDecodeHex* hexDecoder_ = nullptr;
  std::unique_ptr<CDecodeHex> ownDecoder_;
  const OmfSymbol* publics_ = nullptr;
  std::string sourceDir_;
  const OmfModule* currentModule_ = nullptr;
  const OmfModule* pcModule_ = nullptr;
  std::map<int, uint32_t> pageMap_;
  int pcLine_ = 0;
  int clickedLine_ = 0;
  uint32_t pcAddress_ = 0;
  int linesShown_ = 1;
  int mode_ = 0;
  Mark marks_[kMarkCount];
};

// The goto-address dialog's text, read as hexadecimal ("0x" put in front):
// nothing when it does not convert (empty, a sign, a blank or any other
// character, or more than eight digits).
std::optional<uint32_t> ParseHexAddress(const std::string& text);

}  // namespace vx930
