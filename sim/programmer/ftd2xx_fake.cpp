// libftd2xx.so, the fake: see ftd2xx_fake.h. It links nothing of ours, so a
// program can load it as it would load the real library.
#include "sim/programmer/ftd2xx_fake.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kListNumberOnly = 0x80000000;
constexpr uint32_t kListByIndex = 0x40000000;
constexpr uint32_t kBySerial = 1;
constexpr uint32_t kByDescription = 2;
constexpr uint32_t kUnboundedWaitMs = 60000;

// A zolvek-sim pty as a peer, on the system clock.
struct PtyPeer {
  int fd = -1;
  std::vector<uint8_t> pending;

  void Fill() {
    uint8_t buf[4096];
    for (;;) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) break;
      pending.insert(pending.end(), buf, buf + n);
    }
  }
  static void Write(void* c, const uint8_t* data, uint32_t n) {
    auto* p = static_cast<PtyPeer*>(c);
    uint32_t done = 0;
    for (int tries = 0; done < n && tries < 1000; ++tries) {
      const ssize_t k = ::write(p->fd, data + done, n - done);
      if (k > 0) {
        done += static_cast<uint32_t>(k);
      } else {
        pollfd q{p->fd, POLLOUT, 0};
        ::poll(&q, 1, 5);
      }
    }
  }
  static uint32_t Available(void* c) {
    auto* p = static_cast<PtyPeer*>(c);
    p->Fill();
    return static_cast<uint32_t>(p->pending.size());
  }
  static uint32_t Read(void* c, uint8_t* out, uint32_t max) {
    auto* p = static_cast<PtyPeer*>(c);
    p->Fill();
    const uint32_t n = std::min<uint32_t>(max, static_cast<uint32_t>(p->pending.size()));
    if (n == 0) return 0;
    std::memcpy(out, p->pending.data(), n);
    p->pending.erase(p->pending.begin(), p->pending.begin() + n);
    return n;
  }
  static int CablePulled(void*) { return 0; }
  static uint32_t NowMs(void*) {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  static void SleepMs(void*, uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

struct Device {
  std::string description;
  std::string serial;
  ZsimUsbPeer peer{};
  bool hasPeer = false;
  bool openable = true;
  bool txStuck = false;
  bool open = false;
  uint32_t generation = 0;
  uint32_t readTimeoutMs = 0;
  uint32_t writeTimeoutMs = 0;
};

struct State {
  std::mutex mutex;
  bool configured = false;
  std::vector<Device> devices;
  std::map<std::string, uint32_t> calls;
  uint32_t badCloses = 0;
  uint32_t unboundedReads = 0;
  PtyPeer pty;
};

State& S() {
  static State state;
  return state;
}

bool Pulled(const Device& d) { return d.hasPeer && d.peer.cable_pulled && d.peer.cable_pulled(d.peer.context); }

// Called with the lock held.
void ConfigureFromEnvironment(State& s) {
  if (s.configured) return;
  s.configured = true;
  const char* path = std::getenv("ZOLVEK_SIM_USB");
  if (!path || !*path) return;
  const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return;
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  s.pty.fd = fd;
  Device d;
  d.description = "USB driver for Brenlab";
  d.serial = "ZSIM0001";
  d.peer = {&s.pty,         PtyPeer::Write,  PtyPeer::Available, PtyPeer::Read, PtyPeer::CablePulled,
            PtyPeer::NowMs, PtyPeer::SleepMs};
  d.hasPeer = true;
  s.devices.push_back(d);
}

// The device of an open handle, or null.
Device* Lookup(State& s, ZsimFtHandle h) {
  const auto v = reinterpret_cast<uintptr_t>(h);
  const size_t index = (v & 0xFF) - 1;
  const uint32_t generation = static_cast<uint32_t>(v >> 8);
  if ((v & 0xFF) == 0 || index >= s.devices.size()) return nullptr;
  Device& d = s.devices[index];
  return d.open && d.generation == generation ? &d : nullptr;
}

void Count(State& s, const char* name) { ++s.calls[name]; }

// The devices as listed now (a pulled cable hides its device).
std::vector<size_t> Listed(State& s) {
  std::vector<size_t> out;
  for (size_t i = 0; i < s.devices.size(); ++i) {
    if (!Pulled(s.devices[i])) out.push_back(i);
  }
  return out;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) ZsimFtStatus FT_ListDevices(void* arg1, void* arg2, uint32_t flags) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  ConfigureFromEnvironment(s);
  Count(s, "FT_ListDevices");
  const auto listed = Listed(s);
  if (flags == kListNumberOnly) {
    if (!arg1) return ZSIM_FT_INVALID_PARAMETER;
    *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(listed.size());
    return ZSIM_FT_OK;
  }
  if ((flags & kListByIndex) && ((flags & 3) == kByDescription || (flags & 3) == kBySerial)) {
    const auto index = static_cast<size_t>(reinterpret_cast<uintptr_t>(arg1));
    if (!arg2) return ZSIM_FT_INVALID_PARAMETER;
    if (index >= listed.size()) return ZSIM_FT_DEVICE_NOT_FOUND;
    const Device& d = s.devices[listed[index]];
    const std::string& text = (flags & 3) == kByDescription ? d.description : d.serial;
    std::memcpy(arg2, text.c_str(), std::min<size_t>(text.size() + 1, 64));
    static_cast<char*>(arg2)[63] = '\0';
    return ZSIM_FT_OK;
  }
  return ZSIM_FT_INVALID_PARAMETER;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_Open(int deviceNumber, ZsimFtHandle* handle) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  ConfigureFromEnvironment(s);
  Count(s, "FT_Open");
  if (!handle) return ZSIM_FT_INVALID_PARAMETER;
  const auto listed = Listed(s);
  if (deviceNumber < 0 || static_cast<size_t>(deviceNumber) >= listed.size()) return ZSIM_FT_DEVICE_NOT_FOUND;
  const size_t index = listed[static_cast<size_t>(deviceNumber)];
  Device& d = s.devices[index];
  if (d.open || !d.openable) return ZSIM_FT_DEVICE_NOT_OPENED;
  d.open = true;
  ++d.generation;
  d.readTimeoutMs = d.writeTimeoutMs = 0;
  *handle = reinterpret_cast<ZsimFtHandle>(static_cast<uintptr_t>(d.generation) << 8 | (index + 1));
  return ZSIM_FT_OK;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_Close(ZsimFtHandle h) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  Count(s, "FT_Close");
  Device* d = Lookup(s, h);
  if (!d) {
    ++s.badCloses;
    return ZSIM_FT_INVALID_HANDLE;
  }
  d->open = false;
  return ZSIM_FT_OK;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_ResetDevice(ZsimFtHandle h) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  Count(s, "FT_ResetDevice");
  Device* d = Lookup(s, h);
  if (!d) return ZSIM_FT_INVALID_HANDLE;
  return Pulled(*d) ? ZSIM_FT_IO_ERROR : ZSIM_FT_OK;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_Purge(ZsimFtHandle h, uint32_t mask) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  Count(s, "FT_Purge");
  Device* d = Lookup(s, h);
  if (!d) return ZSIM_FT_INVALID_HANDLE;
  if (Pulled(*d)) return ZSIM_FT_IO_ERROR;
  if ((mask & 1) && d->hasPeer) {
    uint8_t buf[4096];
    while (d->peer.read(d->peer.context, buf, sizeof buf) > 0) {}
  }
  return ZSIM_FT_OK;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_SetTimeouts(ZsimFtHandle h, uint32_t readMs, uint32_t writeMs) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  Count(s, "FT_SetTimeouts");
  Device* d = Lookup(s, h);
  if (!d) return ZSIM_FT_INVALID_HANDLE;
  d->readTimeoutMs = readMs;
  d->writeTimeoutMs = writeMs;
  return ZSIM_FT_OK;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_GetQueueStatus(ZsimFtHandle h, uint32_t* rx) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  Count(s, "FT_GetQueueStatus");
  Device* d = Lookup(s, h);
  if (!d) return ZSIM_FT_INVALID_HANDLE;
  if (!rx) return ZSIM_FT_INVALID_PARAMETER;
  if (Pulled(*d)) return ZSIM_FT_IO_ERROR;
  *rx = d->hasPeer ? d->peer.available(d->peer.context) : 0;
  return ZSIM_FT_OK;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_GetStatus(ZsimFtHandle h, uint32_t* rx, uint32_t* tx,
                                                                 uint32_t* event) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  Count(s, "FT_GetStatus");
  Device* d = Lookup(s, h);
  if (!d) return ZSIM_FT_INVALID_HANDLE;
  if (!rx || !tx || !event) return ZSIM_FT_INVALID_PARAMETER;
  if (Pulled(*d)) return ZSIM_FT_IO_ERROR;
  *rx = d->hasPeer ? d->peer.available(d->peer.context) : 0;
  *tx = d->txStuck ? 1 : 0;
  *event = 0;
  return ZSIM_FT_OK;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_Write(ZsimFtHandle h, void* buffer, uint32_t n,
                                                             uint32_t* written) {
  State& s = S();
  std::unique_lock lock(s.mutex);
  Count(s, "FT_Write");
  Device* d = Lookup(s, h);
  if (!d) return ZSIM_FT_INVALID_HANDLE;
  if (!written || (n && !buffer)) return ZSIM_FT_INVALID_PARAMETER;
  *written = 0;
  if (Pulled(*d)) return ZSIM_FT_IO_ERROR;
  if (d->txStuck) {
    if (d->hasPeer) {
      const ZsimUsbPeer peer = d->peer;
      const uint32_t wait = d->writeTimeoutMs ? d->writeTimeoutMs : kUnboundedWaitMs;
      lock.unlock();
      peer.sleep_ms(peer.context, wait);
    }
    return ZSIM_FT_OK;
  }
  if (d->hasPeer) d->peer.write(d->peer.context, static_cast<const uint8_t*>(buffer), n);
  *written = n;
  return ZSIM_FT_OK;
}

__attribute__((visibility("default"))) ZsimFtStatus FT_Read(ZsimFtHandle h, void* buffer, uint32_t n, uint32_t* got) {
  State& s = S();
  std::unique_lock lock(s.mutex);
  Count(s, "FT_Read");
  Device* d = Lookup(s, h);
  if (!d) return ZSIM_FT_INVALID_HANDLE;
  if (!got || (n && !buffer)) return ZSIM_FT_INVALID_PARAMETER;
  *got = 0;
  if (Pulled(*d)) return ZSIM_FT_IO_ERROR;
  if (!d->hasPeer) return ZSIM_FT_OK;
  const ZsimUsbPeer peer = d->peer;
  uint32_t wait = d->readTimeoutMs;
  if (wait == 0) {
    wait = kUnboundedWaitMs;
    ++s.unboundedReads;
  }
  lock.unlock();
  // The peer runs on its own clock (a test's virtual one): wait on it.
  const uint32_t start = peer.now_ms(peer.context);
  auto* out = static_cast<uint8_t*>(buffer);
  while (*got < n) {
    *got += peer.read(peer.context, out + *got, n - *got);
    if (*got >= n || peer.now_ms(peer.context) - start >= wait) break;
    if (peer.cable_pulled(peer.context)) return ZSIM_FT_IO_ERROR;
    peer.sleep_ms(peer.context, 1);
  }
  return ZSIM_FT_OK;
}

// --- control ---

__attribute__((visibility("default"))) void zsim_ftd2xx_reset(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.configured = true;  // tests say what is attached
  s.devices.clear();
  s.calls.clear();
  s.badCloses = 0;
  s.unboundedReads = 0;
}

__attribute__((visibility("default"))) void zsim_ftd2xx_from_environment(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.devices.clear();
  if (s.pty.fd >= 0) ::close(s.pty.fd);
  s.pty = PtyPeer{};
  s.configured = false;
  ConfigureFromEnvironment(s);
}

__attribute__((visibility("default"))) int zsim_ftd2xx_add_device(const char* description, const char* serial,
                                                                  const ZsimUsbPeer* peer) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.configured = true;
  Device d;
  d.description = description ? description : "";
  d.serial = serial ? serial : "";
  if (peer) {
    d.peer = *peer;
    d.hasPeer = true;
  }
  s.devices.push_back(d);
  return static_cast<int>(s.devices.size() - 1);
}

__attribute__((visibility("default"))) void zsim_ftd2xx_set_openable(int index, int openable) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  if (index >= 0 && static_cast<size_t>(index) < s.devices.size()) s.devices[index].openable = openable != 0;
}

__attribute__((visibility("default"))) void zsim_ftd2xx_set_tx_stuck(int index, int stuck) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  if (index >= 0 && static_cast<size_t>(index) < s.devices.size()) s.devices[index].txStuck = stuck != 0;
}

__attribute__((visibility("default"))) int zsim_ftd2xx_is_open(int index) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return index >= 0 && static_cast<size_t>(index) < s.devices.size() && s.devices[index].open ? 1 : 0;
}

__attribute__((visibility("default"))) uint32_t zsim_ftd2xx_bad_closes(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.badCloses;
}

__attribute__((visibility("default"))) uint32_t zsim_ftd2xx_unbounded_reads(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.unboundedReads;
}

__attribute__((visibility("default"))) uint32_t zsim_ftd2xx_calls(const char* name) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  const auto it = s.calls.find(name ? name : "");
  return it == s.calls.end() ? 0 : it->second;
}

}  // extern "C"
