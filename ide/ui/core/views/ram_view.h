// A RAM view (hex dump and editor over one host image) as its creator drives
// it. The view knows nothing of the emulator: it reaches it through the
// callbacks its creator gives it.
#pragma once

#include <cstdint>
#include <functional>

#include "ide/ui/core/views/child_window.h"

namespace vx930 {

inline constexpr int kRamBlockSize = 64;

struct RamViewCallbacks {
  // Fills the 64 image bytes at buffer from the target block at blockStart.
  std::function<bool(uint8_t* buffer, int blockStart)> read;
  // Sends the 64 image bytes at buffer to the target block at blockStart; one try.
  std::function<bool(const uint8_t* buffer, int blockStart)> write;
  // The view is being destroyed: the creator drops its pointer.
  std::function<void()> destroyed;
  // A byte was edited in the view; may be empty.
  std::function<void()> edited;
};

class RamView : public virtual ChildWindow {
public:
  // Binds the view to the creator's image (kept by the creator) and builds the text.
  virtual void AttachImage(uint8_t* image, int size) = 0;
  // Writes every dirty block back (three tries each); false when one failed.
  virtual bool WriteBack() = 0;
  // Every block will be read again.
  virtual void ClearLoaded() = 0;
  // Re-reads the visible blocks and marks changed bytes.
  virtual void ReloadAfterStop() = 0;
  // Before the creator changes a byte: reads its block from the target
  // unless the view holds it already; false (and a message) when that failed.
  virtual bool LoadForEdit(int offset) = 0;
  // The block of offset was changed by the creator and must be written back.
  virtual void MarkDirty(int offset) = 0;
  // Redraws the 16-byte line starting at lineOffset where it differs.
  virtual void RedrawLine(int lineOffset) = 0;
};

}  // namespace vx930
