#include "sim/programmer/usb_adapter.h"

#include <dlfcn.h>

#include "platform/clock.h"

namespace sim::programmer {

namespace {

Programmer& P(void* c) { return *static_cast<Programmer*>(c); }

template <class F>
void Bind(void* handle, const char* name, F*& out) {
  out = reinterpret_cast<F*>(::dlsym(handle, name));
}

}  // namespace

std::string FakeFtd2xxPath() { return ZSIM_FTD2XX_PATH; }

ZsimUsbPeer UsbPeerFor(Programmer& programmer) {
  ZsimUsbPeer peer{};
  peer.context = &programmer;
  peer.write = [](void* c, const uint8_t* data, uint32_t n) { P(c).HostWrite(data, n); };
  peer.available = [](void* c) { return static_cast<uint32_t>(P(c).Available()); };
  peer.read = [](void* c, uint8_t* out, uint32_t max) { return static_cast<uint32_t>(P(c).HostRead(out, max)); };
  peer.cable_pulled = [](void* c) { return P(c).CablePulled() ? 1 : 0; };
  peer.now_ms = [](void*) { return platform::CurrentClock().Tick(); };
  peer.sleep_ms = [](void*, uint32_t ms) { platform::CurrentClock().Sleep(ms); };
  return peer;
}

FakeFtd2xx::FakeFtd2xx() {
  handle_ = ::dlopen(FakeFtd2xxPath().c_str(), RTLD_NOW);
  if (!handle_) {
    const char* e = ::dlerror();
    error_ = e ? e : "dlopen failed";
    return;
  }
  Bind(handle_, "FT_ListDevices", ListDevices);
  Bind(handle_, "FT_Open", Open);
  Bind(handle_, "FT_Close", Close);
  Bind(handle_, "FT_Read", Read);
  Bind(handle_, "FT_Write", Write);
  Bind(handle_, "FT_ResetDevice", ResetDevice);
  Bind(handle_, "FT_Purge", Purge);
  Bind(handle_, "FT_SetTimeouts", SetTimeouts);
  Bind(handle_, "FT_GetQueueStatus", GetQueueStatus);
  Bind(handle_, "FT_GetStatus", GetStatus);
  Reset();
}

FakeFtd2xx::~FakeFtd2xx() {
  if (handle_) {
    Reset();
    ::dlclose(handle_);
  }
}

// The fake library's control entry `name`, typed as declared (null when missing).
#define ZSIM_FN(name) reinterpret_cast<decltype(&::name)>(::dlsym(handle_, #name))

#define ZSIM_CALL(name, ...)                     \
  do {                                           \
    if (!handle_) break;                         \
    if (auto* f = ZSIM_FN(name)) f(__VA_ARGS__); \
  } while (0)

void FakeFtd2xx::Reset() {
  if (!handle_) return;
  peerCount_ = 0;
  ZSIM_FN(zsim_ftd2xx_reset)();
}

void FakeFtd2xx::FromEnvironment() { ZSIM_CALL(zsim_ftd2xx_from_environment); }

int FakeFtd2xx::AddProgrammer(Programmer& programmer, const char* description, const char* serial) {
  if (!handle_ || peerCount_ >= 8) return -1;
  peers_[peerCount_] = UsbPeerFor(programmer);
  return ZSIM_FN(zsim_ftd2xx_add_device)(description, serial, &peers_[peerCount_++]);
}

int FakeFtd2xx::AddSilentDevice(const char* description, const char* serial) {
  if (!handle_) return -1;
  return ZSIM_FN(zsim_ftd2xx_add_device)(description, serial, nullptr);
}

void FakeFtd2xx::SetOpenable(int index, bool openable) { ZSIM_CALL(zsim_ftd2xx_set_openable, index, openable); }
void FakeFtd2xx::SetTxStuck(int index, bool stuck) { ZSIM_CALL(zsim_ftd2xx_set_tx_stuck, index, stuck); }

bool FakeFtd2xx::IsOpen(int index) {
  if (!handle_) return false;
  return ZSIM_FN(zsim_ftd2xx_is_open)(index) != 0;
}

uint32_t FakeFtd2xx::BadCloses() {
  if (!handle_) return 0;
  return ZSIM_FN(zsim_ftd2xx_bad_closes)();
}

uint32_t FakeFtd2xx::UnboundedReads() {
  if (!handle_) return 0;
  return ZSIM_FN(zsim_ftd2xx_unbounded_reads)();
}

uint32_t FakeFtd2xx::Calls(const char* name) {
  if (!handle_) return 0;
  return ZSIM_FN(zsim_ftd2xx_calls)(name);
}

}  // namespace sim::programmer
