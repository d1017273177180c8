// The byte primitives on each link: passes bounded by time, the framing
// statuses, what a dead or pulled link does, and the quiet-then-purge rule.
#include <gtest/gtest.h>

#include "tests/programmer/link/link_fixture.h"

namespace zolvek::testing {
namespace {

using Transport = EveryLink;

TEST_P(Transport, AWaitOfNMakesNPlusOnePassesOfTheLinksPassTime) {
  for (uint32_t wait : {0u, 3u}) {
    const uint32_t start = Now();
    EXPECT_EQ(link_->ReceiveByte(wait), 0);
    EXPECT_EQ(Now() - start, link_->WaitMs(wait)) << "wait " << wait;
  }
  EXPECT_EQ(link_->WaitMs(0), GetParam() == kLinkUsb ? 20u : 10u);
  ExpectScriptDone();
}

TEST_P(Transport, TheFrontEndCanEndALongWaitBetweenPasses) {
  int calls = 0;
  state_.BetweenPasses = [&] { return ++calls < 3; };
  const uint32_t start = Now();
  EXPECT_EQ(link_->ReceiveByte(83656), 0);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(Now() - start, link_->WaitMs(2));
}

TEST_P(Transport, AByteZeroIsDistinctFromSilence) {
  dev_.Reply({0x00});
  EXPECT_EQ(link_->ReceiveByte(0), 0x100);
  EXPECT_EQ(link_->ReceiveByte(0), 0);
}

TEST_P(Transport, CommandFramingAndItsStatuses) {
  dev_.Command('B').BadPrompt('X').BadPrompt(-1).Expect({'A', 'T'}).Reply({'O'}).StopTaking();
  EXPECT_EQ(link_->SendCommand('B'), kStatusOk);
  EXPECT_EQ(link_->SendCommand('B'), kStatusNoPrompt);  // 'X': the letter is not sent
  EXPECT_EQ(link_->SendCommand('B'), kStatusNoPrompt);  // silence
  const uint32_t start = Now();
  EXPECT_EQ(link_->SendCommand('B'), kStatusNotSent);  // the letter could not go out
  EXPECT_LT(Now() - start, 5000u);
  ExpectScriptDone();
}

TEST_P(Transport, APulledCableFailsAtOnceOrWithinItsBound) {
  dev_.Command('I', {16}).PullCable();
  EXPECT_EQ(link_->SendCommand('I'), kStatusOk);
  EXPECT_EQ(link_->SendByte(16), 1);
  const uint32_t start = Now();
  EXPECT_EQ(link_->ReceiveByte(1000), 0);
  // COM and USB see the failure at once; LPT only sees silence.
  EXPECT_LE(Now() - start, GetParam() == kLinkLpt ? link_->WaitMs(1000) : 0u);
  EXPECT_NE(link_->SendCommand('B'), kStatusOk);
  EXPECT_EQ(link_->SendByte(1), 0);
}

// A reply that comes after its wait is not taken for the next command's
// prompt answer: the line is drained until quiet and purged first.
TEST_P(Transport, ALateReplyIsNotReadAsTheNextPromptAnswer) {
  const uint32_t late = link_->WaitMs(15) + 100;
  dev_.Command('I', {16}).Reply({'O'}, late).Command('I', {17}).Reply({0x43});
  uint16_t reply = 0;
  EXPECT_EQ(commands_->GetRegister(16, reply), kStatusOk);
  EXPECT_EQ(reply, 0);
  EXPECT_TRUE(link_->Spoiled());
  EXPECT_EQ(commands_->GetRegister(17, reply), kStatusOk);
  EXPECT_EQ(reply, 0x143);
  EXPECT_FALSE(link_->Spoiled());
  ExpectScriptDone();
}

TEST(DelayTest, CrossesTheWrapOfTheTickCounter) {
  platform::VirtualClock clock(0xFFFFFFF8u);
  platform::ScopedClock scoped(clock);
  Delay(10);
  EXPECT_EQ(clock.Tick(), 2u);
  EXPECT_EQ(clock.Slept(), 10u);
  Delay(0);
  EXPECT_EQ(clock.Slept(), 10u);
}

INSTANTIATE_TEST_SUITE_P(Links, Transport, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), LinkName);

class ComTransportTest : public LinkFixture {};

TEST_F(ComTransportTest, ClosedPortFailsWithoutWriting) {
  state_.LinkKind = kLinkCom;
  ProgrammerLink link(state_, ScriptedOpener(dev_, 1));
  EXPECT_EQ(link.SendCommand('B'), kStatusPortClosed);
  EXPECT_EQ(link.SendByte(1), 0);
  EXPECT_EQ(link.ReceiveByte(100), 0);
  EXPECT_EQ(link.Com().ComPurge(), 1);
  EXPECT_EQ(link.Com().ComSetRate(0), 0);
  link.Com().ComClose();  // only marks it closed
  EXPECT_TRUE(dev_.Heard().empty());
}

TEST_F(ComTransportTest, OpenTwiceKeepsThePortAndProbeListsPorts) {
  state_.LinkKind = kLinkCom;
  ProgrammerLink link(state_, ScriptedOpener(dev_, 2));
  EXPECT_EQ(link.Com().ComOpen(1), 0);
  EXPECT_EQ(link.Com().ComOpen(2), 1);
  EXPECT_EQ(link.Com().ComOpen(2), 0);
  EXPECT_TRUE(link.Com().IsOpen());
  link.Com().ComProbe();
  EXPECT_EQ(state_.ComPresent, (std::array<int32_t, 4>{0, 1, 0, 0}));
}

TEST_F(ComTransportTest, AnUnknownLinkKindIsServedByCom) {
  Use(kLinkCom);
  state_.LinkKind = 5;
  dev_.Command('V');
  EXPECT_EQ(link_->SendCommand('V'), kStatusOk);
  ExpectScriptDone();
}

TEST_F(ComTransportTest, TheQuietWaitHasABoundOnABabblingLine) {
  Use(kLinkCom);
  for (int i = 0; i < 100; ++i) dev_.Reply({0x55}, static_cast<uint32_t>(i * 50));
  link_->MarkSpoiled();
  const uint32_t start = Now();
  EXPECT_EQ(link_->SendCommand('B'), kStatusNoPrompt);
  EXPECT_LE(Now() - start, state_.Timings.quietLimitMs + state_.Timings.comPromptMs + 100);
}

class LptTransportTest : public LinkFixture {};

TEST_F(LptTransportTest, InitAndCloseDriveThePort) {
  Use(kLinkLpt);
  EXPECT_EQ(port_.SetUps(), std::vector<int>{0});
  EXPECT_EQ(state_.LptBase, 0x378);
  EXPECT_EQ(port_.Ecr() & 0xE0, 0x20);
  EXPECT_EQ(port_.Data(), 0xFF);
  EXPECT_TRUE(port_.OutputPin(1));
  EXPECT_TRUE(port_.OutputPin(14));
  link_->Lpt().LptCloseLink();
  EXPECT_EQ(port_.Data(), 0);
  EXPECT_FALSE(port_.OutputPin(1));
  EXPECT_FALSE(port_.OutputPin(14));
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(link_->SendCommand('B'), kStatusNoPrompt);  // no port: fails at once
}

TEST_F(LptTransportTest, ABusyProgrammerFailsTheSendWithinItsBound) {
  Use(kLinkLpt);
  lptDevice_.HoldBusy(true);
  const uint32_t start = Now();
  EXPECT_EQ(link_->SendByte(0x41), 0);
  EXPECT_EQ(Now() - start, state_.Timings.lptSendMs);
  EXPECT_TRUE(dev_.Heard().empty());
}

TEST_F(LptTransportTest, PortTablesAreIndexedWithinBounds) {
  platform::FakePortAccess many({0x3BC, 0x378, 0x278, 0x368, 0x268, 0x358, 0x258, 0x248, 0x238, 0x228});
  state_.LinkKind = kLinkLpt;
  ProgrammerLink link(state_);
  link.Lpt().SetPort(&many);
  state_.LptNumber = 10;  // beyond the table, within the ports
  EXPECT_TRUE(link.Lpt().LptScanPorts());
  EXPECT_EQ(state_.LptCount, 10);
  EXPECT_EQ(state_.LptBase, 0x228);
  EXPECT_EQ(state_.LptBaseTable[7], 0x248);
  EXPECT_EQ(link.Lpt().TableBase(), 0);
  state_.LptNumber = 0;
  EXPECT_EQ(link.Lpt().TableBase(), 0);
  state_.LptNumber = -3;  // a settings file may hold anything
  EXPECT_TRUE(link.Lpt().LptScanPorts());
  EXPECT_EQ(state_.LptNumber, 10);  // the layer's current port
  EXPECT_FALSE(many.IsOpen());
}

class UsbTransportTest : public LinkFixture {};

TEST_F(UsbTransportTest, WithNoDeviceOpenNothingCallsTheLibrary) {
  FakeD2xx d2xx(&dev_);
  state_.LinkKind = kLinkUsb;
  ProgrammerLink link(state_);
  link.Usb().SetApi(&d2xx.Api());
  uint8_t block[4] = {};
  EXPECT_EQ(link.SendCommand('B'), kStatusNoPrompt);
  EXPECT_EQ(link.SendByte(1), 0);
  EXPECT_EQ(link.ReceiveByte(5), 0);
  EXPECT_EQ(link.WriteBlock(block, 4), 1);
  EXPECT_EQ(link.ReadBlock(block, 4), 1);
  EXPECT_FALSE(link.Usb().UsbReset());
  link.Usb().UsbClose();
  EXPECT_EQ(d2xx.Calls(), 0);
}

TEST_F(UsbTransportTest, CloseOnlyTheOpenDeviceAndOnlyOnce) {
  Use(kLinkUsb);
  link_->Usb().UsbClose();
  link_->Usb().UsbClose();
  FindUsbProgrammer(state_, &usb_->Api());  // the new search finds it open again
  link_->Usb().UsbClose();
  EXPECT_EQ(usb_->Closed(), (std::vector<int>{0, 0}));
  EXPECT_EQ(usb_->Opens(), 2);
}

TEST_F(UsbTransportTest, AShortWriteIsAFailure) {
  Use(kLinkUsb);
  usb_->ShortWrites(true);
  const uint8_t block[3] = {1, 2, 3};
  EXPECT_EQ(link_->WriteBlock(block, 3), 1);
  EXPECT_EQ(link_->SendByte(7), 0);
}

TEST_F(UsbTransportTest, ABlockReadWaitsForTheWholeBlockWithinItsBound) {
  Use(kLinkUsb);
  dev_.Reply({1, 2}).Reply({3}, 500);
  uint8_t block[4] = {};
  EXPECT_EQ(link_->ReadBlock(block, 3), 0);
  EXPECT_EQ(block[2], 3);
  dev_.Reply({9, 9});
  const uint32_t start = Now();
  EXPECT_EQ(link_->ReadBlock(block, 4), 1);
  EXPECT_EQ(Now() - start, state_.Timings.usbBlockMs);
}

TEST_F(UsbTransportTest, ResetPurgesBothWaysAndEachCommandDropsStaleInput) {
  Use(kLinkUsb);
  EXPECT_EQ(usb_->Resets(), 1);
  EXPECT_EQ(usb_->Purges(), std::vector<uint32_t>{3});
  dev_.Reply({'O'});  // stale, before the command
  dev_.Command('V');
  EXPECT_EQ(link_->SendCommand('V'), kStatusOk);
  EXPECT_EQ(usb_->Purges().back(), 1u);  // receive side only
  ExpectScriptDone();
}

}  // namespace
}  // namespace zolvek::testing
