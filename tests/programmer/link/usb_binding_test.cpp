// Loading the USB library and looking for the programmer among the devices.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/messages.h"
#include "programmer/link/d2xx.h"
#include "tests/programmer/link/scripted_programmer.h"
#include "tests/support/scoped_env.h"

namespace zolvek::testing {
namespace {

class UsbBinding : public ::testing::Test {
protected:
  UsbBinding() : messages_(shown_) {}
  platform::RecordingMessages shown_;
  platform::ScopedMessages messages_;
  LinkState state_;
};

TEST_F(UsbBinding, ALibraryWithEveryEntryPointBinds) {
  vx930::testing::ScopedEnv env("FTD2XX_LIBRARY", FAKE_FTD2XX_FULL);
  UsbLibrary lib;
  lib.LoadUsbLibrary(state_);
  EXPECT_EQ(state_.UsbUnavailable, 0);
  ASSERT_NE(lib.Api(), nullptr);
  EXPECT_TRUE(shown_.Shown().empty());
  FindUsbProgrammer(state_, lib.Api());
  EXPECT_EQ(state_.UsbNotFound, 1);
  EXPECT_FALSE(state_.UsbOpen);
}

TEST_F(UsbBinding, AMissingLibraryOrEntryPointSaysSoOnce) {
  struct Case {
    const char* path;
    const char* message;
  };
  const Case cases[] = {
      {"/nonexistent/libftd2xx.so", "Error : Can't open FTD2XX.DLL ! "},
      // The last entry point missing is named as the one before it.
      {FAKE_FTD2XX_PARTIAL, "Error : Can't Find FT_GetQueueStatus ! "},
  };
  for (const Case& c : cases) {
    vx930::testing::ScopedEnv env("FTD2XX_LIBRARY", c.path);
    LinkState state;
    shown_.Clear();
    UsbLibrary lib;
    lib.LoadUsbLibrary(state);
    EXPECT_EQ(state.UsbUnavailable, 1);
    EXPECT_EQ(lib.Api(), nullptr);
    ASSERT_EQ(shown_.Shown().size(), 1u);
    EXPECT_EQ(shown_.Shown()[0].text, c.message);
    EXPECT_EQ(shown_.Shown()[0].caption, "Programmer Status");
    EXPECT_EQ(shown_.Shown()[0].icon, platform::Icon::Question);
    FindUsbProgrammer(state, lib.Api());
    EXPECT_EQ(state.UsbNotFound, 1);
  }
}

TEST_F(UsbBinding, TheFirstMatchingDeviceStaysOpen) {
  platform::VirtualClock clock;
  ScriptedProgrammer dev(clock);
  FakeD2xx d2xx(&dev, {"Some other device", kProgrammerDescription, kProgrammerDescription});
  state_.LinkKind = kLinkLpt;
  FindUsbProgrammer(state_, &d2xx.Api());
  EXPECT_EQ(state_.UsbNotFound, 0);
  EXPECT_TRUE(state_.UsbOpen);
  EXPECT_EQ(state_.LinkKind, kLinkUsb);
  EXPECT_EQ(d2xx.Opens(), 2);
  EXPECT_EQ(d2xx.Closed(), std::vector<int>{0});
}

TEST_F(UsbBinding, DevicesThatCannotBeListedOrOpenedAreSkipped) {
  platform::VirtualClock clock;
  ScriptedProgrammer dev(clock);
  FakeD2xx d2xx(&dev, {kProgrammerDescription, kProgrammerDescription, kProgrammerDescription});
  d2xx.FailList(0);  // its buffer holds the right name all the same
  d2xx.FailOpen(1);
  FindUsbProgrammer(state_, &d2xx.Api());
  EXPECT_EQ(state_.UsbNotFound, 0);
  EXPECT_EQ(d2xx.Opens(), 1);
  EXPECT_TRUE(d2xx.Closed().empty());
  EXPECT_EQ(state_.UsbHandle, reinterpret_cast<FT_HANDLE>(3));
}

TEST_F(UsbBinding, NothingIsOpenedWhenTheCountFailsOrUsbIsOff) {
  platform::VirtualClock clock;
  ScriptedProgrammer dev(clock);
  FakeD2xx d2xx(&dev);
  d2xx.FailCount(true);
  FindUsbProgrammer(state_, &d2xx.Api());
  EXPECT_EQ(state_.UsbNotFound, 1);
  EXPECT_EQ(d2xx.Opens(), 0);
  d2xx.FailCount(false);
  state_.UsbUnavailable = 1;
  const int calls = d2xx.Calls();
  FindUsbProgrammer(state_, &d2xx.Api());
  EXPECT_EQ(state_.UsbNotFound, 1);
  EXPECT_EQ(d2xx.Calls(), calls);
}

TEST_F(UsbBinding, ADescriptionFillingTheWholeBufferIsStillTerminated) {
  platform::VirtualClock clock;
  ScriptedProgrammer dev(clock);
  FakeD2xx d2xx(&dev, {std::string(100, 'x')});
  FindUsbProgrammer(state_, &d2xx.Api());
  EXPECT_EQ(state_.UsbNotFound, 1);
  EXPECT_EQ(d2xx.Closed(), std::vector<int>{0});
}

// A library built with 64-bit counts writes eight bytes where four were
// promised; the count's storage takes them.
TEST(FtCountTest, WideWritesStayInsideTheCount) {
  struct Guarded {
    FtCount count;
    uint32_t after = 0xA5A5A5A5;
  } g;
  const uint64_t wide = 0x0000000700000005ull;
  std::memcpy(g.count.get(), &wide, sizeof wide);
  EXPECT_EQ(g.count.value(), 5u);
  EXPECT_EQ(g.after, 0xA5A5A5A5u);
}

}  // namespace
}  // namespace zolvek::testing
