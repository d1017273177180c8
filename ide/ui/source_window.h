// The source window "Source File Window": the listing of a HEX program, or
// the C source of the OMF module that holds an address (a page of
// disassembly where there is no source), with the program-counter line
// painted black on yellow and breakpoint lines marked. Read-only. Closing it
// only minimises it.
#pragma once

#include <QMdiSubWindow>
#include <map>
#include <memory>

#include "ide/image/hex_decoder.h"
#include "ide/ui/source_lines.h"
#include "ide/ui/views/source_view.h"

class QPlainTextEdit;

namespace vx930 {

class TfmSrcForm final : public QMdiSubWindow, public SourceView {
  Q_OBJECT

public:
  explicit TfmSrcForm(QWidget* parent = nullptr);
  ~TfmSrcForm() override;

  // ChildWindow
  WindowBounds Bounds() const override;
  void SetBounds(const WindowBounds& bounds) override;
  void BringForward() override;
  void Close() override { close(); }

  // SourceView
  void SetMode(int mode) override;
  void SetCaption(const std::string& caption) override;
  void SetDecoder(const CDecodeHex* decoder) override { hex_ = decoder; }
  void ShowListing() override;
  void AttachOmf(const OmfModule* modules, const std::string& sourceDir, const CodeImage* image) override;
  void DetachOmf() override;
  void SetPublics(const OmfSymbol* publics) override { publics_ = publics; }
  void ClearPublics() override { publics_ = nullptr; }
  void SetPC(uint32_t address) override { pcAddress_ = address; }
  void ShowAddress(uint32_t address, bool force) override;
  void ClearPCLine() override;
  void ShowProcedure(const std::string& name) override;
  int32_t GetBreakPoint(int index) const override;
  void SetBreakPointMark(int index, int32_t address) override;
  int LinesShown() const override { return linesShown_; }
  int32_t GetFunctionAddress(const std::string& name) const override { return lines_.GetFunctionAddress(name); }
  int32_t NextLineStart(uint32_t address) const override { return lines_.NextLineStart(address); }
  int32_t LineEnd(uint32_t address) const override { return lines_.LineEnd(address); }
  int32_t ProcedureEnd(uint32_t address) const override { return lines_.ProcedureEnd(address); }
  bool HasSource(uint32_t address) const override { return lines_.HasSource(address); }

  // The editor line (from 1) painted as the program-counter line, 0 for none.
  int PCLine() const { return pcLine_; }
  QPlainTextEdit* Editor() const { return editor_; }

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  bool LoadModule(const OmfModule* module);
  void ShowDisasmPage(uint32_t address);
  void SetPCLine(int line);
  void ScrollTo(int line, bool force);
  int32_t AddressToLine(uint32_t address) const;
  void Repaint();

  QPlainTextEdit* editor_;
  SourceLines lines_;
  const CDecodeHex* hex_ = nullptr;
  std::unique_ptr<CDecodeHex> ownDecoder_;
  const OmfSymbol* publics_ = nullptr;
  std::string sourceDir_;
  const OmfModule* currentModule_ = nullptr;
  const OmfModule* pcModule_ = nullptr;
  std::map<int, uint32_t> pageMap_;
  int pcLine_ = 0;
  uint32_t pcAddress_ = 0;
  int linesShown_ = 1;
  int mode_ = 0;
  struct Mark {
    bool set = false;
    uint16_t address = 0;
    std::string module;
    int line = 0;
  };
  Mark marks_[2];
};

}  // namespace vx930
