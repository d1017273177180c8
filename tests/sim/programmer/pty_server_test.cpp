// The pty server in process, paced on the real clock: whether it sleeps or
// spins between bytes, no reply leaves before its wire time.
#include "sim/programmer/pty_server.h"

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/pty_io.h"

namespace sim::programmer {
namespace {

using Steady = std::chrono::steady_clock;

class PacedPtyServer : public ::testing::TestWithParam<Micros> {};

TEST_P(PacedPtyServer, RepliesNoSoonerThanTheWireAllowsAndStopsWhenAsked) {
  EngineConfig config;
  config.pace = true;  // 9600: a byte takes 1042 us each way
  const auto origin = Steady::now();
  Programmer programmer(config, [origin] {
    return static_cast<Micros>(std::chrono::duration_cast<std::chrono::microseconds>(Steady::now() - origin).count());
  });
  PtyServer server(programmer);
  server.SetSpinUs(GetParam());
  std::string error;
  ASSERT_TRUE(server.Open(&error)) << error;
  std::atomic<bool> stop{false};
  std::thread serving([&] { server.Serve(stop, &error); });

  const int fd = vx930::testing::OpenRawPty(server.SlavePath(), B9600);
  ASSERT_GE(fd, 0);

  // Each prompt is two bytes in and one out: three byte times at the least.
  // 'V' (idle) ends each command without a reply.
  for (int round = 0; round < 5; ++round) {
    const auto sent = Steady::now();
    ASSERT_EQ(::write(fd, "AT", 2), 2);
    uint8_t reply = 0;
    pollfd p{fd, POLLIN, 0};
    ASSERT_GT(::poll(&p, 1, 1000), 0) << "no answer to the prompt";
    ASSERT_EQ(::read(fd, &reply, 1), 1);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Steady::now() - sent).count();
    EXPECT_EQ(reply, 'O');
    EXPECT_GE(took, 3 * 1042) << "round " << round;
    ASSERT_EQ(::write(fd, "V", 1), 1);
  }
  ::close(fd);
  stop = true;
  serving.join();
}

INSTANTIATE_TEST_SUITE_P(SleepingOrSpinning, PacedPtyServer, ::testing::Values(Micros{0}, Micros{2000}));

}  // namespace
}  // namespace sim::programmer
