// Count encodings, the progress percentage, the hex field readers and the sounds.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "programmer/link/count_encoding.h"
#include "programmer/link/progress.h"

namespace zolvek {
namespace {

TEST(CountEncoding, ThreeLevelCountOfN) {
  struct Case {
    uint32_t n;
    std::array<uint8_t, 3> wire;
  };
  const Case cases[] = {
      {0x000001, {0x01, 0x01, 0x01}},
      {0x0000FF, {0xFF, 0x01, 0x01}},
      {0x000100, {0x00, 0x01, 0x01}},
      {0x000101, {0x01, 0x02, 0x01}},
      {0x010000, {0x00, 0x00, 0x01}},
      {0x020000, {0x00, 0x00, 0x02}},
      {0x01FFFF, {0xFF, 0x00, 0x02}},
      // A digit-by-digit carry gave these the count of a far smaller n.
      {0x010001, {0x01, 0x01, 0x02}},
      {0x010100, {0x00, 0x01, 0x02}},
      {0x008000, {0x00, 0x80, 0x01}},
  };
  for (const Case& c : cases) EXPECT_EQ(ThreeLevelCount(c.n), c.wire) << std::hex << c.n;
}

TEST(CountEncoding, TargetZoneCountFromLastOffset) {
  EXPECT_EQ(ThreeLevelCountFromLast(0xFF - 0), (std::array<uint8_t, 3>{0x00, 0x01, 0x01}));
  EXPECT_EQ(ThreeLevelCountFromLast(0x10000), (std::array<uint8_t, 3>{0x01, 0x01, 0x02}));
  // The count of n is the count from n - 1, for every n.
  for (uint32_t n : {1u, 2u, 0xFFu, 0x100u, 0x12345u, 0xFFFFFFu})
    EXPECT_EQ(ThreeLevelCount(n), ThreeLevelCountFromLast(n - 1));
}

TEST(CountEncoding, TwoLevelCount) {
  EXPECT_EQ(TwoLevelCount(0x1234), (std::array<uint8_t, 2>{0x34, 0x13}));
  EXPECT_EQ(TwoLevelCount(0x1200), (std::array<uint8_t, 2>{0x00, 0x12}));
  EXPECT_EQ(TwoLevelCount(1672), (std::array<uint8_t, 2>{0x88, 0x07}));
  EXPECT_EQ(TwoLevelCount(512), (std::array<uint8_t, 2>{0x00, 0x02}));
  EXPECT_EQ(TwoLevelCount(0), (std::array<uint8_t, 2>{0x01, 0x01}));
  EXPECT_EQ(TwoLevelCount(kTwoLevelMax), (std::array<uint8_t, 2>{0x00, 0xFF}));
}

TEST(ProgressPercent, Table) {
  struct Case {
    int32_t count, total;
    int percent;
  };
  const Case cases[] = {{0, 0, 100},
                        {5000, 9999, 50},
                        {19999, 20000, 99},
                        {10049, 10050, 99},
                        {-3, 100, 0},
                        {0, 100, 0},
                        {100, 100, 100},
                        {101, 100, 100},
                        {1, 3, 33},
                        {0x7FFFFFF, 0x7FFFFFFF, 6},
                        {1000000, 1000001, 99},
                        {1, -5, 100}};
  for (const Case& c : cases) EXPECT_EQ(Progress::Percent(c.count, c.total), c.percent) << c.count << "/" << c.total;
}

struct RecordingSinks : StatusSink, SoundSink, ProgressTarget {
  std::vector<std::string> events;
  void SetStatusText(int part, const std::string& text) override {
    events.push_back("status" + std::to_string(part) + " '" + text + "'");
  }
  void SetMainProgress(int p) override { events.push_back("bar " + std::to_string(p)); }
  void Tone(int hz, int ms) override { events.push_back("tone " + std::to_string(hz) + "/" + std::to_string(ms)); }
  void SystemBeep(SystemSound s) override { events.push_back("beep " + std::to_string(static_cast<int>(s))); }
  void ShowPercent(int p, const std::string& text) override {
    events.push_back("dialog " + std::to_string(p) + " '" + text + "'");
  }
};

TEST(ProgressDisplay, DrawsInThreePlacesAndResets) {
  LinkState state;
  RecordingSinks sinks;
  Progress progress(state, &sinks, &sinks);
  state.ProgressTotal = 200;
  state.ProgressCount = 50;
  progress.ShowProgress(&sinks);
  progress.ShowProgress(nullptr);
  progress.ResetProgress();
  EXPECT_EQ(sinks.events, (std::vector<std::string>{"dialog 25 '25%'", "status2 '25%'", "bar 25", "status2 '25%'",
                                                    "bar 25", "bar 0", "status0 ''", "status2 ''"}));
  Progress silent(state);  // without sinks nothing is drawn, nothing fails
  silent.ShowProgress(nullptr);
  silent.BeepError();
}

TEST(ProgressSounds, ToneOrSystemBeepsByUsbAvailability) {
  platform::VirtualClock clock;
  platform::ScopedClock scoped(clock);
  LinkState state;
  RecordingSinks sinks;
  Progress progress(state, &sinks, &sinks);
  progress.BeepOk();
  progress.BeepError();
  EXPECT_EQ(sinks.events, (std::vector<std::string>{"tone 880/250", "tone 767/150", "tone 767/150", "tone 767/100"}));
  EXPECT_EQ(clock.Slept(), 60u);
  sinks.events.clear();
  state.UsbUnavailable = 1;
  progress.BeepOk();
  progress.BeepError();
  EXPECT_EQ(sinks.events, (std::vector<std::string>{"beep 0", "beep 1", "beep 0", "beep 0", "beep 0", "beep 2"}));
  EXPECT_EQ(clock.Slept(), 60u + 160u);
}

TEST(HexFields, ReadDigitsFromTheStartOnly) {
  EXPECT_EQ(HexToWord("FFFF"), 0xFFFF);
  EXPECT_EQ(HexToWord(""), 0);
  EXPECT_EQ(HexToWord("0x10"), 0);
  EXPECT_EQ(HexToWord(" 12"), 0);
  EXPECT_EQ(HexToWord("12G4"), 0x12);
  EXPECT_EQ(HexToWord("123456"), 0x1234);
  EXPECT_EQ(HexToWord("abcd"), 0xABCD);
  EXPECT_EQ(HexToDword("123456789"), 0x12345678u);
  EXPECT_EQ(HexToDword("deadBEEF"), 0xDEADBEEFu);
  EXPECT_EQ(HexDigitValue('f'), 15);
  EXPECT_EQ(HexDigitValue('G'), 0);
  EXPECT_EQ(HexDigitValue(' '), 0);
  EXPECT_EQ(HexDigitValue('9'), 9);
}

}  // namespace
}  // namespace zolvek
