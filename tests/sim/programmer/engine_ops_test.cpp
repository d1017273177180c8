// The operations behind 'P' and the chip model's rules, exchange by exchange.
#include <gtest/gtest.h>

#include "tests/sim/programmer/sim_test_util.h"

namespace sim::programmer {
namespace {

using test::Bytes;
using test::SimHost;

constexpr uint8_t kCom = 0x00, kUsb = 0x40, kLpt = 0x80;

EngineConfig ChipOf(uint32_t size, uint8_t family = 0x01, uint8_t driverId = 0x01) {
  EngineConfig c;
  c.chip.size = size;
  c.chip.family = family;
  c.chip.driverId = driverId;
  return c;
}

class Ops : public ::testing::Test {
protected:
  void Start(const EngineConfig& config) {
    host_ = std::make_unique<SimHost>(config);
    host_->LoadDriver();
  }
  SimHost& H() { return *host_; }
  // Fills the internal buffer with a pattern from `at` on.
  void Pattern(uint32_t at, uint32_t n) {
    H().Prog().Access([&](Engine& e) {
      for (uint32_t i = 0; i < n; ++i) e.InternalBuffer()[at + i] = static_cast<uint8_t>(i * 13 + 1);
    });
  }
  uint8_t ChipByte(uint32_t a) {
    uint8_t v = 0;
    H().Prog().Access([&](Engine& e) { v = e.GetChip().Memory()[a]; });
    return v;
  }
  uint32_t StopAddress() {
    uint32_t a = 0;
    H().Prog().Access([&](Engine& e) {
      auto& r = e.Registers();
      a = r[24] << 16 | r[11] << 8 | r[10];
    });
    return a;
  }
  // 'P', the code; then n reply bytes.
  // (Waiting for a reply that is not due would let the firmware give the
  // command up, as a host that went away.)
  Bytes Operate(int code, size_t n = 0) { return H().Command('P', {static_cast<uint8_t>(code)}, n, 20000); }
  // The handshake of a page and its reply.
  Bytes Page(uint8_t hs = 0) { return H().Say({hs}, 1, 5000); }

  std::unique_ptr<SimHost> host_;
};

TEST_F(Ops, ProgramFromBufferOnLptPacesTwoPagesThenDoesTheTail) {
  Start(ChipOf(0x2000));
  Pattern(0x100, 0x120);
  H().SetZone(0x1F0, 0x30F, 0x100);
  Operate('P' + kLpt);
  EXPECT_TRUE(H().Read(1, 0).empty());
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(H().Read(1, 5000), Bytes{0});  // final status after the tail 0x300-0x30F
  EXPECT_EQ(ChipByte(0x1F0), 1);
  EXPECT_EQ(ChipByte(0x30F), static_cast<uint8_t>(0x11F * 13 + 1));
  EXPECT_EQ(ChipByte(0x1EF), 0xFF);
  EXPECT_EQ(ChipByte(0x310), 0xFF);
  EXPECT_EQ(StopAddress(), 0x30Fu);
}

TEST_F(Ops, EachPageTakesTheDevicesTime) {
  Start(ChipOf(0x2000));
  H().SetZone(0, 0xFF);
  Operate('P' + kCom);
  H().Write({0});
  // 256 bytes at 100 us each: the reply is not there before 25.6 ms.
  EXPECT_TRUE(H().Read(1, 25).empty());
  EXPECT_EQ(H().Read(1, 2), Bytes{0});
}

TEST_F(Ops, SmallDeviceOnUsbHasNoPageHandshake) {
  Start(ChipOf(0x10000));
  H().SetZone(0, 0xFFFF);
  EXPECT_EQ(Operate('P' + kUsb, 1), Bytes{0});
  EXPECT_EQ(H().Prog().Log().Records().back().summary.find("0 pages") != std::string::npos, true);
}

TEST_F(Ops, AFailedPageIsFollowedByTheFinalStatusAndTheAddress) {
  Start(ChipOf(0x2000));
  H().Prog().Access([](Engine& e) {
    e.GetChip().Memory()[0x123] = 0x0F;
    e.InternalBuffer()[0x123] = 0xF0;
  });
  H().SetZone(0, 0x2FF);
  Operate('P' + kLpt);
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(H().Say({0}, 2, 5000), (Bytes{kStatusFailed, kStatusFailed}));
  EXPECT_EQ(StopAddress(), 0x123u);
  EXPECT_EQ(ChipByte(0x123), 0x00);  // bits only cleared
}

TEST_F(Ops, AWeakCellFailsAtItsAddress) {
  Start(ChipOf(0x2000));
  std::string error;
  H().Prog().AddFault(*ParseFaultSpec("*:failat:0x1234", &error));
  Pattern(0, 0x2000);
  H().SetZone(0x1200, 0x12FF, 0x1200);
  Operate('P' + kCom);
  EXPECT_EQ(H().Say({0}, 2, 5000), (Bytes{kStatusFailed, kStatusFailed}));
  EXPECT_EQ(StopAddress(), 0x1234u);
}

TEST_F(Ops, TheHostsOneAtAHandshakeAbortsWithTheFinalStatus) {
  Start(ChipOf(0x2000));
  H().SetZone(0, 0x3FF);
  Operate('B' + kLpt);
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(Page(1), Bytes{kStatusAborted});
  EXPECT_EQ(H().Command('B', {}, 1), Bytes{0x01});  // back at the prompt
}

TEST_F(Ops, BlankCheckReportsTheFirstNonBlankByteOfPageThree) {
  Start(ChipOf(0x2000));
  H().Prog().Access([](Engine& e) { e.GetChip().Memory()[0x2A7] = 0x7F; });
  H().SetZone(0, 0x1FFF);
  Operate('B' + kCom);
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(H().Say({0}, 2, 5000), (Bytes{kStatusFailed, kStatusFailed}));
  EXPECT_EQ(H().Command('I', {10}, 1), Bytes{0xA7});
  EXPECT_EQ(H().Command('I', {11}, 1), Bytes{0x02});
  EXPECT_EQ(H().Command('I', {24}, 1), Bytes{0x00});
}

TEST_F(Ops, ReadThenVerifyFromBufferAndALockedChipRefuses) {
  Start(ChipOf(0x1000));
  H().Prog().Access([](Engine& e) {
    for (uint32_t i = 0; i < 0x1000; ++i) e.GetChip().Memory()[i] = static_cast<uint8_t>(i >> 4);
  });
  H().SetZone(0, 0x1FF, 0x4000);
  Operate('R' + kLpt);
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(H().Say({0}, 2), (Bytes{0, 0}));
  uint8_t b = 0;
  H().Prog().Access([&](Engine& e) { b = e.InternalBuffer()[0x4000 + 0x1F5]; });
  EXPECT_EQ(b, 0x1F);
  Operate('V' + kLpt);
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(H().Say({0}, 2), (Bytes{0, 0}));

  H().Prog().Access([](Engine& e) { e.GetChip().ProgramLockBit(1); });
  Operate('R' + kLpt);
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(H().Say({0}, 2), (Bytes{0, kStatusLocked}));
  Operate('V' + kLpt);
  EXPECT_EQ(Page(), Bytes{kStatusLocked});
}

TEST_F(Ops, ProgramStreamOnComAcknowledgesEveryByteAndEveryPage) {
  Start(ChipOf(0x2000));
  H().SetZone(0x0FE, 0x101);
  Operate('p' + kCom);
  EXPECT_EQ(H().Say({0x11}, 1), Bytes{0});
  EXPECT_EQ(H().Say({0x22}, 1), Bytes{0});  // 0x0FF: then the page exchange
  EXPECT_EQ(H().Say({0}, 1), Bytes{0});
  EXPECT_EQ(H().Say({0x33}, 1), Bytes{0});
  EXPECT_EQ(H().Say({0x44}, 2), (Bytes{0, 0}));  // the last byte, then the final status
  EXPECT_EQ(ChipByte(0x0FF), 0x22);
  EXPECT_EQ(ChipByte(0x101), 0x44);
}

TEST_F(Ops, ProgramStreamOnLptReportsAFailureAtTheNextBoundary) {
  Start(ChipOf(0x2000));
  H().Prog().Access([](Engine& e) { e.GetChip().Memory()[0x10] = 0x00; });
  H().SetZone(0, 0x1FF);
  Operate('p' + kLpt);
  Bytes data(256, 0x5A);
  EXPECT_TRUE(H().Say(data, 1, 0).empty());  // unacknowledged
  EXPECT_EQ(H().Say({0}, 2, 100), (Bytes{kStatusFailed, kStatusFailed}));
  EXPECT_EQ(StopAddress(), 0x10u);
}

TEST_F(Ops, ProgramStreamOnUsbExchangesEvery64KB) {
  Start(ChipOf(0x20000));
  H().SetZone(0, 0x1FFFF);
  Operate('p' + kUsb);
  EXPECT_TRUE(H().Say(Bytes(0x10000, 0xA5), 1, 0).empty());
  EXPECT_EQ(H().Say({0}, 1, 10000), Bytes{0});
  EXPECT_EQ(H().Say(Bytes(0x10000, 0x5A), 1, 0), Bytes{});
  EXPECT_EQ(H().Say({0}, 2, 10000), (Bytes{0, 0}));
  EXPECT_EQ(ChipByte(0x1FFFF), 0x5A);
}

TEST_F(Ops, ReadStreamsOnEachLink) {
  Start(ChipOf(0x2000));
  H().Prog().Access([](Engine& e) {
    for (uint32_t i = 0; i < 0x2000; ++i) e.GetChip().Memory()[i] = static_cast<uint8_t>(i);
  });
  // USB: the bytes come unasked, 0x10 to 0x20 is one block of 17.
  H().SetZone(0x10, 0x20);
  Bytes usb = Operate('r' + kUsb, 18);
  ASSERT_EQ(usb.size(), 18u);
  EXPECT_EQ(usb[0], 0x10);
  EXPECT_EQ(usb[16], 0x20);
  EXPECT_EQ(usb[17], 0);  // final status
  // COM: one request, one byte; ESC at the third address.
  H().SetZone(0x100, 0x1FF);
  Operate('r' + kCom);
  EXPECT_EQ(H().Say({0}, 1), Bytes{0x00});
  EXPECT_EQ(H().Say({0}, 1), Bytes{0x01});
  EXPECT_EQ(H().Say({1}, 1), Bytes{kStatusAborted});
  // LPT: the exchange after 0x1FF.
  H().SetZone(0x1FE, 0x200);
  Operate('r' + kLpt);
  EXPECT_EQ(H().Say({0}, 1), Bytes{0xFE});
  EXPECT_EQ(H().Say({0}, 1), Bytes{0xFF});
  EXPECT_EQ(H().Say({0}, 1), Bytes{0});
  EXPECT_EQ(H().Say({0}, 2), (Bytes{0x00, 0}));
}

TEST_F(Ops, VerifyStreamOnComTakesTheMarkerAndReportsTheMismatch) {
  Start(ChipOf(0x2000));
  H().SetZone(0, 0x1FF);
  EXPECT_EQ(H().Command('P', {'v', 0xFF}, 1), Bytes{0});
  Bytes expected(256, 0xFF);
  expected[0x42] = 0x00;
  EXPECT_TRUE(H().Say(expected, 1, 0).empty());
  EXPECT_EQ(H().Say({0}, 2), (Bytes{kStatusFailed, kStatusFailed}));
  EXPECT_EQ(StopAddress(), 0x42u);
}

TEST_F(Ops, BlockOperationsTakeTheirNumberAfterThePause) {
  EngineConfig c = ChipOf(0x8000);
  c.chip.eraseKind = 3;  // three blocks of 0x8000 / 3
  Start(c);
  H().SetZone(0, 0x7FFF);
  Pattern(0, 0x8000);
  Operate('p' + kLpt);
  H().Clock().Advance(60);
  EXPECT_EQ(H().Say({1}, 1, 10000), Bytes{0});
  uint32_t first = 0, last = 0;
  H().Prog().Access([&](Engine& e) { e.GetChip().BlockRange(1, &first, &last); });
  EXPECT_EQ(ChipByte(first), static_cast<uint8_t>(first * 13 + 1));
  EXPECT_EQ(ChipByte(first - 1), 0xFF);
  Operate('b' + kLpt);
  H().Clock().Advance(60);
  EXPECT_EQ(H().Say({0}, 1, 10000), Bytes{0});
  Operate('b' + kLpt);
  H().Clock().Advance(60);
  EXPECT_EQ(H().Say({1}, 1, 10000), Bytes{kStatusFailed});
  Operate('v' + kLpt);
  H().Clock().Advance(60);
  EXPECT_EQ(H().Say({1}, 1, 10000), Bytes{0});
  Operate('e' + kLpt);
  H().Clock().Advance(60);
  EXPECT_EQ(H().Say({1}, 1, 10000), Bytes{0});
  EXPECT_EQ(ChipByte(first), 0xFF);
  Operate('e' + kLpt);
  H().Clock().Advance(60);
  EXPECT_EQ(H().Say({9}, 1, 10000), Bytes{kStatusBadParameter});
}

TEST_F(Ops, EraseLockBitsIdClockModeAndConfiguration) {
  EngineConfig c = ChipOf(0x2000);
  c.chip.hasClockMode = true;
  c.chip.idBytes = {0x1E, 0x52, 0x06, 0xFF};
  Start(c);
  H().Prog().Access([](Engine& e) { e.GetChip().Memory()[5] = 0; });
  EXPECT_EQ(Operate('E', 1), Bytes{0});
  EXPECT_EQ(ChipByte(5), 0xFF);

  Operate('L' + kLpt);
  H().Clock().Advance(60);
  EXPECT_EQ(H().Say({'1'}, 1), Bytes{0});
  EXPECT_EQ(H().Command('P', {'l' + kLpt, 0}, 2), (Bytes{0x02, 0x00}));
  Operate('L' + kLpt);
  H().Clock().Advance(60);
  EXPECT_EQ(H().Say({7}, 1), Bytes{kStatusBadParameter});

  EXPECT_EQ(Operate('S', 1), Bytes{0});
  EXPECT_EQ(H().Command('I', {22}, 1), Bytes{0x1E});
  EXPECT_EQ(H().Command('I', {31}, 1), Bytes{0x52});
  EXPECT_EQ(H().Command('I', {86}, 1), Bytes{0x06});
  EXPECT_EQ(H().Command('I', {87}, 1), Bytes{0xFF});
  std::string error;
  H().Prog().AddFault(*ParseFaultSpec("*:chipid:1E5106", &error));
  EXPECT_EQ(Operate('S', 1), Bytes{0});
  EXPECT_EQ(H().Command('I', {31}, 1), Bytes{0x51});
  EXPECT_EQ(H().Command('I', {87}, 1), Bytes{0xFF});

  EXPECT_EQ(Operate('t' + kUsb, 2), (Bytes{0x00, 0x00}));
  EXPECT_EQ(Operate('x', 1), Bytes{0});
  EXPECT_EQ(Operate('t' + kUsb, 2), (Bytes{0x80, 0x00}));

  H().SetReg(95, 0xA1);
  H().SetReg(96, 0xB2);
  H().SetReg(97, 0xC3);
  EXPECT_EQ(Operate('W', 1), Bytes{0});  // bare: after 20 ms without '1' or '2'
  H().SetReg(95, 0);
  EXPECT_EQ(Operate('O', 1), Bytes{0});
  EXPECT_EQ(H().Command('I', {95}, 1), Bytes{0xA1});
  EXPECT_EQ(H().Command('P', {'W' + kLpt, '1'}, 1), Bytes{0});
  EXPECT_EQ(H().Command('P', {'W', '2'}, 1), Bytes{0});
  EXPECT_NE(H().Last().summary.find("fuse 2"), std::string::npos);
  EXPECT_EQ(Operate('s', 1), Bytes{0});
  EXPECT_EQ(Operate('G', 1), Bytes{0});
  EXPECT_EQ(H().Command('I', {2}, 1), Bytes{0x01});
}

TEST_F(Ops, PassProgrammedDeviceNeedsItsPasses) {
  EngineConfig c = ChipOf(0x2000, 0x01, 36);
  c.chip.passesNeeded = 3;
  Start(c);
  H().SetZone(0, 0x1FF);
  Operate('P' + kCom);
  for (uint8_t want : {1, 1, 0}) {
    EXPECT_EQ(H().Say({0}, 1), Bytes{0});  // pass start
    EXPECT_EQ(Page(), Bytes{0});
    EXPECT_EQ(Page(), Bytes{0});
    EXPECT_EQ(H().Say({0}, 1), Bytes{want});  // pass status
  }
  EXPECT_EQ(H().Say({1}, 1), Bytes{0});
}

TEST_F(Ops, ProgramWithCheckPassesForFamily08) {
  Start(ChipOf(0x2000, 0x08));
  Pattern(0, 0x200);
  H().SetZone(0, 0x1FF);
  Operate('P' + kCom);
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(H().Read(1), Bytes{0xAA});
  H().Write({'U'});
  EXPECT_EQ(Page(), Bytes{0});  // check pass
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(Page(), Bytes{0});  // closing check pass
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_EQ(H().Read(1), Bytes{0xAA});
  EXPECT_EQ(H().Say({'U'}, 1), Bytes{0});
}

TEST_F(Ops, APageTimeOutLeavesTheOperationAndThePromptStillWorks) {
  Start(ChipOf(0x2000));
  std::string error;
  H().Prog().AddFault(*ParseFaultSpec("P#2:pagetimeout", &error));
  H().SetZone(0, 0x3FF);
  Operate('B' + kLpt);
  EXPECT_EQ(Page(), Bytes{0});
  EXPECT_TRUE(H().Say({0}, 1, 3000).empty());
  H().Write({1});  // the host stops it
  EXPECT_EQ(H().Command('B', {}, 1), Bytes{0x01});
}

TEST_F(Ops, AMarginVerifyFailsAWeakCellAtTheLowSupplyOnly) {
  EngineConfig c = ChipOf(0x2000);
  c.chip.weakAtLowSupply = 0x80;
  Start(c);
  H().Prog().Access([](Engine& e) {
    e.GetChip().Memory()[0x80] = 0x12;
    e.InternalBuffer()[0x80] = 0x12;
  });
  H().SetZone(0, 0xFF);
  for (auto [level, status] : {std::pair<uint8_t, uint8_t>{0xA0, 0}, {0x40, kStatusFailed}}) {
    H().Command('W', {0x63, level});
    Operate('V' + kLpt);
    const Bytes want = status ? Bytes{status, status} : Bytes{0, 0};
    EXPECT_EQ(H().Say({0}, 2), want) << int(level);
  }
}

TEST_F(Ops, AnUnknownOperationCodeIsIgnored) {
  // A verify of even or odd bytes from the programmer-held buffer sends no
  // code: its first page handshake, 0, is taken for one.
  Start(ChipOf(0x2000));
  H().SetZone(0, 0x1FF);
  EXPECT_TRUE(Operate(0x00, 1).empty());
  EXPECT_NE(H().Last().summary.find("unknown operation 00"), std::string::npos);
  EXPECT_EQ(H().Command('B', {}, 1), Bytes{0x01});
}

TEST_F(Ops, WithoutADriverEveryOperationAnswersNoDriver) {
  SimHost h;
  EXPECT_EQ(h.Command('P', {'P'}, 1), Bytes{kStatusNoDriver});
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x01});
}

}  // namespace
}  // namespace sim::programmer
