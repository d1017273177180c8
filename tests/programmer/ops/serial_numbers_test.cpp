// Serial numbers: advancing in hexadecimal and decimal, the digits used, the
// bytes in both orders, the limits, and bounded writes into the buffer.
#include "programmer/ops/serial_numbers.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/programmer/ops/sim_rig.h"

namespace zolvek {
namespace {

SerialNumberRecord Record(uint32_t n, bool decimal, uint32_t high, uint32_t low, uint32_t order = 0) {
  SerialNumberRecord s;
  s.length = n;
  s.decimal = decimal ? 1 : 0;
  s.byteOrder = order;
  s.high = high;
  s.low = low;
  SetSerialLimits(s);
  return s;
}

std::vector<uint8_t> Bytes(const SerialNumberRecord& s) {
  return std::vector<uint8_t>(s.bytes.begin(), s.bytes.begin() + SerialLength(s));
}

TEST(SerialNumbers, AdvanceFormatsTheLastDigitsAndTheirBytes) {
  struct Case {
    uint32_t n;
    bool decimal;
    uint32_t high, low, order;
    uint32_t nextHigh, nextLow;
    const char* text;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {2, false, 0, 0x12FF, 0, 0, 0x1300, "1300", {0x13, 0x00}},
      {2, false, 0, 0x12FF, 1, 0, 0x1300, "1300", {0x00, 0x13}},
      {1, true, 0, 99, 0, 0, 0, "00", {0x00}},
      {3, true, 0, 123455, 0, 0, 123456, "123456", {0x12, 0x34, 0x56}},
      {5, true, 99, 99999999, 0, 0, 0, "0000000000", {0, 0, 0, 0, 0}},
      {4, false, 7, 0xFFFFFFFF, 0, 8, 0, "00000000", {0, 0, 0, 0}},
      {8, false, 0x12345678, 0xFFFFFFFF, 0, 0x12345679, 0, "1234567900000000", {0x12, 0x34, 0x56, 0x79, 0, 0, 0, 0}},
      {6, true, 12, 99999999, 1, 13, 0, "001300000000", {0, 0, 0, 0, 0x13, 0x00}},
  };
  for (const Case& c : cases) {
    SerialNumberRecord s = Record(c.n, c.decimal, c.high, c.low, c.order);
    std::string shown;
    NextSerialNumber(s, [&](const std::string& t) { shown = t; });
    SCOPED_TRACE(c.text);
    EXPECT_EQ(s.high, c.nextHigh);
    EXPECT_EQ(s.low, c.nextLow);
    EXPECT_EQ(s.text, c.text);
    EXPECT_EQ(shown, c.text);
    EXPECT_EQ(Bytes(s), c.bytes);
  }
}

TEST(SerialNumbers, LimitsByLengthAndMode) {
  SerialNumberRecord s = Record(5, false, 0, 0);
  EXPECT_EQ(s.lowLimit, 0xFFFFFFFFu);
  EXPECT_EQ(s.highLimit, 0xFFu);
  s = Record(7, true, 0, 0);
  EXPECT_EQ(s.lowLimit, 99999999u);
  EXPECT_EQ(s.highLimit, 999999u);
  s = Record(3, false, 0, 0);
  EXPECT_EQ(s.lowLimit, 0xFFFFFFu);
  EXPECT_EQ(s.highLimit, 0u);
  // A length out of range is taken as 8: nothing reaches past the arrays.
  s = Record(12, false, 0, 0);
  NextSerialNumber(s);
  EXPECT_EQ(s.text, "0000000000000001");
}

TEST(SerialNumbers, WriteIsBoundedByTheBufferInUse) {
  OpsState ops;
  ops.BufferSizeKB = 1;
  ops.AllocatePcBuffer();
  SerialNumberRecord& s = ops.SerialNumberSettings;
  s = Record(3, false, 0, 0xABCDEE);
  NextSerialNumber(s);
  s.bufferAddress = 0x3FD;
  EXPECT_EQ(WriteSerialNumber(ops), 0);
  EXPECT_EQ(ops.PcBuffer[0x3FD], 0xAB);
  EXPECT_EQ(ops.PcBuffer[0x3FF], 0xEF);
  s.bufferAddress = 0x3FE;  // one byte past the end
  ops.PcBuffer[0x3FE] = 0x11;
  EXPECT_EQ(WriteSerialNumber(ops), 1);
  EXPECT_EQ(ops.PcBuffer[0x3FE], 0x11);
  s.bufferAddress = 0xFFFFFFFF;
  EXPECT_EQ(WriteSerialNumber(ops), 1);

  // A programmer-held buffer goes through the upload, within its size.
  ops.BufferKind.inProgrammer = 1;
  ops.BufferKind.internal = 1;
  std::vector<std::pair<uint32_t, uint32_t>> uploads;
  auto upload = [&](uint32_t a, uint32_t n) {
    uploads.emplace_back(a, n);
    return 0;
  };
  s.bufferAddress = 0x1FFFD;
  EXPECT_EQ(WriteSerialNumber(ops, upload), 0);
  s.bufferAddress = 0x1FFFE;
  EXPECT_EQ(WriteSerialNumber(ops, upload), 1);
  EXPECT_EQ(uploads, (std::vector<std::pair<uint32_t, uint32_t>>{{0x1FFFD, 3}}));
}

}  // namespace
}  // namespace zolvek

namespace zolvek::testing::checks {
namespace {

class SerialUploads : public SimOpsEveryLink {};

TEST_P(SerialUploads, TheProgrammersBufferTakesTheBytesThroughTheLink) {
  UseWithDriver(GetParam());
  HoldBufferInProgrammer();
  SetZone(0, 0x1FFF);
  SerialNumberRecord& s = ops_.SerialNumberSettings;
  s.length = 3;
  s.decimal = 1;
  s.low = 123455;
  SetSerialLimits(s);
  NextSerialNumber(s);
  s.bufferAddress = 0x1F0;
  BufferTransfers link(*commands_);
  EXPECT_EQ(WriteSerialNumber(ops_, link), 0);
  Engine([](sim::programmer::Engine& e) {
    EXPECT_EQ(e.InternalBuffer()[0x1F0], 0x12);
    EXPECT_EQ(e.InternalBuffer()[0x1F1], 0x34);
    EXPECT_EQ(e.InternalBuffer()[0x1F2], 0x56);
  });
  // Past the end of the internal buffer: refused, nothing sent.
  prog_->Log().Clear();
  s.bufferAddress = 0x1FFFE;
  EXPECT_EQ(WriteSerialNumber(ops_, link), 1);
  EXPECT_EQ(Letters(), "");
}

INSTANTIATE_TEST_SUITE_P(Links, SerialUploads, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing::checks
