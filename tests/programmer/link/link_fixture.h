// A programmer link onto a scripted programmer, on virtual time, with
// messages recorded; the link kind is chosen per test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/clock.h"
#include "platform/fake_port_access.h"
#include "platform/messages.h"
#include "programmer/link/commands.h"
#include "programmer/link/link_state.h"
#include "programmer/link/programmer_link.h"
#include "tests/programmer/link/scripted_programmer.h"

namespace zolvek::testing {

class LinkFixture : public ::testing::Test {
protected:
  LinkFixture() : clock_(1000), scoped_(clock_), messages_(shown_), dev_(clock_) {}

  // The link of the kind, opened onto the scripted programmer.
  void Use(int32_t kind) {
    state_.LinkKind = kind;
    link_ = std::make_unique<ProgrammerLink>(state_, ScriptedOpener(dev_, 1));
    commands_ = std::make_unique<Commands>(*link_);
    switch (kind) {
      case kLinkCom: ASSERT_EQ(link_->Com().ComOpen(1), 1); break;
      case kLinkLpt:
        port_.Attach(&lptDevice_);
        link_->Lpt().SetPort(&port_);
        ASSERT_TRUE(link_->Lpt().LptOpenLink());
        break;
      case kLinkUsb:
        usb_ = std::make_unique<FakeD2xx>(&dev_);
        link_->Usb().SetApi(&usb_->Api());
        FindUsbProgrammer(state_, &usb_->Api());
        ASSERT_EQ(state_.UsbNotFound, 0);
        ASSERT_TRUE(link_->Usb().UsbReset());
        break;
      default: break;
    }
  }

  // Every byte the host sent was expected and the script ran to its end.
  void ExpectScriptDone() {
    EXPECT_TRUE(dev_.Errors().empty()) << ::testing::PrintToString(dev_.Errors()) << "\nheard: " << Hex(dev_.Heard());
    EXPECT_TRUE(dev_.Finished()) << "heard: " << Hex(dev_.Heard());
  }

  uint32_t Now() { return clock_.Tick(); }

  platform::VirtualClock clock_;
  platform::ScopedClock scoped_;
  platform::RecordingMessages shown_;
  platform::ScopedMessages messages_;
  ScriptedProgrammer dev_;
  ScriptedLptDevice lptDevice_{dev_};
  platform::FakePortAccess port_{{0x378}};
  std::unique_ptr<FakeD2xx> usb_;
  LinkState state_;
  std::unique_ptr<ProgrammerLink> link_;
  std::unique_ptr<Commands> commands_;
};

// Runs a test body once per link kind.
class EveryLink : public LinkFixture, public ::testing::WithParamInterface<int32_t> {
protected:
  void SetUp() override { Use(GetParam()); }
};

inline std::string LinkName(const ::testing::TestParamInfo<int32_t>& info) {
  return info.param == kLinkCom ? "COM" : info.param == kLinkLpt ? "LPT" : "USB";
}

}  // namespace zolvek::testing
