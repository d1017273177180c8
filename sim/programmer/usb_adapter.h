// The USB link to the simulated programmer, through the fake D2XX library.
//
// FakeFtd2xx loads the fake libftd2xx.so built in the tree (the same file a
// program under test loads through FTD2XX_LIBRARY, so both see one library)
// and attaches simulated programmers to it as devices. The peer moves bytes
// straight to and from the Programmer and runs on platform::CurrentClock(),
// so a test's virtual clock paces FT_Read's waits.
#pragma once

#include <cstdint>
#include <string>

#include "sim/programmer/ftd2xx_fake.h"
#include "sim/programmer/programmer.h"

namespace sim::programmer {

// The fake library's path in the build tree.
std::string FakeFtd2xxPath();

// A peer carrying a fake device's bytes to `programmer`, which must outlive its use.
ZsimUsbPeer UsbPeerFor(Programmer& programmer);

class FakeFtd2xx {
public:
  FakeFtd2xx();
  ~FakeFtd2xx();
  FakeFtd2xx(const FakeFtd2xx&) = delete;
  FakeFtd2xx& operator=(const FakeFtd2xx&) = delete;

  bool Loaded() const { return handle_ != nullptr; }
  const std::string& Error() const { return error_; }

  // Forgets every device and count.
  void Reset();
  // Forgets every device and takes the one ZOLVEK_SIM_USB names, if any.
  void FromEnvironment();
  int AddProgrammer(Programmer& programmer, const char* description = "USB driver for Brenlab",
                    const char* serial = "ZSIM0001");
  int AddSilentDevice(const char* description, const char* serial = "OTHER001");
  void SetOpenable(int index, bool openable);
  void SetTxStuck(int index, bool stuck);
  bool IsOpen(int index);
  uint32_t BadCloses();
  uint32_t UnboundedReads();
  uint32_t Calls(const char* name);

  // The library's entry points, resolved by name as a program resolves them.
  ZsimFtStatus (*ListDevices)(void*, void*, uint32_t) = nullptr;
  ZsimFtStatus (*Open)(int, ZsimFtHandle*) = nullptr;
  ZsimFtStatus (*Close)(ZsimFtHandle) = nullptr;
  ZsimFtStatus (*Read)(ZsimFtHandle, void*, uint32_t, uint32_t*) = nullptr;
  ZsimFtStatus (*Write)(ZsimFtHandle, void*, uint32_t, uint32_t*) = nullptr;
  ZsimFtStatus (*ResetDevice)(ZsimFtHandle) = nullptr;
  ZsimFtStatus (*Purge)(ZsimFtHandle, uint32_t) = nullptr;
  ZsimFtStatus (*SetTimeouts)(ZsimFtHandle, uint32_t, uint32_t) = nullptr;
  ZsimFtStatus (*GetQueueStatus)(ZsimFtHandle, uint32_t*) = nullptr;
  ZsimFtStatus (*GetStatus)(ZsimFtHandle, uint32_t*, uint32_t*, uint32_t*) = nullptr;

private:
  void* handle_ = nullptr;
  std::string error_;
  ZsimUsbPeer peers_[8]{};
  int peerCount_ = 0;
};

}  // namespace sim::programmer
