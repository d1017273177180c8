// The board and the IDE read the protocol's codes from one header, so a code
// that is wrong there would pass every exchange between them. Each code is
// pinned here to the byte the real board expects.
#include <gtest/gtest.h>

#include <set>

#include "sim/ice/engine_protocol.h"

namespace sim::ice {
namespace {

TEST(ProtocolCodes, EachCodeIsItsByteOnTheWire) {
  struct Case {
    IceCommand code;
    uint8_t byte;
    const char* name;
  };
  const Case cases[] = {
      {icTxROM, 0x01, "icTxROM"},
      {icRun, 0x02, "icRun"},
      {icStop, 0x04, "icStop"},
      {icReset, 0x05, "icReset"},
      {icReqInRAM, 0x07, "icReqInRAM"},
      {icTxInRAM, 0x08, "icTxInRAM"},
      {icReq1kRAM, 0x09, "icReq1kRAM"},
      {icTx1kRAM, 0x0A, "icTx1kRAM"},
      {icTxBrkPnt, 0x0B, "icTxBrkPnt"},
      {icBusyCheck, 0x0C, "icBusyCheck"},
      {icClearBrkPnt, 0x10, "icClearBrkPnt"},
      {icRxROM, 0x11, "icRxROM"},
      {icEraseChip, 0x12, "icEraseChip"},
      {icStep, 0x13, "icStep"},
      {icRunRange, 0x14, "icRunRange"},
      {icReqSFR, 0x20, "icReqSFR"},
      {icTxSFR, 0x21, "icTxSFR"},
      {icFetchSFR, 0x22, "icFetchSFR"},
      {icFetchInRAM, 0x23, "icFetchInRAM"},
      {icFetch1kRAM, 0x24, "icFetch1kRAM"},
      {icTxLockBits, 0x2A, "icTxLockBits"},
      {icReqLockBits, 0x2B, "icReqLockBits"},
      {icFetchLockBits, 0x2C, "icFetchLockBits"},
      {icReqSignature, 0x2D, "icReqSignature"},
      {icFetchSignature, 0x2E, "icFetchSignature"},
      {icReqExRAM, 0x2F, "icReqExRAM"},
      {icTxExRAM, 0x30, "icTxExRAM"},
      {icFetchExRAM, 0x31, "icFetchExRAM"},
      {icReqInRAMList, 0x32, "icReqInRAMList"},
      {icReq1kRAMList, 0x33, "icReq1kRAMList"},
      {icReqExRAMList, 0x34, "icReqExRAMList"},
      {icFetchInRAMList, 0x35, "icFetchInRAMList"},
      {icFetch1kRAMList, 0x36, "icFetch1kRAMList"},
      {icFetchExRAMList, 0x37, "icFetchExRAMList"},
      {icRxVersion, 0x38, "icRxVersion"},
  };
  std::set<uint8_t> known;
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<uint8_t>(c.code), c.byte) << c.name;
    EXPECT_STREQ(CommandName(c.byte), c.name);
    known.insert(c.byte);
  }
  // The board knows these codes and no other.
  for (unsigned code = 0; code < 256; ++code)
    EXPECT_EQ(IsKnownCommand(static_cast<uint8_t>(code)), known.count(static_cast<uint8_t>(code)) == 1) << code;
}

TEST(ProtocolCodes, BusyAndReadyAnswers) {
  EXPECT_EQ(static_cast<uint8_t>(stBusy), 12);
  EXPECT_EQ(static_cast<uint8_t>(stReady), 14);
}

}  // namespace
}  // namespace sim::ice
