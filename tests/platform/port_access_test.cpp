// The parallel-port layer: where each connector pin lives and its
// inversion, the ppdev implementation without ports, and the in-process fake.
#include <gtest/gtest.h>

#include "platform/fake_port_access.h"
#include "platform/ppdev_port_access.h"
#include "platform/shared_library.h"

namespace platform {
namespace {

TEST(ParallelPins, RegistersBitsAndInversions) {
  struct Case {
    int pin;
    PinPlace::Register reg;
    uint8_t mask;
    bool inverted;
  };
  const Case cases[] = {
      {1, PinPlace::Control, 0x01, true},  {14, PinPlace::Control, 0x02, true}, {16, PinPlace::Control, 0x04, false},
      {17, PinPlace::Control, 0x08, true}, {2, PinPlace::Data, 0x01, false},    {9, PinPlace::Data, 0x80, false},
      {10, PinPlace::Status, 0x40, false}, {11, PinPlace::Status, 0x80, true},  {12, PinPlace::Status, 0x20, false},
      {13, PinPlace::Status, 0x10, false}, {15, PinPlace::Status, 0x08, false}, {18, PinPlace::None, 0, false},
      {0, PinPlace::None, 0, false}};
  for (const Case& c : cases) {
    const PinPlace p = ParallelPin(c.pin);
    EXPECT_EQ(p.reg, c.reg) << c.pin;
    EXPECT_EQ(p.mask, c.mask) << c.pin;
    EXPECT_EQ(p.inverted, c.inverted) << c.pin;
  }
  const PinPlace strobe = ParallelPin(1);
  EXPECT_FALSE(PinLevel(strobe, 0x01));
  EXPECT_EQ(WithPinLevel(strobe, 0xC4, false), 0xC5);
  EXPECT_EQ(WithPinLevel(strobe, 0xC5, true), 0xC4);
}

TEST(PpdevPortAccess, WithoutPortsNothingOpensAndEveryAccessIsHarmless) {
  PpdevPortAccess ports("/nonexistent/parport", "/nonexistent/proc");
  EXPECT_FALSE(ports.Open());
  EXPECT_FALSE(ports.IsOpen());
  EXPECT_EQ(ports.LptCount(), 0);
  ports.SelectLpt(1);
  EXPECT_EQ(ports.LptBaseAddress(), 0);
  EXPECT_EQ(ports.ReadPort(0x378), 0xFF);
  ports.WritePort(0x378, 0);
  EXPECT_FALSE(ports.GetPin(13));
  ports.SetPin(1, false);
  ports.Close();
}

struct Echo final : FakePortAccess::Device {
  std::vector<std::string> events;
  bool InputPin(int pin) override { return pin == 15; }
  uint8_t DataLines() override { return 0x5A; }
  void PinChanged(int pin, bool high) override { events.push_back(std::to_string(pin) + (high ? "H" : "L")); }
  void DataWritten(uint8_t v) override { events.push_back("D" + std::to_string(v)); }
};

TEST(FakePortAccess, RegistersPinsAndTheDeviceAtTheFarEnd) {
  FakePortAccess port({0x378, 0x278});
  Echo dev;
  port.Attach(&dev);
  EXPECT_TRUE(port.Open());
  port.SelectLpt(2);
  EXPECT_EQ(port.LptBaseAddress(), 0x278);
  port.SelectLpt(3);  // no such port: the selection stays
  EXPECT_EQ(port.CurrentLpt(), 2);
  port.WritePort(0x278, 0x33);
  port.SetPin(1, false);
  port.SetPin(1, true);
  EXPECT_TRUE(port.GetPin(15));
  EXPECT_FALSE(port.GetPin(13));
  EXPECT_EQ(port.ReadPort(0x279) & 0x08, 0x08);  // pin 15 in the status register
  EXPECT_EQ(port.ReadPort(0x278), 0x33);
  port.WritePort(0x27A, 0xE4);  // data lines in
  EXPECT_EQ(port.ReadPort(0x278), 0x5A);
  port.WritePort(0x27A, 0xC6);  // auto-feed low
  EXPECT_FALSE(port.GetPin(14));
  EXPECT_EQ(dev.events, (std::vector<std::string>{"D51", "1L", "1H", "14L"}));
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}

TEST(SharedLibrary, LoadsLooksUpAndReportsFailure) {
  SharedLibrary lib;
  EXPECT_FALSE(lib.Open("/nonexistent/libnothing.so"));
  EXPECT_FALSE(lib.Error().empty());
  EXPECT_EQ(lib.Symbol("strlen"), nullptr);
  ASSERT_TRUE(lib.Open("libc.so.6")) << lib.Error();
  EXPECT_NE(lib.Symbol("strlen"), nullptr);
  EXPECT_EQ(lib.Symbol("no_such_entry_point_here"), nullptr);
  lib.Close();
  EXPECT_FALSE(lib.IsOpen());
}

}  // namespace
}  // namespace platform
