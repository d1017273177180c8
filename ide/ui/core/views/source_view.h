// The source window as the debugger drives it: the listing of a HEX program or
// the C sources of an OMF program, the program-counter line, the two
// breakpoint marks, and the line questions that source-level stepping asks.
//
// Addresses and lines are 32-bit signed so that -1 can mean "none". Editor
// lines count from 1.
#pragma once

#include <cstdint>
#include <string>

#include "ide/image/code_image.h"
#include "ide/ui/core/views/child_window.h"

namespace vx930 {

class CDecodeHex;
struct OmfModule;
struct OmfSymbol;

class SourceView : public virtual ChildWindow {
public:
  // 0: listing mode (HEX program); 1: OMF mode. Mode 1 sets LinesShown to 1,
  // mode 0 to 0.
  virtual void SetMode(int mode) = 0;
  virtual void SetCaption(const std::string& caption) = 0;

  // The program's decoder, for the listing text and the listing's line maps;
  // null while there is none. The debugger calls this before it deletes the
  // decoder the window was given, so the window never holds a freed one.
  virtual void SetDecoder(const CDecodeHex* decoder) = 0;
  // Editor text := the whole listing of the decoder given to SetDecoder.
  virtual void ShowListing() = 0;

  // Modules and code image of an OMF program (the image for disassembly
  // pages); sourceDir ends with '/'. Detach drops every pointer into them.
  virtual void AttachOmf(const OmfModule* modules, const std::string& sourceDir, const CodeImage* image) = 0;
  virtual void DetachOmf() = 0;
  virtual void SetPublics(const OmfSymbol* publics) = 0;
  virtual void ClearPublics() = 0;

  // The PC address; showing this very address moves the PC line. No repaint.
  virtual void SetPC(uint32_t address) = 0;
  // Shows the source line, disassembly page or listing line of the address;
  // force scrolls it to the top even when it is in view.
  virtual void ShowAddress(uint32_t address, bool force) = 0;
  virtual void ClearPCLine() = 0;
  // The start of the named procedure's source (the watch window's double-click).
  virtual void ShowProcedure(const std::string& name) = 0;

  // Breakpoint mark 0 or 1: its address, or -1 when not set.
  virtual int32_t GetBreakPoint(int index) const = 0;
  // Sets mark index to the address, or clears it for -1.
  virtual void SetBreakPointMark(int index, int32_t address) = 0;

  // 1 while the window shows an OMF module's source lines (source-level
  // stepping applies), 0 for the listing or a disassembly page.
  virtual int LinesShown() const = 0;

  // Line questions over the OMF modules (see SourceLines for their meaning).
  virtual int32_t GetFunctionAddress(const std::string& name) const = 0;
  virtual int32_t NextLineStart(uint32_t address) const = 0;
  virtual int32_t LineEnd(uint32_t address) const = 0;
  virtual int32_t ProcedureEnd(uint32_t address) const = 0;
  virtual bool HasSource(uint32_t address) const = 0;
};

}  // namespace vx930
