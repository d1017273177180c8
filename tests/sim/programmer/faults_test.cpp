// Fault injection: how each fault is written and what the host then sees.
#include <gtest/gtest.h>

#include "tests/sim/programmer/sim_test_util.h"

namespace sim::programmer {
namespace {

using test::Bytes;
using test::Cat;
using test::Count2;
using test::SimHost;

FaultRule Rule(const char* spec) {
  std::string error;
  auto r = ParseFaultSpec(spec, &error);
  EXPECT_TRUE(r.has_value()) << spec << ": " << error;
  return r.value_or(FaultRule{});
}

TEST(FaultSpecs, ParseAndFormat) {
  struct Case {
    const char* spec;
    const char* formatted;
  } cases[] = {
      {"*@3:silent", "*@3:silent"},
      {"B:nopack", "B:nopack"},
      {"B@2:pack:5", "B@2:pack:5"},
      {"L#100:badecho", "L#100:badecho"},
      {"0x72#17:late:300", "r#17:late:300"},
      {"P@1#2:pagetimeout", "P@1#2:pagetimeout"},
      {"J@4:key", "J@4:key"},
      {"*@2:cable", "*@2:cable"},
      {"*:failat:0x1234", "*:failat:4660"},
      {"*:chipid:1E5106", "*:chipid:1E5106"},
      {"*#0:drop", "*#0:drop"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFaultRule(Rule(c.spec)), c.formatted) << c.spec;
  for (const char* bad : {"silent", "*:nothing", "B@0:drop", "*:late", "*:failat", "*:chipid:123", "XY:drop",
                          "B@x:drop", "Q:key", "*:chipid:0102030405"}) {
    std::string error;
    EXPECT_FALSE(ParseFaultSpec(bad, &error).has_value()) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(Faults, SilenceFromThePromptNOnUntilCleared) {
  SimHost h;
  h.Prog().AddFault(Rule("*@3:silent"));
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x01});
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x01});
  EXPECT_TRUE(h.Say({'A', 'T'}, 1, 100).empty());
  EXPECT_TRUE(h.Say({'A', 'T'}, 1, 100).empty());
  h.Prog().ClearFaults();
  EXPECT_EQ(h.Say({'A', 'T'}, 1, 1500), Bytes{'O'});
}

TEST(Faults, ByLetterSilenceStartsAfterThePromptAnswer) {
  SimHost h;
  h.Prog().AddFault(Rule("I@2:silent"));
  EXPECT_EQ(h.Command('I', {0}, 1), Bytes{0});
  EXPECT_TRUE(h.Command('I', {0}, 1, 100).empty());
  EXPECT_TRUE(h.Say({'A', 'T'}, 1, 100).empty());
}

TEST(Faults, ADroppedByteIsMissingAndTheRestComes) {
  SimHost h;
  h.Prog().AddFault(Rule("X#2:drop"));
  h.Command('Y', {1, 0x00, 0x10, 3, 1, 0xA1, 0xA2, 0xA3});
  EXPECT_EQ(h.Command('X', {1, 0x00, 0x10, 3, 1}, 1), Bytes{0xA1});
  EXPECT_TRUE(h.Say({0}, 1, 100).empty());  // the second never comes...
  EXPECT_EQ(h.Say({0}, 1), Bytes{0xA3});  // ...the third does, when asked
  h.Write({0});
  EXPECT_EQ(h.Last().faults, std::vector<std::string>{"X#2:drop"});
  h.Prog().AddFault(Rule("*#0:drop"));
  EXPECT_TRUE(h.Say({'A', 'T'}, 1, 100).empty());
}

TEST(Faults, WrongOrMissingPackCode) {
  SimHost h;
  h.Prog().AddFault(Rule("B@1:pack"));
  h.Prog().AddFault(Rule("B@2:nopack"));
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x02});
  EXPECT_TRUE(h.Command('B', {}, 1, 200).empty());
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x01});
}

TEST(Faults, BadEchoSpoilsOneDownloadByte) {
  SimHost h;
  h.Prog().AddFault(Rule("l#100:badecho"));
  Bytes image(256);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
  const Bytes echo = h.Command('l', Cat({{0x00, 0xF0}, Count2(256), image}), 256);
  ASSERT_EQ(echo.size(), 256u);
  for (size_t i = 0; i < echo.size(); ++i) EXPECT_EQ(echo[i], i == 99 ? (99 ^ 1) : i) << i;
}

TEST(Faults, ALateReplyHoldsBackWhatFollowsWhichComesAsTheDeviceGetsToIt) {
  EngineConfig config;
  config.pace = true;
  config.powerUpRateCode = 0;  // 115200: 87 us a byte
  SimHost h(config);
  h.SetBaud(115200);
  h.Prog().AddFault(Rule("L#3:late:300"));
  Bytes image(100, 0x3C);
  EXPECT_EQ(h.Say({'A', 'T'}, 1), Bytes{'O'});
  h.Write(Cat({{'L'}, Count2(100), image}));  // all at once, as a USB block would come
  const Bytes early = h.Read(100, 200);
  EXPECT_EQ(early.size(), 2u);
  // 300 ms after the second echo the third comes, and the others follow at
  // the wire's pace, not in one burst.
  const Bytes next = h.Read(100, 101);
  EXPECT_GE(next.size(), 1u);
  EXPECT_LT(next.size(), 40u);
  const Bytes rest = h.Read(100, 50);
  EXPECT_EQ(early.size() + next.size() + rest.size(), 100u);
}

TEST(Faults, APulledCableLetsNothingThroughUntilPluggedBack) {
  SimHost h;
  h.Prog().AddFault(Rule("*@2:cable"));
  EXPECT_EQ(h.Command('B', {}, 1), Bytes{0x01});
  EXPECT_TRUE(h.Say({'A', 'T'}, 1, 100).empty());
  EXPECT_TRUE(h.Prog().CablePulled());
  EXPECT_TRUE(h.Say({'A', 'T', 'B'}, 2, 100).empty());
  h.Prog().PlugCable();
  EXPECT_EQ(h.Say({'A', 'T', 'B'}, 2), (Bytes{'O', 0x01}));
}

TEST(Faults, TheLogShowsTheFaultsThatShapedACommand) {
  SimHost h;
  h.Prog().AddFault(Rule("B:pack:9"));
  h.Command('B', {}, 1);
  const std::string line = FormatRecord(h.Last());
  EXPECT_NE(line.find("B PACK"), std::string::npos) << line;
  EXPECT_NE(line.find("pack 09"), std::string::npos) << line;
  EXPECT_NE(line.find("{B:pack:9}"), std::string::npos) << line;
}

}  // namespace
}  // namespace sim::programmer
