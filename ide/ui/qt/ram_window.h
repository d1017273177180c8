// TfmRAM: the RAM view, an MDI child showing one host image of target memory
// as a hex dump (RamDump) that fetches 64-byte blocks lazily as the user
// scrolls, takes typed hex digits as edits and writes edited blocks back when
// its creator asks. It reaches the target only through its creator's
// callbacks.
//
// The target is read and edited only while it is halted, as the creator's
// `targetHalted` tells: while it runs, scrolling and caret moves read
// nothing (the view says so in its status line) and typing is refused with
// a message. ReloadAfterStop is the creator's call after a halt and always
// reads.
//
// Closing: a view with edits not yet written is only minimised; otherwise it
// is deleted, and its destructor calls the destroyed callback.
#pragma once

#include <functional>
#include <string>

#include "ide/ui/core/ram_view_dump.h"
#include "ide/ui/core/views/ram_view.h"
#include "ide/ui/qt/mdi_child.h"

class QLabel;

namespace vx930 {

class RamDumpEditor;

inline constexpr const char* kRamReadFailed = "Read Embeded RAM failed, Please Check Link!!";
inline constexpr const char* kRamNotReadWhileRunning = "ICE is running, RAM not read";

class TfmRAM final : public MdiChild<RamView> {
  Q_OBJECT

public:
  // callbacks.read, .write and .destroyed must be set; .edited may be empty,
  // and so may targetHalted (the target then counts as halted).
  TfmRAM(const std::string& caption, RamViewCallbacks callbacks, std::function<bool()> targetHalted,
         QWidget* parent = nullptr);
  ~TfmRAM() override;

  // RamView
  void AttachImage(uint8_t* image, int size) override;
  bool WriteBack() override { return dump_.WriteBack(); }
  void ClearLoaded() override { dump_.ClearLoaded(); }
  void ReloadAfterStop() override;
  bool LoadForEdit(int offset) override;
  void MarkDirty(int offset) override { dump_.MarkDirty(offset); }
  void RedrawLine(int lineOffset) override;

  const RamDump& Dump() const { return dump_; }
  RamDumpEditor* Editor() const { return editor_; }
  // The status line: empty unless a read was skipped because the target runs.
  QString StatusText() const;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void ReloadVisible();
  void DigitTyped(int digit);
  bool Halted() const { return !targetHalted_ || targetHalted_(); }
  void SetNotReadNote(bool shown);
  // Shows the dump as it now stands and says when the read before it failed.
  bool Redraw(bool readOk);

  RamViewCallbacks callbacks_;
  std::function<bool()> targetHalted_;
  RamDump dump_;
  RamDumpEditor* editor_;
  QLabel* status_;
};

}  // namespace vx930
