#include "programmer/link/d2xx.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/messages.h"

namespace zolvek {

uint32_t FtCount::value() const {
  uint32_t v = 0;
  std::memcpy(&v, raw_, sizeof v);
  return v;
}

std::string UsbLibrary::Path() {
  if (const char* env = std::getenv("FTD2XX_LIBRARY"); env && *env) return env;
  return "libftd2xx.so";
}

namespace {

void UsbMessage(const std::string& text) {
  platform::Messages().Show({text, "Programmer Status", platform::Buttons::Ok, platform::Icon::Question});
}

template <class F>
bool Bind(const platform::SharedLibrary& lib, const char* name, F& slot) {
  void* p = lib.Symbol(name);
  if (!p) return false;
  slot = reinterpret_cast<F>(p);
  return true;
}

}  // namespace

void UsbLibrary::LoadUsbLibrary(LinkState& state) {
  bound_ = false;
  api_ = {};
  if (!library_.Open(Path())) {
    UsbMessage("Error : Can't open FTD2XX.DLL ! ");
    state.UsbUnavailable = 1;
    return;
  }
  struct Entry {
    bool ok;
    const char* message;
  };
  // In the order they are looked up; the first missing one is named.
  const Entry entries[] = {
      {Bind(library_, "FT_Write", api_.FT_Write), "Error : Can't Find FT_Write ! "},
      {Bind(library_, "FT_Read", api_.FT_Read), "Error : Can't Find FT_Read ! "},
      {Bind(library_, "FT_Open", api_.FT_Open), "Error : Can't Find FT_Open ! "},
      {Bind(library_, "FT_ListDevices", api_.FT_ListDevices), "Error : Can't Find FT_ListDevicese ! "},
      {Bind(library_, "FT_Close", api_.FT_Close), "Error : Can't Find FT_Close ! "},
      {Bind(library_, "FT_ResetDevice", api_.FT_ResetDevice), "Error : Can't Find FT_ResetDevice ! "},
      {Bind(library_, "FT_Purge", api_.FT_Purge), "Error : Can't Find FT_Purge ! "},
      {Bind(library_, "FT_SetTimeouts", api_.FT_SetTimeouts), "Error : Can't Find FT_SetTimeouts ! "},
      {Bind(library_, "FT_GetQueueStatus", api_.FT_GetQueueStatus), "Error : Can't Find FT_GetQueueStatus ! "},
      {Bind(library_, "FT_GetStatus", api_.FT_GetStatus), "Error : Can't Find FT_GetQueueStatus ! "},
  };
  for (const Entry& e : entries) {
    if (!e.ok) {
      UsbMessage(e.message);
      state.UsbUnavailable = 1;
      api_ = {};
      return;
    }
  }
  bound_ = true;
}

void UsbLibrary::Free() {
  bound_ = false;
  api_ = {};
  library_.Close();
}

void FindUsbProgrammer(LinkState& state, const D2xxApi* api) {
  if (state.UsbOpen && api) api->FT_Close(state.UsbHandle);
  state.UsbOpen = false;
  state.UsbHandle = nullptr;
  state.UsbNotFound = 1;
  if (state.UsbUnavailable == 1 || !api) return;

  FtCount count;
  if (api->FT_ListDevices(count.get(), nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) return;
  // A count beyond any bus is a broken answer, not a reason to list forever.
  const uint32_t devices = std::min<uint32_t>(count.value(), 127);
  for (uint32_t i = 0; i < devices; ++i) {
    char description[kDescriptionSize + 1] = {};
    if (api->FT_ListDevices(reinterpret_cast<void*>(static_cast<uintptr_t>(i)), description,
                            FT_LIST_BY_INDEX_DESCRIPTION) != FT_OK)
      continue;
    description[kDescriptionSize] = '\0';
    FT_HANDLE handle = nullptr;
    if (api->FT_Open(static_cast<int>(i), &handle) != FT_OK) continue;
    if (std::strcmp(description, kProgrammerDescription) == 0) {
      state.UsbHandle = handle;
      state.UsbOpen = true;
      state.UsbNotFound = 0;
      state.LinkKind = kLinkUsb;
      return;
    }
    api->FT_Close(handle);
  }
}

}  // namespace zolvek
