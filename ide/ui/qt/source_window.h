// TfmSrcForm: the MDI child "Source File Window", a read-only QScintilla
// editor with the C lexer over SourceWindowModel. The model decides what is
// shown; this class only draws it: the program-counter line black on yellow
// (a background marker and a text-colour indicator), the breakpoint glyphs in
// the sensitive gutter margin, the gutter popup "pmBrkPnt" and the editor's
// popup "pmGoto" with "Find Address". Closing it only minimises it.
#pragma once

#include <memory>

#include "ide/ui/core/source_host.h"
#include "ide/ui/core/source_window_model.h"
#include "ide/ui/core/views/source_view.h"
#include "ide/ui/qt/mdi_child.h"

class QMenu;
class QsciScintilla;

namespace vx930 {

class TfmSrcForm final : public MdiChild<SourceView>, private SourceEditor {
  Q_OBJECT

public:
  // Editor markers: the two breakpoint glyphs, then the PC line.
  static constexpr int kGlyph0Marker = 0;
  static constexpr int kGlyph1Marker = 1;
  static constexpr int kPCLineMarker = 2;
  // The margins: glyphs, then line numbers; a click on either is a gutter click.
  static constexpr int kGlyphMargin = 0;
  static constexpr int kNumberMargin = 1;

  // The program passes a DebuggerSourceHost over its debugger; without a
  // host the target counts as halted and the popup's marks stay marks.
  explicit TfmSrcForm(std::unique_ptr<SourceHost> host = nullptr, QWidget* parent = nullptr);
  ~TfmSrcForm() override;

  // SourceView
  void SetMode(int mode) override;
  void SetCaption(const std::string& caption) override;
  void SetDecoder(const CDecodeHex* decoder) override { model_.SetDecoder(decoder); }
  void ShowListing() override;
  void AttachOmf(const OmfModule* modules, const std::string& sourceDir, const CodeImage* image) override;
  void DetachOmf() override;
  void SetPublics(const OmfSymbol* publics) override { model_.SetPublics(publics); }
  void ClearPublics() override { model_.ClearPublics(); }
  void SetPC(uint32_t address) override { model_.SetPC(address); }
  void ShowAddress(uint32_t address, bool force) override;
  void ClearPCLine() override;
  void ShowProcedure(const std::string& name) override;
  int32_t GetBreakPoint(int index) const override { return model_.GetBreakPoint(index); }
  void SetBreakPointMark(int index, int32_t address) override;
  int LinesShown() const override { return model_.LinesShown(); }
  int32_t GetFunctionAddress(const std::string& name) const override { return model_.GetFunctionAddress(name); }
  int32_t NextLineStart(uint32_t address) const override { return model_.NextLineStart(address); }
  int32_t LineEnd(uint32_t address) const override { return model_.LineEnd(address); }
  int32_t ProcedureEnd(uint32_t address) const override { return model_.ProcedureEnd(address); }
  bool HasSource(uint32_t address) const override { return model_.HasSource(address); }

  const SourceWindowModel& Model() const { return model_; }
  QsciScintilla* Editor() const { return editor_; }
  // The line painted as the program-counter line, 0 for none.
  int PCLine() const { return model_.PaintedPCLine(); }
  QMenu* BreakPointMenu() const { return pmBrkPnt_; }
  QMenu* GotoMenu() const { return pmGoto_; }

public slots:
  // marginClicked: the line is 0-based as the editor counts.
  void SynEdit1GutterClick(int margin, int line, Qt::KeyboardModifiers modifiers);
  void SetBreakPoint0Click();
  void SetBreakPoint1Click();
  void GotoAddress1Click();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  std::unique_ptr<SourceHost> host_;

  // SourceEditor
  void SetText(const std::string& text) override;
  int TopLine() const override;
  void SetTopLine(int line) override;
  int LinesInWindow() const override;
  int PageRows() const override;
  void Focus() override;

  // Markers and the PC line's colours from the model.
  void Repaint();

  QsciScintilla* editor_;
  QMenu* pmBrkPnt_;
  QMenu* pmGoto_;
  SourceWindowModel model_;
  // The editor's height while last shown at its normal size: a page built
  // while the window is minimised still fills the restored window.
  int normalViewportHeight_ = 0;
};

}  // namespace vx930
