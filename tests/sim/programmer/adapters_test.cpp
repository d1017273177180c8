// The USB (fake D2XX library) and LPT (port-access pin handshake) adapters,
// driven the way the program's transports drive them.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "sim/programmer/lpt_port.h"
#include "sim/programmer/usb_adapter.h"
#include "tests/sim/programmer/sim_test_util.h"

namespace sim::programmer {
namespace {

using test::Bytes;
using test::Cat;
using test::Count2;

// ---------------------------------------------------------------------------
// LPT: the program's pin handshake, with waits bounded on the virtual clock.

class LptHost {
public:
  LptHost(LptPort& port, platform::VirtualClock& clock) : port_(port), clock_(clock) {}

  void Init() {
    base_ = port_.LptBaseAddress();
    port_.WritePort(base_ + 0x402, static_cast<uint8_t>((port_.ReadPort(base_ + 0x402) & 0x1F) | 0x20));
    port_.WritePort(base_, 0xFF);
    port_.SetPin(1, true);
    port_.SetPin(14, false);
    port_.SetPin(14, true);
  }
  bool Send(uint8_t b, uint32_t ms = 1000) {
    if (!WaitPin(15, ms)) return false;
    port_.WritePort(base_, b);
    port_.SetPin(1, false);
    port_.SetPin(1, true);
    return true;
  }
  bool SendAll(const Bytes& bytes) {
    for (uint8_t b : bytes) {
      if (!Send(b)) return false;
    }
    return true;
  }
  std::optional<uint8_t> Receive(uint32_t ms = 1000) {
    port_.WritePort(base_ + 2, 0xE4);
    std::optional<uint8_t> got;
    if (WaitPin(13, ms)) {
      port_.SetPin(14, false);
      got = port_.ReadPort(base_);
      port_.SetPin(14, true);
    }
    port_.WritePort(base_ + 2, 0xC4);
    return got;
  }
  Bytes Command(uint8_t letter, const Bytes& params, size_t n) {
    EXPECT_TRUE(SendAll({'A', 'T'}));
    EXPECT_EQ(Receive(), std::optional<uint8_t>('O'));
    EXPECT_TRUE(SendAll(Cat({{letter}, params})));
    Bytes out;
    for (size_t i = 0; i < n; ++i) {
      auto b = Receive();
      if (!b) break;
      out.push_back(*b);
    }
    return out;
  }
  bool WaitPin(int pin, uint32_t ms) {
    for (uint32_t t = 0;; ++t) {
      if (port_.GetPin(pin)) return true;
      if (t >= ms) return false;
      clock_.Sleep(1);
    }
  }

private:
  LptPort& port_;
  platform::VirtualClock& clock_;
  uint16_t base_ = 0;
};

TEST(LptAdapter, PinHandshakeCarriesPromptCommandsAndADownload) {
  test::SimHost h;
  LptPort port(h.Prog(), 2, 1);
  ASSERT_TRUE(port.Open());
  port.SetUp(0);
  port.SelectLpt(1);
  EXPECT_EQ(port.LptCount(), 2);
  EXPECT_EQ(port.LptBaseAddress(), 0x378);
  LptHost lpt(port, h.Clock());
  lpt.Init();
  EXPECT_EQ(port.Ecr() & 0xE0, 0x20);
  EXPECT_EQ(port.SetUpCalls(), std::vector<int>{0});

  EXPECT_EQ(lpt.Command('B', {}, 1), Bytes{0x01});
  Bytes monitor(300);
  for (size_t i = 0; i < monitor.size(); ++i) monitor[i] = static_cast<uint8_t>(i * 3);
  ASSERT_TRUE(lpt.SendAll({'A', 'T'}));
  ASSERT_EQ(lpt.Receive(), std::optional<uint8_t>('O'));
  ASSERT_TRUE(lpt.SendAll(Cat({{'l', 0x00, 0xF0}, Count2(300)})));
  for (uint8_t b : monitor) {
    ASSERT_TRUE(lpt.Send(b));
    ASSERT_EQ(lpt.Receive(), std::optional<uint8_t>(b));
  }
  EXPECT_EQ(h.Letters(), "Bl");
  // With the data lines as outputs the data register reads the latch back.
  port.WritePort(0x378, 0x5A);
  EXPECT_EQ(port.ReadPort(0x378), 0x5A);
}

TEST(LptAdapter, ReadyLineFollowsTheDeviceAndTheCable) {
  test::SimHost h;
  h.LoadDriver();
  h.SetZone(0, 0x1FF);
  LptPort port(h.Prog(), 2, 1);
  port.Open();
  LptHost lpt(port, h.Clock());
  lpt.Init();
  ASSERT_TRUE(lpt.SendAll({'A', 'T'}));
  ASSERT_EQ(lpt.Receive(), std::optional<uint8_t>('O'));
  ASSERT_TRUE(lpt.SendAll({'P', 'P' + 0x80, 0}));
  // The first page takes 256 x 100 us: not ready for the next byte meanwhile.
  EXPECT_FALSE(port.GetPin(15));
  EXPECT_FALSE(port.GetPin(13));
  EXPECT_EQ(lpt.Receive(100), std::optional<uint8_t>(0));
  EXPECT_TRUE(port.GetPin(15));
  EXPECT_EQ(port.ReadPort(0x379) & 0x18, 0x08);
  h.Prog().PullCable();
  EXPECT_FALSE(port.GetPin(15));
  EXPECT_FALSE(lpt.Send('A', 10));
  h.Prog().PlugCable();
  EXPECT_TRUE(port.GetPin(15));
  // Another port than the cable's sees nothing.
  port.SelectLpt(2);
  EXPECT_FALSE(port.GetPin(15));
}

// ---------------------------------------------------------------------------
// USB: the fake D2XX library.

class Usb : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(ft_.Loaded()) << ft_.Error(); }

  // The program's transport: write when the transmit queue is empty, read a
  // block when enough bytes are queued; bounded on the virtual clock.
  bool WriteBlock(ZsimFtHandle h, Bytes bytes) {
    uint32_t rx = 0, tx = 0, ev = 0, written = 0;
    if (ft_.GetStatus(h, &rx, &tx, &ev) != ZSIM_FT_OK || tx != 0) return false;
    return ft_.Write(h, bytes.data(), static_cast<uint32_t>(bytes.size()), &written) == ZSIM_FT_OK &&
           written == bytes.size();
  }
  std::optional<Bytes> ReadBlock(ZsimFtHandle h, size_t n, uint32_t ms = 2000) {
    for (uint32_t t = 0;; ++t) {
      uint32_t rx = 0, tx = 0, ev = 0;
      if (ft_.GetStatus(h, &rx, &tx, &ev) != ZSIM_FT_OK) return std::nullopt;
      if (rx >= n) break;
      if (t >= ms) return std::nullopt;
      host_.Clock().Sleep(1);
    }
    Bytes out(n);
    uint32_t got = 0;
    ft_.Read(h, out.data(), static_cast<uint32_t>(n), &got);
    out.resize(got);
    return out;
  }
  ZsimFtHandle OpenProgrammer() {
    ft_.AddSilentDevice("Another device");
    index_ = ft_.AddProgrammer(host_.Prog());
    ZsimFtHandle h = nullptr;
    EXPECT_EQ(ft_.Open(1, &h), ZSIM_FT_OK);
    EXPECT_EQ(ft_.ResetDevice(h), ZSIM_FT_OK);
    EXPECT_EQ(ft_.Purge(h, 3), ZSIM_FT_OK);
    EXPECT_EQ(ft_.SetTimeouts(h, 5000, 5000), ZSIM_FT_OK);
    return h;
  }

  test::SimHost host_;
  FakeFtd2xx ft_;
  int index_ = -1;
};

TEST_F(Usb, DeviceSearchFindsTheProgrammerByDescription) {
  ft_.AddSilentDevice("Another device");
  const int busy = ft_.AddSilentDevice("USB driver for Brenlab", "LOCKED");
  ft_.SetOpenable(busy, false);
  const int prog = ft_.AddProgrammer(host_.Prog());
  uint32_t count = 0;
  ASSERT_EQ(ft_.ListDevices(&count, nullptr, 0x80000000), ZSIM_FT_OK);
  EXPECT_EQ(count, 3u);
  std::vector<std::string> found;
  ZsimFtHandle opened = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    char description[64] = {};
    ASSERT_EQ(ft_.ListDevices(reinterpret_cast<void*>(static_cast<uintptr_t>(i)), description, 0x40000002), ZSIM_FT_OK);
    ZsimFtHandle h = nullptr;
    const auto status = ft_.Open(static_cast<int>(i), &h);
    found.push_back(std::string(description) + (status == ZSIM_FT_OK ? "" : " (not opened)"));
    if (status != ZSIM_FT_OK) continue;
    if (std::string(description) == "USB driver for Brenlab") {
      opened = h;
      break;
    }
    EXPECT_EQ(ft_.Close(h), ZSIM_FT_OK);
  }
  EXPECT_EQ(found, (std::vector<std::string>{"Another device", "USB driver for Brenlab (not opened)",
                                             "USB driver for Brenlab"}));
  EXPECT_TRUE(ft_.IsOpen(prog));
  EXPECT_FALSE(ft_.IsOpen(0));
  EXPECT_EQ(ft_.Calls("FT_Open"), 3u);
  // Opening it twice is refused; closing it twice is an error and counted.
  ZsimFtHandle again = nullptr;
  EXPECT_EQ(ft_.Open(2, &again), ZSIM_FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(ft_.Close(opened), ZSIM_FT_OK);
  EXPECT_EQ(ft_.Close(opened), ZSIM_FT_INVALID_HANDLE);
  EXPECT_EQ(ft_.BadCloses(), 1u);
  uint32_t rx = 0;
  EXPECT_EQ(ft_.GetQueueStatus(opened, &rx), ZSIM_FT_INVALID_HANDLE);
  EXPECT_EQ(ft_.Open(7, &again), ZSIM_FT_DEVICE_NOT_FOUND);
}

TEST_F(Usb, TheProgramLoadsTheSameLibraryThroughTheEnvironment) {
  ::setenv("FTD2XX_LIBRARY", FakeFtd2xxPath().c_str(), 1);
  void* lib = ::dlopen(std::getenv("FTD2XX_LIBRARY"), RTLD_NOW);
  ASSERT_NE(lib, nullptr);
  const int prog = ft_.AddProgrammer(host_.Prog());
  auto open = reinterpret_cast<ZsimFtStatus (*)(int, ZsimFtHandle*)>(::dlsym(lib, "FT_Open"));
  ASSERT_NE(open, nullptr);
  ZsimFtHandle h = nullptr;
  EXPECT_EQ(open(0, &h), ZSIM_FT_OK);
  EXPECT_TRUE(ft_.IsOpen(prog));
  EXPECT_EQ(ft_.Close(h), ZSIM_FT_OK);
  ::dlclose(lib);
  ::unsetenv("FTD2XX_LIBRARY");
}

TEST_F(Usb, PromptCommandsAndADriverDownloadInBlocks) {
  ZsimFtHandle h = OpenProgrammer();
  ASSERT_TRUE(WriteBlock(h, {'A', 'T'}));
  EXPECT_EQ(ReadBlock(h, 1), Bytes{'O'});
  ASSERT_TRUE(WriteBlock(h, {'B'}));
  EXPECT_EQ(ReadBlock(h, 1), Bytes{0x01});
  // A driver of 600 bytes goes as blocks of 256, 256 and 88, each read back.
  Bytes image(600);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 11);
  ASSERT_TRUE(WriteBlock(h, {'A', 'T'}));
  ASSERT_EQ(ReadBlock(h, 1), Bytes{'O'});
  ASSERT_TRUE(WriteBlock(h, Cat({{'L'}, Count2(600)})));
  for (size_t at = 0; at < image.size(); at += 256) {
    const Bytes block(image.begin() + at, image.begin() + std::min<size_t>(at + 256, image.size()));
    ASSERT_TRUE(WriteBlock(h, block));
    EXPECT_EQ(ReadBlock(h, block.size()), block);
  }
  bool has = false;
  host_.Prog().Access([&](Engine& e) { has = e.HasDriver(); });
  EXPECT_TRUE(has);
  EXPECT_EQ(ft_.Close(h), ZSIM_FT_OK);
}

TEST_F(Usb, ReadWaitsOnThePeersClockAndAPulledCableIsAnIoError) {
  ZsimFtHandle h = OpenProgrammer();
  std::string error;
  host_.Prog().AddFault(*ParseFaultSpec("B#1:late:300", &error));
  uint32_t written = 0;
  uint8_t atb[] = {'A', 'T', 'B'};
  ASSERT_EQ(ft_.Write(h, atb, 3, &written), ZSIM_FT_OK);
  uint8_t got[2] = {};
  uint32_t n = 0;
  const uint32_t start = host_.Clock().Tick();
  ASSERT_EQ(ft_.Read(h, got, 2, &n), ZSIM_FT_OK);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(got[1], 0x01);
  EXPECT_GE(host_.Clock().Tick() - start, 300u);
  EXPECT_EQ(ft_.UnboundedReads(), 0u);

  host_.Prog().PullCable();
  uint32_t rx = 0, count = 0;
  EXPECT_EQ(ft_.GetQueueStatus(h, &rx), ZSIM_FT_IO_ERROR);
  EXPECT_EQ(ft_.Write(h, atb, 3, &written), ZSIM_FT_IO_ERROR);
  ASSERT_EQ(ft_.ListDevices(&count, nullptr, 0x80000000), ZSIM_FT_OK);
  EXPECT_EQ(count, 1u);  // only the other device is left
  EXPECT_EQ(ft_.Close(h), ZSIM_FT_OK);
}

TEST_F(Usb, ReadStreamBytesComeUnaskedAndAreReadInBlocks) {
  test::SimHost& h = host_;
  h.LoadDriver();
  h.Prog().Access([](Engine& e) {
    for (size_t i = 0; i < e.GetChip().Size(); ++i) e.GetChip().Memory()[i] = static_cast<uint8_t>(i);
  });
  h.SetZone(0, 0x2FF);
  ZsimFtHandle d = OpenProgrammer();
  ASSERT_TRUE(WriteBlock(d, {'A', 'T'}));
  ASSERT_EQ(ReadBlock(d, 1), Bytes{'O'});
  ASSERT_TRUE(WriteBlock(d, {'P', 'r' + 0x40}));
  for (int block = 0; block < 3; ++block) {
    const auto b = ReadBlock(d, 256);
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ((*b)[5], 5);
  }
  EXPECT_EQ(ReadBlock(d, 1), Bytes{0});  // final status
  EXPECT_EQ(ft_.Close(d), ZSIM_FT_OK);
}

TEST_F(Usb, AStuckTransmitQueueNeverEmpties) {
  ZsimFtHandle h = OpenProgrammer();
  ft_.SetTxStuck(index_, true);
  uint32_t rx = 0, tx = 0, ev = 0, written = 0;
  ASSERT_EQ(ft_.GetStatus(h, &rx, &tx, &ev), ZSIM_FT_OK);
  EXPECT_EQ(tx, 1u);
  uint8_t a = 'A';
  EXPECT_EQ(ft_.Write(h, &a, 1, &written), ZSIM_FT_OK);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(ft_.Close(h), ZSIM_FT_OK);
}

}  // namespace
}  // namespace sim::programmer
