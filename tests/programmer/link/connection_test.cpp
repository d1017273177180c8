// Rate search, pack check and set-up.
#include <gtest/gtest.h>

#include "programmer/link/connection.h"
#include "tests/programmer/link/link_fixture.h"

namespace zolvek::testing {
namespace {

class Connection : public LinkFixture {
protected:
  void SetUp() override { Use(kLinkCom); }
};

TEST_F(Connection, FindsTheProgrammerAt9600AndMovesItTo115200) {
  state_.BaudIndex = 0;
  dev_.Rate(9600).Command('T').Expect({0}).Rate(115200).Command('T').Expect({0});
  EXPECT_EQ(ConnectProgrammer(*commands_, 0), 0);
  // The probe at 115200 went unheard; 9600 was the next rate tried.
  EXPECT_EQ(Hex(dev_.Heard()), "41 54 54 00 41 54 54 00");
  ExpectScriptDone();
}

TEST_F(Connection, AtTheExpectedRateOneProbeIsEnough) {
  state_.BaudIndex = 2;
  dev_.Rate(38400).Command('T').Expect({2}).Command('T').Expect({2});
  const uint32_t start = Now();
  EXPECT_EQ(NegotiateRate(*commands_, 2), 0);
  EXPECT_EQ(Now() - start, 10u + 10u + 100u + 10u + 10u + 10u + 100u + 10u);
  ExpectScriptDone();
}

TEST_F(Connection, TriesTheRatesInTheirOrder) {
  state_.BaudIndex = 3;
  dev_.Rate(57600).Command('T').Expect({3}).Rate(19200).Command('T').Expect({3});
  EXPECT_EQ(NegotiateRate(*commands_, 3), 0);  // 19200, then 9600, 38400 unheard, then 57600
  ExpectScriptDone();
}

TEST_F(Connection, ADeadLineGivesUpWithinSeconds) {
  const uint32_t start = Now();
  EXPECT_EQ(ConnectProgrammer(*commands_, 0), 1);
  EXPECT_LT(Now() - start, 8000u);
  EXPECT_EQ(dev_.Heard().size(), 10u);  // "AT" once at each of the five rates
}

TEST_F(Connection, NoConfirmationAtTheNewRateFails) {
  state_.BaudIndex = 0;
  dev_.Rate(9600).Command('T').Expect({0}).Rate(57600);
  EXPECT_EQ(NegotiateRate(*commands_, 4), 1);
  ExpectScriptDone();
}

TEST_F(Connection, ParallelAndUsbLinksNeedNoRateSearch) {
  for (int32_t kind : {kLinkLpt, kLinkUsb}) {
    state_.LinkKind = kind;
    EXPECT_EQ(ConnectProgrammer(*commands_, 0), 0);
  }
  EXPECT_TRUE(dev_.Heard().empty());
}

TEST_F(Connection, PackCheck) {
  dev_.Command('B').Reply({1});
  dev_.Command('B').Reply({2});
  dev_.Command('B');  // silent
  dev_.BadPrompt('Z');
  EXPECT_EQ(CheckPack(*commands_), 0);
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusWrongPack);
  EXPECT_EQ(state_.ErrorAddress, 0x102u);
  const uint32_t start = Now();
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPack);
  EXPECT_GE(Now() - start, link_->WaitMs(reply_wait::kPack));
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
  ExpectScriptDone();
}

TEST_F(Connection, SetUpSendsItsBytesOnlyAfterThePrompt) {
  dev_.BadPrompt(-1).Command('H', {1, 0x1A, 2});
  EXPECT_NE(InitProgrammer(*commands_), 0);
  const uint64_t slept = clock_.Slept();
  EXPECT_EQ(InitProgrammer(*commands_), 0);
  EXPECT_EQ(clock_.Slept() - slept, 100u);
  ExpectScriptDone();
}

}  // namespace
}  // namespace zolvek::testing
