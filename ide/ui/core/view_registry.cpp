#include "ide/ui/core/view_registry.h"

#include "ide/image/ide_message.h"
#include "ide/ui/core/retry.h"

namespace vx930 {

ViewRegistry::ViewRegistry(DebuggerState& state, IceConfig& config, FrameWindow& frame, ViewFactory* factory)
    : s_(state), config_(config), frame_(frame), factory_(factory) {}

void ViewRegistry::ViewClosed(const ChildWindow* view) {
  if (!view) return;
  if (view == ids_.source) {
    source_ = nullptr;
    ids_.source = nullptr;
  }
  if (view == ids_.sfr) {
    sfr_ = nullptr;
    ids_.sfr = nullptr;
  }
  if (view == ids_.inRam) {
    inRam_ = nullptr;
    ids_.inRam = nullptr;
  }
  if (view == ids_.in1kRam) {
    in1kRam_ = nullptr;
    ids_.in1kRam = nullptr;
  }
  if (view == ids_.breakPoints) {
    breakPoints_ = nullptr;
    ids_.breakPoints = nullptr;
  }
  if (view == ids_.watch) {
    watch_ = nullptr;
    ids_.watch = nullptr;
  }
  if (view == ids_.command) {
    command_ = nullptr;
    ids_.command = nullptr;
  }
}

// ------------------------------------------------------------- creation

void ViewRegistry::EnsureSourceView() {
  if (source_ || !factory_) return;
  source_ = factory_->CreateSourceView();
  ids_.source = source_;
}

void ViewRegistry::EnsureInRAMView() {
  if (!inRam_) CreateInRAMView();
}

void ViewRegistry::CreateInRAMView() {
  if (!factory_) return;
  RamViewCallbacks cb;
  cb.read = [this](uint8_t* buffer, int start) { return InRAMRead(buffer, start); };
  cb.write = [this](const uint8_t* buffer, int start) { return InRAMWrite(buffer, start); };
  cb.destroyed = [this] { InRAMViewClosed(); };
  cb.edited = [this] { InRAMEdited(); };
  inRam_ = factory_->CreateRamView("Internal 256 RAM", std::move(cb));
  ids_.inRam = inRam_;
  if (inRam_) inRam_->AttachImage(s_.InRAMImage.data(), kInRAMSize);
}

void ViewRegistry::Create1kRAMView() {
  if (!factory_) return;
  // The 1 KB view has no edit callback.
  RamViewCallbacks cb;
  cb.read = [this](uint8_t* buffer, int start) { return In1kRAMRead(buffer, start); };
  cb.write = [this](const uint8_t* buffer, int start) { return In1kRAMWrite(buffer, start); };
  cb.destroyed = [this] { In1kRAMViewClosed(); };
  in1kRam_ = factory_->CreateRamView("Internal 1k RAM_1", std::move(cb));
  ids_.in1kRam = in1kRam_;
  if (in1kRam_) in1kRam_->AttachImage(s_.In1kRAMImage.data(), s_.In1kRAMSize);
}

void ViewRegistry::CreateSfrView() {
  if (!factory_) return;
  // The SFR window sizes itself to its parent: build it in a large frame.
  const WindowBounds before = frame_.Bounds();
  WindowBounds large = before;
  large.width = 1024;
  large.height = 768;
  frame_.SetBounds(large);
  sfr_ = factory_->CreateSfrView();
  ids_.sfr = sfr_;
  WindowBounds after = frame_.Bounds();
  if (before.width != 0) after.width = before.width;
  if (before.height != 0) after.height = before.height;
  frame_.SetBounds(after);
}

void ViewRegistry::CreateBreakPointView() {
  if (factory_) breakPoints_ = factory_->CreateBreakPointView();
  ids_.breakPoints = breakPoints_;
}

void ViewRegistry::CreateWatchView() {
  if (factory_) watch_ = factory_->CreateWatchView();
  ids_.watch = watch_;
}

void ViewRegistry::CreateCommandView() {
  if (factory_) command_ = factory_->CreateCommandView();
  ids_.command = command_;
}

// ------------------------------------------------------------ view menu

void ViewRegistry::InternalRAM1Click() {
  if (!inRam_) CreateInRAMView();
  if (inRam_) inRam_->BringForward();
}

void ViewRegistry::muInternal1kRAM1Click() {
  if (!in1kRam_) Create1kRAMView();
  if (in1kRam_) in1kRam_->BringForward();
}

void ViewRegistry::SFRH1Click() {
  if (!sfr_) CreateSfrView();
  if (sfr_) sfr_->BringForward();
}

void ViewRegistry::BreakPoint1Click() {
  if (!breakPoints_) CreateBreakPointView();
  if (breakPoints_) breakPoints_->BringForward();
}

void ViewRegistry::Disassemble1Click() {
  if (!s_.HexDecoder) {
    ShowIdeMessage("Please Load File First !!");
    return;
  }
  if (!source_) {
    EnsureSourceView();
    if (source_) AttachOmfToSource();
  }
  if (!source_) return;
  source_->SetCaption(s_.FileName);
  source_->BringForward();
}

void ViewRegistry::ProcedureList1Click() {
  if (!source_) {
    EnsureSourceView();
    if (source_) AttachOmfToSource();
  }
  if (!watch_) {
    CreateWatchView();
    if (watch_) {
      watch_->FillProcList(s_.OmfModules);
      if (s_.OmfDecoder) RefreshWatchAtPC();
      WindowBounds b = watch_->Bounds();
      b.width = 360;
      watch_->SetBounds(b);
    }
  }
  if (!watch_) return;
  watch_->BringForward();
  watch_->ShowProcedurePage();
}

// ------------------------------------------------------ what views show

void ViewRegistry::AttachOmfToSource() {
  source_->AttachOmf(s_.OmfModules, s_.FileDir, s_.OmfDecoder ? s_.OmfDecoder->GetImage() : nullptr);
  source_->SetPublics(s_.OmfPublics);
}

void ViewRegistry::DetachProgram() {
  if (source_) {
    source_->DetachOmf();
    source_->ClearPublics();
    source_->SetDecoder(nullptr);
  }
  if (watch_) watch_->DetachOmf();
}

void ViewRegistry::UpdateSourceMarks() {
  if (!source_) return;
  for (int i = 0; i < BreakPointCount; ++i) {
    const BreakPointRec& bp = s_.BreakPointTable[i];
    source_->SetBreakPointMark(i, bp.enabled ? static_cast<int32_t>(bp.address) : -1);
  }
}

void ViewRegistry::RefreshWatchAtPC() {
  const OmfProcedure* p = s_.OmfDecoder ? s_.OmfDecoder->FindProcedure(s_.GetPC()) : nullptr;
  watch_->RefreshWatch(s_.OmfPublics, p ? p->Locals : nullptr);
}

// ------------------------------------------------- RAM views' callbacks

bool ViewRegistry::InRAMRead(uint8_t* buffer, int blockStart) {
  IceCommands* ice = s_.IceCmd.get();
  if (!ice) return false;
  return Retry3([&] { return ice->RxInRAM(buffer, static_cast<uint8_t>(blockStart)); }, 0);
}

bool ViewRegistry::InRAMWrite(const uint8_t* buffer, int blockStart) {
  IceCommands* ice = s_.IceCmd.get();
  return ice && ice->TxInRAM(static_cast<uint8_t>(blockStart), buffer);
}

void ViewRegistry::InRAMEdited() {
  if (sfr_) sfr_->RefreshRegisters();
}

bool ViewRegistry::In1kRAMRead(uint8_t* buffer, int blockStart) {
  IceCommands* ice = s_.IceCmd.get();
  if (!ice) return false;
  return Retry3([&] { return ice->Rx1kRAM(buffer, static_cast<uint16_t>(blockStart)); }, 0);
}

bool ViewRegistry::In1kRAMWrite(const uint8_t* buffer, int blockStart) {
  IceCommands* ice = s_.IceCmd.get();
  return ice && ice->Tx1kRAM(static_cast<uint16_t>(blockStart), buffer);
}

// --------------------------------------------------------------- layout

void ViewRegistry::SaveWindowLayout() {
  config_.WriteWindow(LayoutWindow::Main, WindowRecord{true, frame_.Bounds()});
  auto save = [this](LayoutWindow w, const ChildWindow* view) {
    config_.WriteWindow(w, view ? WindowRecord{true, view->Bounds()} : WindowRecord{});
  };
  save(LayoutWindow::Sfr, sfr_);
  save(LayoutWindow::InRam, inRam_);
  save(LayoutWindow::In1kRam, in1kRam_);
  save(LayoutWindow::BreakPoint, breakPoints_);
  save(LayoutWindow::Watch, watch_);
  save(LayoutWindow::Command, command_);
}

void ViewRegistry::LoadWindowLayout() {
  WindowRecord r = config_.ReadWindow(LayoutWindow::Main);
  if (r.exists) frame_.SetBounds(r.bounds);

  r = config_.ReadWindow(LayoutWindow::Sfr);
  if (r.exists) {
    if (!sfr_) CreateSfrView();
    if (sfr_) sfr_->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::InRam);
  if (r.exists) {
    if (!inRam_) InternalRAM1Click();
    if (inRam_) inRam_->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::In1kRam);
  if (r.exists) {
    if (!in1kRam_) muInternal1kRAM1Click();
    if (in1kRam_) in1kRam_->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::BreakPoint);
  if (r.exists) {
    if (!breakPoints_) CreateBreakPointView();
    if (breakPoints_) breakPoints_->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::Watch);
  if (r.exists) {
    if (!watch_) CreateWatchView();
    if (watch_) watch_->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::Command);
  if (r.exists) {
    if (!command_) CreateCommandView();
    if (command_) command_->SetBounds(r.bounds);
  }
}

}  // namespace vx930
