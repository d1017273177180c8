// The USB chip's D2XX library, loaded at run time.
//
// "libftd2xx.so" (or the file named by FTD2XX_LIBRARY) is loaded with dlopen
// and its ten entry points looked up by name. A missing library or entry
// point makes USB unavailable for the run, with one message; COM and LPT
// work without it. FindUsbProgrammer then looks for the programmer among the
// attached devices by its description.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shared_library.h"
#include "programmer/link/link_state.h"

namespace zolvek {

using FT_HANDLE = void*;
using FT_STATUS = uint32_t;
using FT_DWORD = uint32_t;
inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_DWORD FT_LIST_NUMBER_ONLY = 0x80000000u;
inline constexpr FT_DWORD FT_LIST_BY_INDEX_DESCRIPTION = 0x40000002u;
inline constexpr uint32_t FT_PURGE_RX = 1;
inline constexpr uint32_t FT_PURGE_RX_TX = 3;

// The entry points, with the library's signatures.
struct D2xxApi {
  FT_STATUS (*FT_Write)(FT_HANDLE, void* buffer, FT_DWORD count, FT_DWORD* written) = nullptr;
  FT_STATUS (*FT_Read)(FT_HANDLE, void* buffer, FT_DWORD count, FT_DWORD* read) = nullptr;
  FT_STATUS (*FT_Open)(int device, FT_HANDLE* handle) = nullptr;
  FT_STATUS (*FT_ListDevices)(void* arg1, void* arg2, FT_DWORD flags) = nullptr;
  FT_STATUS (*FT_Close)(FT_HANDLE) = nullptr;
  FT_STATUS (*FT_ResetDevice)(FT_HANDLE) = nullptr;
  FT_STATUS (*FT_Purge)(FT_HANDLE, uint32_t mask) = nullptr;
  FT_STATUS (*FT_SetTimeouts)(FT_HANDLE, uint32_t readMs, uint32_t writeMs) = nullptr;
  FT_STATUS (*FT_GetQueueStatus)(FT_HANDLE, FT_DWORD* rxBytes) = nullptr;
  FT_STATUS (*FT_GetStatus)(FT_HANDLE, FT_DWORD* rxBytes, FT_DWORD* txBytes, FT_DWORD* events) = nullptr;
};

// A count the library writes. The storage is twice the size the library
// promises, zeroed, so a library built with wider counts writes into its own
// room rather than over our stack.
class FtCount {
public:
  FT_DWORD* get() { return reinterpret_cast<FT_DWORD*>(raw_); }
  uint32_t value() const;

private:
  alignas(8) unsigned char raw_[8] = {};
};

// The description that identifies the programmer, compared byte for byte.
inline constexpr const char* kProgrammerDescription = "USB driver for Brenlab";
// The room given to the library for a description, and then terminated.
inline constexpr std::size_t kDescriptionSize = 64;

class UsbLibrary {
public:
  // The library's file: FTD2XX_LIBRARY when set and not empty, else libftd2xx.so.
  static std::string Path();

  // LoadUsbLibrary: sets state.UsbUnavailable, with its message on failure.
  void LoadUsbLibrary(LinkState& state);
  // The bound entry points; null while USB is unavailable.
  const D2xxApi* Api() const { return bound_ ? &api_ : nullptr; }
  void Free();

private:
  platform::SharedLibrary library_;
  D2xxApi api_;
  bool bound_ = false;
};

// FindUsbProgrammer: UsbNotFound, UsbHandle/UsbOpen and, on a match,
// LinkKind := USB. A device left open by an earlier search is closed first.
void FindUsbProgrammer(LinkState& state, const D2xxApi* api);

}  // namespace zolvek
