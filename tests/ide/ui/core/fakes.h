// Fakes of the main window's services and of every view, recording what the
// debugger asks of them.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ide/ui/core/host_interfaces.h"
#include "ide/ui/core/source_lines.h"
#include "ide/ui/core/views/view_factory.h"

namespace vx930::testing {

struct FakeTimer final : PollTimer {
  void Enable() override {
    enabled = true;
    ++enables;
  }
  void Disable() override { enabled = false; }
  bool IsEnabled() const override { return enabled; }
  bool enabled = false;
  int enables = 0;
};

struct FakeControls final : RunControls {
  void SetRunningControls() override { state = "running"; }
  void SetStoppedControls() override { state = "stopped"; }
  void EnableRunCommands() override { ++runEnabled; }
  std::string state = "none";
  int runEnabled = 0;
};

struct FakeFrame final : FrameWindow {
  void SetStatusText(int panel, const std::string& text) override {
    if (panel == 0) status.push_back(text);
  }
  void SetCaption(const std::string& text) override { caption = text; }
  WindowBounds Bounds() const override { return bounds; }
  void SetBounds(const WindowBounds& b) override { bounds = b; }
  void SetBusyCursor(bool) override {}
  std::string LastStatus() const { return status.empty() ? "" : status.back(); }
  std::vector<std::string> status;
  std::string caption = "VX930 IDE";
  WindowBounds bounds{187, 181, 842, 524};
};

struct FakeOpenDialog final : OpenFileDialog {
  std::optional<std::string> Execute(const std::string& dir) override {
    initialDirs.push_back(dir);
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void SetFileName(const std::string&) override {}
  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> initialDirs;
};

class FakeChild : public virtual ChildWindow {
public:
  WindowBounds Bounds() const override { return bounds; }
  void SetBounds(const WindowBounds& b) override { bounds = b; }
  void BringForward() override { ++forwards; }
  void Close() override { ++closes; }
  WindowBounds bounds{10, 10, 300, 200};
  int forwards = 0;
  int closes = 0;
};

class FakeSource final : public SourceView, public FakeChild {
public:
  void SetMode(int m) override {
    mode = m;
    lines = m == 1 ? 1 : 0;
  }
  void SetCaption(const std::string& c) override { caption = c; }
  void SetDecoder(const CDecodeHex* d) override { decoder = d; }
  void ShowListing() override { ++listings; }
  void AttachOmf(const OmfModule* modules, const std::string& dir, const CodeImage* img) override {
    omf.SetModules(modules);
    sourceDir = dir;
    image = img;
  }
  void DetachOmf() override {
    omf.SetModules(nullptr);
    image = nullptr;
  }
  void SetPublics(const OmfSymbol* p) override { publics = p; }
  void ClearPublics() override { publics = nullptr; }
  void SetPC(uint32_t a) override { pc = a; }
  void ShowAddress(uint32_t a, bool) override {
    shown.push_back(a);
    if (mode == 1) lines = omf.Locate(a, false).module ? 1 : 0;
  }
  void ClearPCLine() override { ++pcLineClears; }
  void ShowProcedure(const std::string&) override {}
  int32_t GetBreakPoint(int i) const override { return marks[i]; }
  void SetBreakPointMark(int i, int32_t a) override {
    marks[i] = a;
    markCalls.push_back({i, a});
  }
  int LinesShown() const override { return lines; }
  int32_t GetFunctionAddress(const std::string& n) const override { return omf.GetFunctionAddress(n); }
  int32_t NextLineStart(uint32_t a) const override { return omf.NextLineStart(a); }
  int32_t LineEnd(uint32_t a) const override { return omf.LineEnd(a); }
  int32_t ProcedureEnd(uint32_t a) const override { return omf.ProcedureEnd(a); }
  bool HasSource(uint32_t a) const override { return omf.HasSource(a); }

  SourceLines omf;
  int mode = -1;
  int lines = 1;
  std::string caption;
  std::string sourceDir;
  const CDecodeHex* decoder = nullptr;
  const CodeImage* image = nullptr;
  const OmfSymbol* publics = nullptr;
  int listings = 0;
  uint32_t pc = 0xFFFFFFFF;
  std::vector<uint32_t> shown;
  int pcLineClears = 0;
  int32_t marks[2] = {-1, -1};
  std::vector<std::pair<int, int32_t>> markCalls;
};

class FakeSfr final : public SfrView, public FakeChild {
public:
  void RefreshValues() override { ++refreshes; }
  void RefreshRegisters() override { ++registerRefreshes; }
  int refreshes = 0;
  int registerRefreshes = 0;
};

class FakeRam final : public RamView, public FakeChild {
public:
  explicit FakeRam(RamViewCallbacks c) : callbacks(std::move(c)) {}
  void AttachImage(uint8_t* img, int s) override {
    image = img;
    size = s;
  }
  bool WriteBack() override {
    bool ok = true;
    for (int b = 0; b < size / kRamBlockSize; ++b) {
      if (!(dirtyMask & (1u << b))) continue;
      bool written = false;
      for (int t = 0; t < 3 && !written; ++t) written = callbacks.write(image + b * 64, b * 64);
      if (written)
        dirtyMask &= ~(1u << b);
      else
        ok = false;
    }
    return ok;
  }
  void ClearLoaded() override { ++clears; }
  void ReloadAfterStop() override { ++reloads; }
  bool LoadForEdit(int offset) override {
    const int b = offset / kRamBlockSize;
    if ((loadedMask | dirtyMask) & (1u << b)) return true;
    if (!callbacks.read || !callbacks.read(image + b * kRamBlockSize, b * kRamBlockSize)) return false;
    loadedMask |= 1u << b;
    return true;
  }
  void MarkDirty(int offset) override { dirtyMask |= 1u << (offset / kRamBlockSize); }
  void RedrawLine(int offset) override { redrawn.push_back(offset); }

  RamViewCallbacks callbacks;
  uint8_t* image = nullptr;
  int size = 0;
  uint32_t dirtyMask = 0;
  uint32_t loadedMask = 0;
  int clears = 0;
  int reloads = 0;
  std::vector<int> redrawn;
};

class FakeWatch final : public WatchView, public FakeChild {
public:
  void FillProcList(const OmfModule* m) override {
    modules = m;
    ++fills;
  }
  void RefreshWatch(const OmfSymbol* g, const OmfSymbol* l) override {
    globals = g;
    locals = l;
    ++refreshes;
    if (onRefresh) onRefresh();
  }
  void DetachOmf() override {
    modules = nullptr;
    globals = nullptr;
    locals = nullptr;
  }
  void ShowProcedurePage() override {}
  const OmfModule* modules = nullptr;
  const OmfSymbol* globals = nullptr;
  const OmfSymbol* locals = nullptr;
  int fills = 0;
  int refreshes = 0;
  std::function<void()> onRefresh;
};

class FakeBreakPoints final : public BreakPointView, public FakeChild {
public:
  void RefreshList() override { ++refreshes; }
  int refreshes = 0;
};

class FakeCommand final : public CommandView, public FakeChild {};

// Makes every view on request (or none, when `available` is false) and keeps them.
class FakeViews final : public ViewFactory {
public:
  SourceView* CreateSourceView() override { return Make(sources); }
  SfrView* CreateSfrView() override { return Make(sfrs); }
  RamView* CreateRamView(const std::string& caption, RamViewCallbacks cb) override {
    if (!available) return nullptr;
    ramCaptions.push_back(caption);
    rams.push_back(std::make_unique<FakeRam>(std::move(cb)));
    return rams.back().get();
  }
  BreakPointView* CreateBreakPointView() override { return Make(breakpoints); }
  WatchView* CreateWatchView() override { return Make(watches); }
  CommandView* CreateCommandView() override { return Make(commands); }

  bool available = true;
  std::vector<std::unique_ptr<FakeSource>> sources;
  std::vector<std::unique_ptr<FakeSfr>> sfrs;
  std::vector<std::unique_ptr<FakeRam>> rams;
  std::vector<std::string> ramCaptions;
  std::vector<std::unique_ptr<FakeBreakPoints>> breakpoints;
  std::vector<std::unique_ptr<FakeWatch>> watches;
  std::vector<std::unique_ptr<FakeCommand>> commands;

private:
  template <class T>
  T* Make(std::vector<std::unique_ptr<T>>& list) {
    if (!available) return nullptr;
    list.push_back(std::make_unique<T>());
    return list.back().get();
  }
};

}  // namespace vx930::testing
