// The programmer's side of the command protocol: prompt, commands, registers,
// count encodings, rates and downloads.
#include <gtest/gtest.h>

#include "sim/programmer/counts.h"
#include "tests/sim/programmer/sim_test_util.h"

namespace sim::programmer {
namespace {

using test::Bytes;
using test::Cat;
using test::Count2;
using test::Count3;
using test::CountFromLast;
using test::SimHost;

TEST(Counts, DecodeTheHostsEncodingsOfTheWorkedExamples) {
  struct Case {
    Bytes encoded;
    uint32_t count;
  } cases[] = {
      {{0x00, 0x01, 0x01}, 0x100},   {{0x01, 0x02, 0x01}, 0x101},   {{0x00, 0x00, 0x01}, 0x10000},
      {{0x00, 0x00, 0x02}, 0x20000}, {{0xFF, 0x00, 0x02}, 0x1FFFF}, {{0x01, 0x01, 0x02}, 0x10001},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeCount3(c.encoded[0], c.encoded[1], c.encoded[2]), c.count) << std::hex << c.count;
  }
  EXPECT_EQ(Count3(0x100), (Bytes{0x00, 0x01, 0x01}));
  EXPECT_EQ(CountFromLast(0xFF), (Bytes{0x00, 0x01, 0x01}));
  EXPECT_EQ(CountFromLast(0x10000), (Bytes{0x01, 0x01, 0x02}));
  EXPECT_EQ(DecodeCount2(0x34, 0x13), 0x1234u);
  EXPECT_EQ(DecodeCount2(0x00, 0x12), 0x1200u);
  EXPECT_EQ(DecodeCount2(0x88, 0x07), 1672u);
  EXPECT_EQ(DecodeCount2(0x00, 0x02), 512u);
  EXPECT_EQ(DecodeCount2(1, 1), 1u);  // how the host sends a count of 0
}

TEST(Counts, TheLastOffsetEncodingRoundTripsAndTheCountEncodingDoesNotAlways) {
  for (uint32_t m : {0u, 1u, 0xFEu, 0xFFu, 0x100u, 0x1FFu, 0xFFFFu, 0x10000u, 0x100FFu, 0x12345u, 0x1FFFFu}) {
    const Bytes c = CountFromLast(m);
    EXPECT_EQ(DecodeCount3(c[0], c[1], c[2]), m + 1) << std::hex << m;
  }
  // A count whose middle byte is 0 above 64 KB is encoded one 64 KB short:
  // the firmware moves what it was told, and a transfer of it shows.
  const Bytes c = Count3(0x10045);
  EXPECT_EQ(DecodeCount3(c[0], c[1], c[2]), 0x45u);
}

TEST(Prompt, AnswersATWithOAndIgnoresNoiseBeforeIt) {
  SimHost h;
  EXPECT_EQ(h.Say({'A', 'T'}, 1), Bytes{'O'});
  EXPECT_EQ(h.Say({'B'}, 1), Bytes{0x01});
  // Noise, a lone 'A' and an 'A' followed by something else get no answer.
  EXPECT_TRUE(h.Say({0x00, 'T', 'X', 'A', 'X', 'Z'}, 1, 50).empty());
  EXPECT_EQ(h.Say({'A', 'A', 'T'}, 1), Bytes{'O'});
  EXPECT_EQ(h.Say({'B'}, 1), Bytes{0x01});
  EXPECT_EQ(h.Letters(), "BB");
}

TEST(Prompt, AnUnknownLetterIsLoggedAndTheNextPromptWorks) {
  SimHost h;
  EXPECT_TRUE(h.Command('Z', {}, 1, 50).empty());
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x01});
  const auto records = h.Prog().Log().Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0].summary.find("unknown command"), std::string::npos);
}

TEST(Registers, WriteThenReadBackAnyRegister) {
  SimHost h;
  h.SetReg(95, 0xA5);
  h.SetReg(0xFF, 0x5A);
  EXPECT_EQ(h.Command('I', {95}, 1), Bytes{0xA5});
  EXPECT_EQ(h.Command('I', {0xFF}, 1), Bytes{0x5A});
  EXPECT_EQ(h.Last().summary, "r255 -> 5A");
}

TEST(Registers, TheTargetZoneCountMovesExactlyTheDecodedNumberOfBytes) {
  // 'D' sends as many bytes as registers 16/17/27 decode to: with the
  // three-level count of 0x101 that is 0x101 bytes, not one more or less.
  SimHost h;
  h.Prog().Access([](Engine& e) {
    for (size_t i = 0; i < 0x200; ++i) e.InternalBuffer()[0x100 + i] = static_cast<uint8_t>(i);
  });
  const Bytes c = Count3(0x101);
  for (auto [r, v] : {std::pair<uint8_t, uint8_t>{12, 0x00}, {13, 0x01}, {25, 0}, {16, c[0]}, {17, c[1]}, {27, c[2]}})
    h.SetReg(r, v);
  const Bytes got = h.Command('D', Bytes(0x101 + 5, 0), 0x101 + 5, 100);
  ASSERT_EQ(got.size(), 0x101u);
  EXPECT_EQ(got[0], 0x00);
  EXPECT_EQ(got[0x100], 0x00);  // buffer 0x200 = i 0x100 -> 0x00
  EXPECT_EQ(got[0xFF], 0xFF);
}

TEST(Rates, ListensAt9600AndMovesWithTheRateCode) {
  // The exchange of a host that expects 115200 and finds the programmer at 9600.
  SimHost h;
  h.SetBaud(115200);
  EXPECT_TRUE(h.Say({'A', 'T', 'T'}, 1, 100).empty());  // lost at the wrong rate
  h.SetBaud(9600);
  EXPECT_EQ(h.Say({'A', 'T'}, 1), Bytes{'O'});
  h.Write({'T', 0x00});  // the rate code of 115200
  EXPECT_EQ(h.Prog().ListeningBaud(), 115200u);
  EXPECT_TRUE(h.Say({'A', 'T'}, 1, 50).empty());  // the host still at 9600
  h.SetBaud(115200);
  EXPECT_EQ(h.Say({'A', 'T'}, 1), Bytes{'O'});
  h.Write({'T', 0x00});
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x01});
  EXPECT_EQ(h.Letters(), "TTB");
}

TEST(Rates, PacingMakesEachByteTakeItsWireTime) {
  EngineConfig config;
  config.pace = true;
  SimHost h(config);
  h.SetBaud(9600);
  // "AT" in and 'O' out: three bytes of 10 bits at 9600, about 3.1 ms.
  h.Write({'A', 'T'});
  EXPECT_TRUE(h.Read(1, 0).empty());
  EXPECT_TRUE(h.Read(1, 2).empty());
  EXPECT_EQ(h.Read(1, 2), Bytes{'O'});
}

TEST(Downloads, DriverIsEchoedKeptAndItsVersionReadsBack) {
  SimHost h;
  Bytes image(1672, 0x00);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i ^ 0x5A);
  const char version[] = "1.07 ";
  std::copy(version, version + 5, image.begin() + 9);
  const Bytes echo = h.Command('L', Cat({{0x88, 0x07}, image}), image.size());
  EXPECT_EQ(echo, image);
  bool has = false;
  h.Prog().Access([&](Engine& e) { has = e.HasDriver() && e.DriverImage() == image; });
  EXPECT_TRUE(has);
  // The about box's read of programmer memory 0x8009, five bytes, each answered.
  EXPECT_EQ(h.Command('G', {0x09, 0x80, 5, 1}, 1), Bytes{'1'});
  Bytes rest;
  for (int i = 0; i < 5; ++i) {
    const Bytes b = h.Say({0}, 1, 20);
    rest.insert(rest.end(), b.begin(), b.end());
  }
  EXPECT_EQ(rest, (Bytes{'.', '0', '7', ' '}));  // five bytes in all, the fifth answer ends it
  // The firmware version the SRAM probe reads.
  EXPECT_EQ(h.Command('G', {0x2E, 0x01, 5, 1}, 1), Bytes{'1'});
}

TEST(Downloads, MonitorHeaderAndCountOf512) {
  SimHost h;
  const Bytes image(512, 0xC3);
  EXPECT_EQ(h.Command('l', Cat({{0x00, 0xF0}, Count2(512), image}), 512), image);
  EXPECT_NE(h.Last().summary.find("monitor 512 bytes (count 00 02)"), std::string::npos);
}

TEST(Downloads, ADownloadGivenUpHalfwayLeavesNoDriver) {
  SimHost h;
  h.LoadDriver(16);
  h.Command('L', Cat({Count2(100), Bytes(10, 0x11)}), 10);
  h.Clock().Advance(1500);  // the host went away
  h.Prog().Advance();
  bool has = true;
  h.Prog().Access([&](Engine& e) { has = e.HasDriver(); });
  EXPECT_FALSE(has);
  EXPECT_TRUE(h.Last().abandoned);
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x01});
}

TEST(Buffers, UploadsFillChecksumAndCard) {
  EngineConfig config;
  config.sramCardKB = 256;
  SimHost h(config);
  // 'U' three bytes at 0x12345, then the closing 0.
  const Bytes c = Count3(3);
  for (auto [r, v] :
       {std::pair<uint8_t, uint8_t>{12, 0x45}, {13, 0x23}, {25, 0x01}, {16, c[0]}, {17, c[1]}, {27, c[2]}})
    h.SetReg(r, v);
  h.Command('U', {0x10, 0x20, 0x30, 0x00});
  h.Command('u', {0x99});
  uint8_t b0 = 0, b1 = 0;
  h.Prog().Access([&](Engine& e) {
    b0 = e.InternalBuffer()[0x12345];
    b1 = e.InternalBuffer()[0x12346];
  });
  EXPECT_EQ(b0, 0x99);
  EXPECT_EQ(b1, 0x20);
  // 'S': checksum of an all-0xFF 4 KB range is 0xFF000 -> F000.
  const Bytes sum = h.Command('S', Cat({{0, 0x00, 0x40}, Count3(0x1000)}), 1);
  EXPECT_EQ(sum, Bytes{0x00});
  EXPECT_EQ(h.Say({0}, 1), Bytes{0xF0});
  // 'v' fill answers one byte.
  EXPECT_EQ(h.Command('v', {0x00}, 1), Bytes{0x00});
  // Card: size and status queries, a write, a read back, a fill and a checksum.
  EXPECT_EQ(h.Command('H', {'z', 0, 0xF0}, 1), Bytes{0x01});
  EXPECT_EQ(h.Command('H', {'C', 0, 0xF0}, 1), Bytes{0x00});
  h.Command('g', Cat({{0x00, 0xF2, 0x01, 0x00, 0x00}, Count3(2), {0xAB, 0xCD, 0x00}}));
  EXPECT_EQ(h.Command('g', Cat({{0x00, 0xF1, 0x01, 0x00, 0x00}, Count3(2), {0x00}}), 1), Bytes{0xAB});
  EXPECT_EQ(h.Say({0}, 1), Bytes{0xCD});
  EXPECT_EQ(h.Command('g', Cat({{0x00, 0xF4, 0x00, 0x00, 0x00}, Count3(4)}), 0), Bytes{});
  EXPECT_EQ(h.Say({0x01}, 1), Bytes{0x00});
  EXPECT_EQ(h.Command('g', Cat({{0x00, 0xF3, 0x00, 0x00, 0x00}, Count3(4)}), 1), Bytes{0x04});
  EXPECT_EQ(h.Say({0}, 1), Bytes{0x00});
}

TEST(Buffers, AWriteProtectedCardTakesNoWrites) {
  EngineConfig config;
  config.sramCardKB = 128;
  config.sramWriteProtect = true;
  SimHost h(config);
  EXPECT_EQ(h.Command('H', {'C', 0, 0xF0}, 1), Bytes{0x04});
  h.Command('g', Cat({{0x00, 0xF2, 0x00, 0x00, 0x00}, Count3(1), {0x12}}));
  EXPECT_EQ(h.Command('g', Cat({{0x00, 0xF1, 0x00, 0x00, 0x00}, Count3(1), {0x00}}), 1), Bytes{0xFF});
  SimHost none;
  EXPECT_EQ(none.Command('H', {'z', 0, 0xF0}, 1), Bytes{15});
  EXPECT_EQ(none.Command('H', {'C', 0, 0xF0}, 1), Bytes{0x03});
}

TEST(Blocks, ConfigurationBlockAndTableSpace) {
  SimHost h;
  // Block devices write their configuration as 3 bytes of space 0 at 0xFFF8.
  h.Command('Y', {0, 0xF8, 0xFF, 3, 1, 0x11, 0x22, 0x33});
  EXPECT_EQ(h.Command('I', {96}, 1), Bytes{0x22});
  EXPECT_EQ(h.Command('X', {0, 0x00, 0xFD, 3, 1}, 1), Bytes{0x11});
  EXPECT_EQ(h.Say({0}, 1), Bytes{0x22});
  EXPECT_EQ(h.Say({0}, 1), Bytes{0x33});
  h.Say({0}, 0);
  // 256 table bytes from 0xFF00 of space 1.
  Bytes table(256);
  for (size_t i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i);
  h.Command('Y', Cat({{1, 0x00, 0xFF, 0, 1}, table}));
  EXPECT_EQ(h.Command('X', {1, 0x80, 0xFF, 1, 1}, 1), Bytes{0x7F});
}

TEST(StartKey, PollAnswersZeroOnlyWhenPressed) {
  SimHost h;
  FaultRule rule;
  std::string error;
  h.Prog().AddFault(*ParseFaultSpec("J@3:key", &error));
  Bytes answers;
  for (int i = 0; i < 4; ++i) answers.push_back(h.Command('J', {}, 1).at(0));
  EXPECT_EQ(answers, (Bytes{1, 1, 0, 1}));
  h.Prog().PressStartKey();
  EXPECT_EQ(h.Command('J', {}, 1), Bytes{0});
  EXPECT_EQ(h.Command('J', {}, 1), Bytes{1});
}

TEST(Commands, SilentOnesAreLoggedDecoded) {
  SimHost h;
  h.Command('H', {1, 0x1A, 2});
  h.Command('T', {6});
  h.Command('N', {0, 1});
  h.Command('h', {0x58, 0xE6, 0x15});
  h.Command('i', {0, 0xDF});
  h.Command('V');
  h.Command('F');
  h.Command('Q');
  EXPECT_EQ(h.Letters(), "HTNhiVFQ");
  const auto r = h.Prog().Log().Records();
  EXPECT_EQ(r[0].summary, "set-up 01 1A 02");
  EXPECT_EQ(r[2].summary, "auto 00 01 (start)");
  EXPECT_EQ(r[3].summary, "map 58 E6 15: card");
  EXPECT_TRUE(h.Say({}, 1, 20).empty());
}

}  // namespace
}  // namespace sim::programmer
