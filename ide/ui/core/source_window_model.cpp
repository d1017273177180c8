#include "ide/ui/core/source_window_model.h"

#include <algorithm>

#include "ide/image/ide_message.h"
#include "ide/ui/core/breakpoint_list.h"
#include "ide/ui/core/debugger.h"
#include "ide/ui/core/source_file.h"

namespace vx930 {

SourceWindowModel::SourceWindowModel(SourceEditor& editor) : editor_(editor) {}

SourceWindowModel::~SourceWindowModel() = default;

void SourceWindowModel::SetMode(int mode) {
  mode_ = mode;
  linesShown_ = mode == 1 ? 1 : 0;
}

void SourceWindowModel::ShowListing() {
  const StringList* listing = hexDecoder_ ? hexDecoder_->Listing() : nullptr;
  editor_.SetText(listing ? listing->Text() : std::string());
  currentModule_ = nullptr;
  pcLine_ = 0;
}

void SourceWindowModel::AttachOmf(const OmfModule* modules, const std::string& sourceDir, const CodeImage* image) {
  lines_.SetModules(modules);
  currentModule_ = nullptr;
  pcModule_ = nullptr;
  pcLine_ = 0;
  sourceDir_ = sourceDir;
  // A page of the program before would otherwise be taken for one of this.
  pageMap_.clear();
  ownDecoder_.reset();
  if (modules) {
    ownDecoder_ = std::make_unique<CDecodeHex>();
    // A line decoder only reads the image; the program detaches before it goes.
    ownDecoder_->SetImage(const_cast<CodeImage*>(image));
  }
}

void SourceWindowModel::DetachOmf() {
  ownDecoder_.reset();
  lines_.SetModules(nullptr);
  currentModule_ = nullptr;
  pcModule_ = nullptr;
  pcLine_ = 0;
  pageMap_.clear();
}

bool SourceWindowModel::LoadModule(const OmfModule* module) {
  const std::optional<std::string> path = FindModuleSource(sourceDir_, module->Name);
  const std::optional<std::string> text = path ? ReadSourceFile(*path) : std::nullopt;
  if (!text) {
    ShowIdeMessage("Can't Open " + module->Name);
    return false;
  }
  editor_.SetText(*text);
  currentModule_ = module;
  return true;
}

void SourceWindowModel::ScrollIntoView(int line, bool force) {
  const int top = editor_.TopLine();
  if (force || line < top || line >= top + editor_.LinesInWindow()) editor_.SetTopLine(line);
}

void SourceWindowModel::SetPCLine(int line) {
  pcLine_ = line;
  pcModule_ = currentModule_;
}

void SourceWindowModel::SetLinesShown(int shown) {
  linesShown_ = shown;
  if (shown == 1) pageMap_.clear();
}

int SourceWindowModel::PaintedPCLine() const { return pcLine_ > 0 && pcModule_ == currentModule_ ? pcLine_ : 0; }

void SourceWindowModel::ShowAddress(uint32_t address, bool force) {
  const bool isPC = address == pcAddress_;
  if (const SourceLines::Location at = lines_.Locate(address, isPC); at.module) {
    if (at.module != currentModule_ && !LoadModule(at.module)) return;
    if (isPC) SetPCLine(at.line);
    ScrollIntoView(at.line, force);
    editor_.Focus();
    SetLinesShown(1);
    return;
  }
  if (lines_.Modules()) ShowDisasmPage(address);
  if (mode_ == 1) return;

  // Listing mode: the shown address is always the PC line.
  if (!hexDecoder_) return;
  const int line = hexDecoder_->AddressToLine(static_cast<int32_t>(address & 0xFFFF)) + 1;
  ScrollIntoView(line, false);
  SetPCLine(line);
}

int SourceWindowModel::PageLineOf(uint32_t address) const {
  for (const auto& [line, a] : pageMap_)
    if (a == address) return line;
  return 0;
}

void SourceWindowModel::ShowDisasmPage(uint32_t address) {
  const int rows = std::max(1, editor_.PageRows());
  currentModule_ = nullptr;
  SetLinesShown(0);
  if (const int line = PageLineOf(address)) {
    SetPCLine(line);
    return;
  }
  pageMap_.clear();
  std::string text;
  uint32_t a = address;
  for (int row = 1; row <= rows && ownDecoder_ && a <= 0xFFFF; ++row) {
    if (row > 1) text += '\n';
    text += ownDecoder_->DisasmLine(static_cast<int32_t>(a));
    pageMap_[row] = a;
    a += static_cast<uint32_t>(ownDecoder_->GetInstLength(static_cast<int32_t>(a)));
  }
  editor_.SetText(text);
  // Row numbers of the page before name other instructions now.
  SetPCLine(PageLineOf(pcAddress_));
}

void SourceWindowModel::ShowProcedure(const std::string& name) {
  for (const OmfModule* m = lines_.Modules(); m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next) {
      if (p->Name != name) continue;
      // Without line entries there is no line to show.
      if (!p->Lines || p->Lines->Entries.empty()) return;
      const int first = static_cast<int>(p->Lines->Entries.front().Line);
      if (m != currentModule_ && !LoadModule(m)) return;
      editor_.SetTopLine(first);
      SetLinesShown(1);
      return;
    }
}

int32_t SourceWindowModel::GetBreakPoint(int index) const {
  if (index < 0 || index >= kMarkCount || !marks_[index].set) return -1;
  return marks_[index].address;
}

void SourceWindowModel::SetBreakPointMark(int index, int32_t address) {
  if (index < 0 || index >= kMarkCount) return;
  Mark& mark = marks_[index];
  if (address == -1) {
    mark.set = false;
    return;
  }
  mark.set = true;
  mark.address = static_cast<uint16_t>(address);
  mark.line = AddressToLine(static_cast<uint32_t>(address));
  const OmfModule* module = lines_.FindModule(static_cast<uint32_t>(address));
  mark.module = module ? module->Name : std::string();
}

int32_t SourceWindowModel::LineToAddress(int line) const {
  if (mode_ == 0) return hexDecoder_ ? hexDecoder_->LineToAddress(line - 1) : -1;
  if (OnDisasmPage()) {
    const auto it = pageMap_.find(line);
    return it == pageMap_.end() ? -1 : static_cast<int32_t>(it->second);
  }
  return currentModule_ ? SourceLines::LineToAddress(currentModule_, line) : -1;
}

int32_t SourceWindowModel::AddressToLine(uint32_t address) const {
  if (mode_ == 0) return hexDecoder_ ? hexDecoder_->AddressToLine(static_cast<int32_t>(address & 0xFFFF)) + 1 : -1;
  if (OnDisasmPage())
    if (const int line = PageLineOf(address)) return line;
  const OmfProcedure* holder = lines_.FindProcedure(address);
  if (!holder) return -1;
  const OmfModule* module = lines_.FindModule(address);
  bool reached = false;
  for (const OmfProcedure* p = module->Procs; p; p = p->Next) {
    reached = reached || p == holder;
    if (!reached) continue;
    for (const OmfLineBlock* b = p->Lines; b; b = b->Next)
      for (const OmfLineEntry& e : b->Entries)
        if (e.Address == address) return static_cast<int32_t>(e.Line);
  }
  return -1;
}

bool SourceWindowModel::LineHasCode(int line) const {
  if (mode_ == 0) return hexDecoder_ && hexDecoder_->LineToAddress(line - 1) != -1;
  if (OnDisasmPage()) return pageMap_.count(line) != 0;
  if (!lines_.Modules() || !currentModule_) return false;
  for (const OmfProcedure* p = currentModule_->Procs; p; p = p->Next)
    for (const OmfLineBlock* b = p->Lines; b; b = b->Next)
      for (const OmfLineEntry& e : b->Entries)
        if (static_cast<int>(e.Line) == line) return true;
  return false;
}

int SourceWindowModel::LineMarkKind(int line) const {
  for (int i = 0; i < kMarkCount; ++i) {
    const Mark& mark = marks_[i];
    if (!mark.set) continue;
    if (currentModule_) {
      if (mark.line == line && mark.module == currentModule_->Name) return i;
    } else if (mode_ == 0) {
      if (mark.line == line) return i;
    } else if (OnDisasmPage()) {
      const int32_t a = LineToAddress(line);
      if (a != -1 && static_cast<uint32_t>(a) == mark.address) return i;
    }
  }
  return kNoMark;
}

int SourceWindowModel::MarkCandidateLine(int index) const {
  if (index < 0 || index >= kMarkCount || !marks_[index].set) return 0;
  const Mark& mark = marks_[index];
  if (!currentModule_ && OnDisasmPage()) return PageLineOf(mark.address);
  return std::max(mark.line, 0);
}

bool SourceWindowModel::GutterClick(int line) {
  if (!LineHasCode(line)) return false;
  if (targetRunning_ && targetRunning_()) {
    ShowIdeMessage("Please Stop the ICE First !!");
    return false;
  }
  clickedLine_ = line;
  return true;
}

void SourceWindowModel::SetBreakPointClick(int index) {
  if (index < 0 || index >= kMarkCount) return;
  Mark& mark = marks_[index];
  mark.set = mark.line != clickedLine_ || !mark.set;
  mark.line = clickedLine_;
  if (mark.set) mark.address = static_cast<uint16_t>(LineToAddress(clickedLine_));
  mark.module = currentModule_ ? currentModule_->Name : std::string();
  if (takeBreakPoints_) takeBreakPoints_();
}

void SourceWindowModel::GotoAddress(const std::string& text) {
  const std::optional<uint32_t> address = ParseHexAddress(text);
  if (!address) {
    ShowIdeMessage("Address Error, Please Set Again!! ");
    return;
  }
  if (*address >= 0x10000) return;
  ShowAddress(*address, false);
}

std::optional<uint32_t> ParseHexAddress(const std::string& text) {
  if (text.size() > 8) return std::nullopt;
  return ParseHexNumber(text);
}

}  // namespace vx930
