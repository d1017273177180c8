// The command set on the wire: letters, parameter bytes and their order,
// replies, pauses, the wrappers' results, and that nothing follows a prompt
// that was not answered.
#include <gtest/gtest.h>

#include <functional>

#include "programmer/link/count_encoding.h"
#include "tests/programmer/link/link_fixture.h"

namespace zolvek::testing {
namespace {

class CommandsTest : public LinkFixture {
protected:
  void SetUp() override { Use(kLinkCom); }
};

TEST_F(CommandsTest, EachCommandOnTheWire) {
  struct Case {
    const char* name;
    Bytes wire;  // after "AT" and 'O'
    Bytes reply;
    std::function<int(Commands&)> run;
    uint32_t pauseMs;
  };
  uint16_t r = 0;
  const Case cases[] = {
      {"pack", {'B'}, {1}, [&](Commands& c) { return c.Pack(r); }, 0},
      {"pass", {'F'}, {}, [&](Commands& c) { return c.Pass(); }, 0},
      {"setup", {'H', 1, 0x1A, 2}, {}, [&](Commands& c) { return c.Setup(); }, 100},
      {"card size", {'H', 0x7A, 0, 0xF0}, {4}, [&](Commands& c) { return c.QueryCardSize(r); }, 0},
      {"card status", {'H', 0x43, 0, 0xF0}, {0}, [&](Commands& c) { return c.QueryCardStatus(r); }, 100},
      {"register", {'I', 95}, {7}, [&](Commands& c) { return c.GetRegister(95, r); }, 0},
      {"key", {'J'}, {0}, [&](Commands& c) { return c.Key(r); }, 0},
      {"driver header", {'L', 0x88, 0x07}, {}, [&](Commands& c) { return c.LoadDriverHeader(1672); }, 0},
      {"auto start", {'N', 0, 1}, {}, [&](Commands& c) { return c.Auto(true); }, 0},
      {"operate", {'P', 0xD0}, {}, [&](Commands& c) { return c.Operate(0xD0); }, 0},
      {"quit", {'Q'}, {}, [&](Commands& c) { return c.Quit(); }, 10},
      {"mode", {'T', 6}, {}, [&](Commands& c) { return c.Mode(6); }, 0},
      {"upload", {'U'}, {}, [&](Commands& c) { return c.Upload(); }, 0},
      {"idle", {'V'}, {}, [&](Commands& c) { return c.Idle(); }, 0},
      {"set register", {'W', 88, 0x21}, {}, [&](Commands& c) { return c.SetRegister(88, 0x21); }, 0},
      {"get block",
       {'X', 0, 0xF8, 0xFF, 3, 1},
       {},
       [&](Commands& c) {
         return c.GetBlock({0, 0xF8, 0xFF, 3, 1});
       },
       0},
      {"set block",
       {'Y', 1, 0, 0xFF, 0, 1},
       {},
       [&](Commands& c) {
         return c.SetBlock({1, 0, 0xFF, 0, 1});
       },
       0},
      {"sram read",
       {'g', 0, 0xF1, 0x01, 0x34, 0x12, 0x00, 0x01, 0x01},
       {},
       [&](Commands& c) { return c.Sram(kSramRead, 0x11234, 0x100); },
       20},
      {"sram checksum",
       {'g', 0, 0xF3, 0, 0, 0, 0x00, 0x00, 0x02},
       {},
       [&](Commands& c) { return c.Sram(kSramChecksum, 0, 0x20000); },
       0},
      {"map card", {'h', 0x58, 0xE6, 0x15}, {}, [&](Commands& c) { return c.Map(true); }, 15},
      {"map internal", {'h', 0x58, 0xF8, 0x15}, {}, [&](Commands& c) { return c.Map(false); }, 10},
      {"sram query", {'i', 0, 0xDF}, {}, [&](Commands& c) { return c.SramQuery(); }, 100},
      {"monitor header", {'l', 0, 0xF0, 0x00, 0x02}, {}, [&](Commands& c) { return c.LoadMonitorHeader(512); }, 0},
      {"upload byte", {'u', 0x5A}, {}, [&](Commands& c) { return c.UploadByte(0x5A); }, 0},
      {"fill", {'v', 0xFF}, {0}, [&](Commands& c) { return c.Fill(0xFF, r); }, 0},
      {"download", {'D'}, {}, [&](Commands& c) { return c.Download(); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedProgrammer dev(clock_);
    ProgrammerLink link(state_, ScriptedOpener(dev));
    ASSERT_EQ(link.Com().ComOpen(1), 1);
    Commands commands(link);
    dev.Command(c.wire[0], Bytes(c.wire.begin() + 1, c.wire.end()));
    if (!c.reply.empty()) dev.Reply(c.reply);
    const uint64_t slept = clock_.Slept();
    EXPECT_EQ(c.run(commands), kStatusOk);
    EXPECT_EQ(clock_.Slept() - slept, c.pauseMs);
    EXPECT_TRUE(dev.Errors().empty()) << ::testing::PrintToString(dev.Errors());
    EXPECT_TRUE(dev.Finished());
    if (!c.reply.empty()) {
      EXPECT_EQ(r, 0x100 | c.reply[0]);
    }
  }
}

TEST_F(CommandsTest, NothingFollowsAPromptThatWasNotAnswered) {
  dev_.BadPrompt('X').BadPrompt(-1).Command('I', {22}).Reply({0x5A});
  uint16_t reply = 0xFFFF;
  EXPECT_EQ(commands_->Setup(), kStatusNoPrompt);
  EXPECT_EQ(commands_->GetRegister(86, reply), kStatusNoPrompt);
  EXPECT_EQ(reply, 0);
  EXPECT_EQ(commands_->GetRegister(22, reply), kStatusOk);
  EXPECT_EQ(reply, 0x15A);
  ExpectScriptDone();
}

TEST_F(CommandsTest, ChecksumAndMemoryReads) {
  dev_.Command('S', {1, 0x00, 0x80, 0x00, 0x80, 0x01}).Reply({0x34}).Expect({0}).Reply({0x12});
  dev_.Command('G', {0x09, 0x80, 3, 1}).Reply({'1'}).Expect({0}).Reply({'.'}).Expect({0}).Reply({'0'}).Expect({0});
  uint16_t sum = 0;
  EXPECT_EQ(commands_->Checksum(0x18000, 0x8000, sum), kStatusOk);
  EXPECT_EQ(sum, 0x1234);
  uint8_t text[3] = {};
  EXPECT_EQ(commands_->GetMemory(0x8009, 3, text), kStatusOk);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text), 3), "1.0");
  ExpectScriptDone();
}

TEST_F(CommandsTest, RangeRegistersInTheirOrder) {
  const TargetZone zone{0x1F0, 0x10001F0, 0x2000};
  auto writes = [&](std::initializer_list<std::pair<uint8_t, uint8_t>> regs) {
    for (auto [reg, value] : regs) dev_.Command('W', {reg, value});
  };
  // SetTransferRange(0x12345, 0x10001): the count of n via n - 1.
  writes({{8, 0xF0}, {9, 0x01}, {23, 0x00}, {12, 0x45}, {13, 0x23}, {25, 0x01}, {16, 0x01}, {17, 0x01}, {27, 0x02}});
  // RestoreDeviceRange: 'T' 0x55, then the Target Zone from DeviceEnd - DeviceStart.
  dev_.Command('T', {0x55});
  writes({{8, 0xF0}, {9, 0x01}, {23, 0x00}, {12, 0x00}, {13, 0x20}, {25, 0x00}, {16, 0x01}, {17, 0x01}, {27, 0x02}});
  // SetWholeDeviceRange(0x10000): its own order.
  dev_.Command('T', {0x55});
  writes({{8, 0}, {9, 0}, {12, 0}, {13, 0}, {16, 0x00}, {17, 0x00}, {23, 0}, {25, 0}, {27, 0x01}});

  commands_->SetTransferRange(zone, 0x12345, 0x10001);
  EXPECT_EQ(commands_->RestoreDeviceRange({0x1F0, 0x101F0, 0x2000}), 0);
  EXPECT_EQ(commands_->SetWholeDeviceRange(0x10000), 0);
  ExpectScriptDone();
}

TEST_F(CommandsTest, AFailedRegisterWriteDoesNotStopTheRest) {
  dev_.Command('W', {8, 0});
  dev_.BadPrompt(-1);  // register 9: no prompt answer, nothing more of it is sent
  for (auto [reg, value] : std::initializer_list<std::pair<uint8_t, uint8_t>>{
           {23, 0}, {12, 0}, {13, 0}, {25, 0}, {16, 0x10}, {17, 0x01}, {27, 0x01}})
    dev_.Command('W', {reg, value});
  commands_->SetTransferRange({}, 0, 0x10);
  ExpectScriptDone();
}

TEST_F(CommandsTest, WrapperResultsWhenThePromptFails) {
  // Each wrapper meets a programmer that does not answer.
  dev_.BadPrompt(-1).BadPrompt(-1).BadPrompt(-1).BadPrompt(-1).BadPrompt(-1).BadPrompt(-1).BadPrompt(-1);
  dev_.BadPrompt(-1).BadPrompt(-1).BadPrompt(-1);
  EXPECT_EQ(commands_->EndOperation(), 1);
  EXPECT_EQ(commands_->BeginOperation(), 1);
  state_.LinkStatus = 0;
  EXPECT_EQ(commands_->PollStartKey(), 0);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
  EXPECT_EQ(commands_->PrepareOperation(), 0);
  EXPECT_EQ(commands_->QuerySramCard(), 0);
  EXPECT_EQ(commands_->MapSramCard(), 1);
  EXPECT_EQ(commands_->MapInternalBuffer(), 1);
  EXPECT_EQ(commands_->BeginAutoRun(), 1);
  EXPECT_EQ(commands_->RestoreDeviceRange({}), 1);
  EXPECT_EQ(commands_->SetWholeDeviceRange(0x1000), 1);  // the programmer did not answer: a failure
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
  ExpectScriptDone();
}

TEST_F(CommandsTest, StartKeyPollAndOfflineSendsNothing) {
  dev_.Command('J').Reply({0}).Command('J').Reply({1});
  EXPECT_EQ(commands_->PollStartKey(), 1);
  EXPECT_EQ(commands_->PollStartKey(), 0);
  state_.Offline = 1;
  EXPECT_EQ(commands_->PollStartKey(), 0);
  ExpectScriptDone();
}

TEST_F(CommandsTest, ErrorAddressFromThreeRegisters) {
  dev_.Command('I', {10}).Reply({0x34}).Command('I', {11}).Reply({0x12}).Command('I', {24});  // r24 silent: 0
  dev_.Command('I', {10}).Reply({0x01}).BadPrompt(-1);
  uint32_t address = 0xFFFFFFFF;
  EXPECT_EQ(commands_->ReadErrorAddress(address), 0);
  EXPECT_EQ(address, 0x1234u);
  state_.LinkStatus = 0;
  EXPECT_EQ(commands_->ReadErrorAddress(address), 1);
  EXPECT_EQ(address, 0x1234u);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
  ExpectScriptDone();
}

using DataPhases = EveryLink;

TEST_P(DataPhases, AnsweredReadsByteByByteOrInUsbBlocks) {
  Bytes data(600);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  dev_.Command('D');
  if (GetParam() == kLinkUsb) {
    for (std::size_t at = 0; at < data.size(); at += 256) {
      const std::size_t len = std::min<std::size_t>(256, data.size() - at);
      dev_.Expect(Bytes(len, 0)).Reply(Bytes(data.begin() + at, data.begin() + at + len));
    }
  } else {
    for (uint8_t b : data) dev_.Expect({0}).Reply({b});
  }
  Bytes got(data.size());
  EXPECT_EQ(commands_->Download(), kStatusOk);
  EXPECT_EQ(commands_->ReadAnswered(got.data(), got.size(), reply_wait::kDownloadByte), 0);
  EXPECT_EQ(got, data);
  ExpectScriptDone();
}

TEST_P(DataPhases, BlockBytesAreAnsweredAfterTheyCome) {
  dev_.Command('X', {0, 0xF8, 0xFF, 3, 1});
  if (GetParam() == kLinkUsb)
    dev_.Expect(Bytes(3, 0)).Reply({7, 8, 9});
  else
    dev_.Reply({7}).Expect({0}).Reply({8}).Expect({0}).Reply({9}).Expect({0});
  Bytes got(3);
  EXPECT_EQ(commands_->GetBlock({0, 0xF8, 0xFF, 3, 1}), kStatusOk);
  EXPECT_EQ(commands_->ReadThenAnswer(got.data(), 3, reply_wait::kBlockByte), 0);
  EXPECT_EQ(got, (Bytes{7, 8, 9}));
  ExpectScriptDone();
}

TEST_P(DataPhases, AMissingByteEndsTheReadAndSpoilsTheLine) {
  dev_.Command('X', {0, 0xF8, 0xFF, 3, 1});
  if (GetParam() == kLinkUsb)
    dev_.Expect(Bytes(3, 0)).Reply({1, 2});
  else
    dev_.Reply({1}).Expect({0}).Expect({0});  // the second byte never comes, and is answered
  Bytes got(3);
  EXPECT_EQ(commands_->GetBlock({0, 0xF8, 0xFF, 3, 1}), kStatusOk);
  EXPECT_EQ(commands_->ReadThenAnswer(got.data(), 3, reply_wait::kBlockByte), 1);
  EXPECT_TRUE(link_->Spoiled());
  ExpectScriptDone();
}

INSTANTIATE_TEST_SUITE_P(Links, DataPhases, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), LinkName);

}  // namespace
}  // namespace zolvek::testing
