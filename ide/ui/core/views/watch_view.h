// The watch window as the debugger drives it.
#pragma once

#include "ide/ui/core/views/child_window.h"

namespace vx930 {

struct OmfModule;
struct OmfSymbol;

class WatchView : public virtual ChildWindow {
public:
  // The procedure list: every procedure of every module; null empties it.
  virtual void FillProcList(const OmfModule* modules) = 0;
  // Shows and reads the global and local variables (either list may be null).
  virtual void RefreshWatch(const OmfSymbol* globals, const OmfSymbol* locals) = 0;
  // Drops every pointer into the OMF records before they are freed.
  virtual void DetachOmf() = 0;
  // Makes the procedure page the active page.
  virtual void ShowProcedurePage() = 0;
};

}  // namespace vx930
