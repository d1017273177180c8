#include "ide/ui/core/view_registry.h"

#include "ide/image/ide_message.h"
#include "ide/ui/core/retry.h"

namespace vx930 {

ViewRegistry::ViewRegistry(DebuggerState& state, IceConfig& config, FrameWindow& frame, ViewFactory* factory)
    : s_(state), config_(config), frame_(frame), factory_(factory) {}

void ViewRegistry::ViewClosed(const ChildWindow* view) {
  if (!view) return;
  source_.ClearIf(view);
  sfr_.ClearIf(view);
  inRam_.ClearIf(view);
  in1kRam_.ClearIf(view);
  breakPoints_.ClearIf(view);
  watch_.ClearIf(view);
  command_.ClearIf(view);
}

// ------------------------------------------------------------- creation

void ViewRegistry::EnsureSourceView() {
  if (source_.view || !factory_) return;
  source_.Set(factory_->CreateSourceView());
}

void ViewRegistry::EnsureInRAMView() {
  if (!inRam_.view) CreateInRAMView();
}

void ViewRegistry::CreateInRAMView() {
  if (!factory_) return;
  RamViewCallbacks cb;
  cb.read = [this](uint8_t* buffer, int start) { return InRAMRead(buffer, start); };
  cb.write = [this](const uint8_t* buffer, int start) { return InRAMWrite(buffer, start); };
  cb.destroyed = [this] { InRAMViewClosed(); };
  cb.edited = [this] { InRAMEdited(); };
  inRam_.Set(factory_->CreateRamView("Internal 256 RAM", std::move(cb)));
  if (inRam_.view) inRam_.view->AttachImage(s_.InRAMImage.data(), kInRAMSize);
}

void ViewRegistry::Create1kRAMView() {
  if (!factory_) return;
  // The 1 KB view has no edit callback.
  RamViewCallbacks cb;
  cb.read = [this](uint8_t* buffer, int start) { return In1kRAMRead(buffer, start); };
  cb.write = [this](const uint8_t* buffer, int start) { return In1kRAMWrite(buffer, start); };
  cb.destroyed = [this] { In1kRAMViewClosed(); };
  in1kRam_.Set(factory_->CreateRamView("Internal 1k RAM_1", std::move(cb)));
  if (in1kRam_.view) in1kRam_.view->AttachImage(s_.In1kRAMImage.data(), s_.In1kRAMSize);
}

void ViewRegistry::CreateSfrView() {
  if (!factory_) return;
  // The SFR window sizes itself to its parent: build it in a large frame.
  const WindowBounds before = frame_.Bounds();
  WindowBounds large = before;
  large.width = 1024;
  large.height = 768;
  frame_.SetBounds(large);
  sfr_.Set(factory_->CreateSfrView());
  WindowBounds after = frame_.Bounds();
  if (before.width != 0) after.width = before.width;
  if (before.height != 0) after.height = before.height;
  frame_.SetBounds(after);
}

void ViewRegistry::CreateBreakPointView() {
  if (factory_) breakPoints_.Set(factory_->CreateBreakPointView());
}

void ViewRegistry::CreateWatchView() {
  if (factory_) watch_.Set(factory_->CreateWatchView());
}

void ViewRegistry::CreateCommandView() {
  if (factory_) command_.Set(factory_->CreateCommandView());
}

// ------------------------------------------------------------ view menu

void ViewRegistry::InternalRAM1Click() {
  if (!inRam_.view) CreateInRAMView();
  if (inRam_.view) inRam_.view->BringForward();
}

void ViewRegistry::muInternal1kRAM1Click() {
  if (!in1kRam_.view) Create1kRAMView();
  if (in1kRam_.view) in1kRam_.view->BringForward();
}

void ViewRegistry::SFRH1Click() {
  if (!sfr_.view) CreateSfrView();
  if (sfr_.view) sfr_.view->BringForward();
}

void ViewRegistry::BreakPoint1Click() {
  if (!breakPoints_.view) CreateBreakPointView();
  if (breakPoints_.view) breakPoints_.view->BringForward();
}

void ViewRegistry::Disassemble1Click() {
  if (!s_.HexDecoder) {
    ShowIdeMessage("Please Load File First !!");
    return;
  }
  if (!source_.view) {
    EnsureSourceView();
    if (source_.view) AttachOmfToSource();
  }
  if (!source_.view) return;
  source_.view->SetCaption(s_.FileName);
  source_.view->BringForward();
}

void ViewRegistry::ProcedureList1Click() {
  if (!source_.view) {
    EnsureSourceView();
    if (source_.view) AttachOmfToSource();
  }
  if (!watch_.view) {
    CreateWatchView();
    if (watch_.view) {
      watch_.view->FillProcList(s_.OmfModules);
      if (s_.OmfDecoder) RefreshWatchAtPC();
      WindowBounds b = watch_.view->Bounds();
      b.width = 360;
      watch_.view->SetBounds(b);
    }
  }
  if (!watch_.view) return;
  watch_.view->BringForward();
  watch_.view->ShowProcedurePage();
}

// ------------------------------------------------------ what views show

void ViewRegistry::AttachOmfToSource() {
  source_.view->AttachOmf(s_.OmfModules, s_.FileDir, s_.OmfDecoder ? s_.OmfDecoder->GetImage() : nullptr);
  source_.view->SetPublics(s_.OmfPublics);
}

void ViewRegistry::DetachProgram() {
  if (source_.view) {
    source_.view->DetachOmf();
    source_.view->ClearPublics();
    source_.view->SetDecoder(nullptr);
  }
  if (watch_.view) watch_.view->DetachOmf();
}

void ViewRegistry::UpdateSourceMarks() {
  if (!source_.view) return;
  for (int i = 0; i < BreakPointCount; ++i) {
    const BreakPointRec& bp = s_.BreakPointTable[i];
    source_.view->SetBreakPointMark(i, bp.enabled ? static_cast<int32_t>(bp.address) : -1);
  }
}

void ViewRegistry::RefreshWatchAtPC() {
  const OmfProcedure* p = s_.OmfDecoder ? s_.OmfDecoder->FindProcedure(s_.GetPC()) : nullptr;
  watch_.view->RefreshWatch(s_.OmfPublics, p ? p->Locals : nullptr);
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
  if (sfr_.view) sfr_.view->RefreshRegisters();
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
  save(LayoutWindow::Sfr, sfr_.view);
  save(LayoutWindow::InRam, inRam_.view);
  save(LayoutWindow::In1kRam, in1kRam_.view);
  save(LayoutWindow::BreakPoint, breakPoints_.view);
  save(LayoutWindow::Watch, watch_.view);
  save(LayoutWindow::Command, command_.view);
}

void ViewRegistry::LoadWindowLayout() {
  const WindowRecord main = config_.ReadWindow(LayoutWindow::Main);
  if (main.exists) frame_.SetBounds(main.bounds);

  // The RAM views open as their View menu items open them; the others are only made.
  auto restore = [this](LayoutWindow w, const auto& slot, void (ViewRegistry::*open)()) {
    const WindowRecord saved = config_.ReadWindow(w);
    if (!saved.exists) return;
    if (!slot.view) (this->*open)();
    if (slot.view) slot.view->SetBounds(saved.bounds);
  };
  restore(LayoutWindow::Sfr, sfr_, &ViewRegistry::CreateSfrView);
  restore(LayoutWindow::InRam, inRam_, &ViewRegistry::InternalRAM1Click);
  restore(LayoutWindow::In1kRam, in1kRam_, &ViewRegistry::muInternal1kRAM1Click);
  restore(LayoutWindow::BreakPoint, breakPoints_, &ViewRegistry::CreateBreakPointView);
  restore(LayoutWindow::Watch, watch_, &ViewRegistry::CreateWatchView);
  restore(LayoutWindow::Command, command_, &ViewRegistry::CreateCommandView);
}

}  // namespace vx930
