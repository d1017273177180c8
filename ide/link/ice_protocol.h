// The emulator protocol's codes: the command byte of each request and the
// busy and ready answers. The IDE's command set and the simulated board both
// read them from here, so a test pins every code to its byte: a wrong code
// would otherwise pass unnoticed on both sides at once.
#pragma once

#include <cstdint>

namespace vx930 {

enum IceCommand : uint8_t {
  icTxROM = 0x01,
  icRun = 0x02,
  icStop = 0x04,
  icReset = 0x05,
  icReqInRAM = 0x07,
  icTxInRAM = 0x08,
  icReq1kRAM = 0x09,
  icTx1kRAM = 0x0A,
  icTxBrkPnt = 0x0B,
  icBusyCheck = 0x0C,
  icClearBrkPnt = 0x10,
  icRxROM = 0x11,
  icEraseChip = 0x12,
  icStep = 0x13,
  icRunRange = 0x14,
  icReqSFR = 0x20,
  icTxSFR = 0x21,
  icFetchSFR = 0x22,
  icFetchInRAM = 0x23,
  icFetch1kRAM = 0x24,
  icTxLockBits = 0x2A,
  icReqLockBits = 0x2B,
  icFetchLockBits = 0x2C,
  icReqSignature = 0x2D,
  icFetchSignature = 0x2E,
  icReqExRAM = 0x2F,
  icTxExRAM = 0x30,
  icFetchExRAM = 0x31,
  icReqInRAMList = 0x32,
  icReq1kRAMList = 0x33,
  icReqExRAMList = 0x34,
  icFetchInRAMList = 0x35,
  icFetch1kRAMList = 0x36,
  icFetchExRAMList = 0x37,
  icRxVersion = 0x38,
};

// The Code of a busy-check reply (and two of the answers to a program block).
enum IceStatus : uint8_t {
  stBusy = 12,  // target running, or the data asked for not ready yet
  stReady = 14,  // target halted, or the data asked for can be fetched
};

}  // namespace vx930
