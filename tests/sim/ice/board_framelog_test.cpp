#include <gtest/gtest.h>

#include "sim/ice/frame_log.h"

namespace sim::ice {
namespace {

TEST(BoardFrameLog, KeepsTheNewestEntriesInOrderAndFeedsTheSinkAll) {
  FrameLog log(3);
  int sunk = 0;
  log.SetSink([&](const FrameLogEntry&) { ++sunk; });
  for (uint32_t t = 1; t <= 5; ++t) log.Append(FrameLogEntry{t, Direction::HostToBoard, {}, {}, ""});
  const auto entries = log.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].time, 3u);
  EXPECT_EQ(entries[2].time, 5u);
  EXPECT_EQ(sunk, 5);
  log.Clear();
  EXPECT_EQ(log.Size(), 0u);
  log.Append(FrameLogEntry{9, Direction::HostToBoard, {}, {}, ""});
  EXPECT_EQ(log.Entries().at(0).time, 9u);
}

TEST(BoardFrameLog, LineShowsTimeDirectionBytesCommandAndFaults) {
  const std::string request = FormatLogEntry(
      FrameLogEntry{1234, Direction::HostToBoard, {0x00, 0x00, 0x00, 0x05, 0xFB}, {FaultKind::Late}, ""});
  EXPECT_NE(request.find("1234"), std::string::npos);
  EXPECT_NE(request.find("host>  00 00 00 05 FB"), std::string::npos);
  EXPECT_NE(request.find("icReset"), std::string::npos);
  EXPECT_NE(request.find("fault:late"), std::string::npos);

  const std::string refused =
      FormatLogEntry(FrameLogEntry{7, Direction::BoardToHost, {0xFF}, {}, "output overrun, not sent"});
  EXPECT_NE(refused.find("board> FF"), std::string::npos);
  EXPECT_NE(refused.find("(output overrun, not sent)"), std::string::npos);
}

}  // namespace
}  // namespace sim::ice
