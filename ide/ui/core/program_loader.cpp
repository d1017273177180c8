#include "ide/ui/core/program_loader.h"

#include <fstream>

#include "ide/image/ide_message.h"
#include "ide/ui/core/retry.h"
#include "ide/ui/core/run_controller.h"
#include "ide/ui/core/view_registry.h"

namespace vx930 {

ProgramLoader::ProgramLoader(DebuggerState& state, IceConfig& config, ViewRegistry& views, RunController& run,
                             const LoaderHost& host)
    : s_(state),
      config_(config),
      views_(views),
      run_(run),
      timer_(host.timer),
      controls_(host.controls),
      frame_(host.frame),
      openDialog_(host.openDialog),
      download_(host.download) {}

std::string ProgramLoader::ReadHexCodePath() const { return DirectoryPart(config_.ReadHexCodePath()); }

void ProgramLoader::Load1Click() {
  frame_.SetStatusText(0, "");
  if (s_.TargetRunning()) {
    ShowIdeMessage("Please Stop the ICE First !!");
    return;
  }
  const std::optional<std::string> name = openDialog_.Execute(ReadHexCodePath());
  if (!name) return;
  const bool ok = ExtensionPart(*name).empty() ? OpenOmfFile(*name) : OpenHexFile(*name);
  UpdateWatchModules();
  views_.UpdateSourceMarks();
  if (ok) DownLoad1Click();
}

bool ProgramLoader::OpenHexFile(const std::string& fileName) {
  // Read into a new image and decoder; the loaded program stays as it is
  // until the file has been read successfully.
  auto image = std::make_unique<CodeImage>();
  image->fill(0xFF);
  auto decoder = std::make_unique<CDecodeHex>(image.get());
  frame_.SetBusyCursor(true);
  const bool ok = decoder->LoadHexFile(fileName);
  frame_.SetBusyCursor(false);
  if (!ok) {
    ShowIdeMessage("File Error, Please Check Again!!");
    frame_.SetStatusText(0, "");
    return false;
  }

  views_.DetachProgram();
  s_.OmfLoaded = 0;
  s_.OmfImage = nullptr;
  s_.OmfModules = nullptr;
  s_.OmfPublics = nullptr;
  s_.OmfDecoder.reset();
  s_.HexDecoder = std::move(decoder);
  s_.CodeImage = std::move(image);
  s_.FileName = fileName;
  s_.FileDir = DirectoryPart(fileName);
  config_.WriteHexCodePath(s_.FileName);

  views_.EnsureSourceView();
  SourceView* source = views_.fmSrcForm();
  if (source) {
    source->SetMode(0);
    source->SetCaption(s_.FileName);
    source->SetDecoder(s_.HexDecoder.get());
    source->ShowListing();
  }
  frame_.SetStatusText(0, "Open File Complete");
  frame_.SetCaption(std::string(kMainCaption) + "  " + s_.FileName);
  return true;
}

bool ProgramLoader::OpenOmfFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    ShowIdeMessage("Cannot open file \"" + fileName + "\".");
    return false;
  }
  auto omf = std::make_unique<DecodeOmf>();
  if (!omf->ReadOmf(in)) {
    ShowIdeMessage("OMF File Format Error !!");
    return false;
  }

  views_.DetachProgram();
  s_.OmfDecoder = std::move(omf);
  s_.OmfModules = s_.OmfDecoder->GetModules();
  s_.OmfPublics = s_.OmfDecoder->GetPublics();
  s_.OmfImage = s_.OmfDecoder->GetImage()->data();
  *s_.CodeImage = *s_.OmfDecoder->GetImage();
  s_.OmfLoaded = 1;
  s_.FileName = fileName;
  s_.FileDir = DirectoryPart(fileName);
  s_.HexDecoder = std::make_unique<CDecodeHex>();
  s_.HexDecoder->SetImage(s_.OmfDecoder->GetImage());

  views_.EnsureSourceView();
  SourceView* source = views_.fmSrcForm();
  if (source) {
    views_.AttachOmfToSource();
    source->SetMode(1);
    source->SetCaption(s_.FileName);
    source->SetDecoder(s_.HexDecoder.get());
  }
  if (views_.fmWatchForm()) views_.RefreshWatchAtPC();
  if (!s_.IceCmd && source) {
    // Without a link no reset follows to show MAIN.
    const int32_t m = source->GetFunctionAddress("MAIN");
    source->SetPC(static_cast<uint32_t>(m));
    source->ShowAddress(static_cast<uint32_t>(m), false);
  }
  frame_.SetCaption(std::string(kMainCaption) + "  " + s_.FileName);
  config_.WriteHexCodePath(s_.FileName);
  return true;
}

void ProgramLoader::UpdateWatchModules() {
  if (WatchView* watch = views_.fmWatchForm()) watch->FillProcList(s_.OmfModules);
}

void ProgramLoader::DownLoad1Click() {
  // The download thread owns the port while its dialog is open.
  timer_.Disable();
  frame_.SetStatusText(0, "");
  const int result = download_.ShowModal();
  frame_.SetStatusText(0, "");
  if (result == DownloadDialog::kCancel) return;
  controls_.EnableRunCommands();
  IceCommands* ice = s_.IceCmd.get();
  if (!Retry3([&] { return ice && ice->ClearBrkPnt(); })) {
    ShowIdeMessage("Communication Error(Clear Break Point Failed), Please Check Link!!");
    return;
  }
  frame_.SetBusyCursor(false);
  frame_.SetStatusText(0, "Download Complete");
  run_.Reset1Click();
}

}  // namespace vx930
