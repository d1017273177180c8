// The emulator commands the debugger sends, one call per command of the
// command set, each true when its exchange succeeded. The program's
// implementation forwards to the link's command set over the serial port;
// tests put in a scripted one. Each call is bounded by its own tries and
// time-outs; none of them waits without end.
#pragma once

#include <cstdint>

#include "ide/link/break_point.h"
#include "ide/link/ice_protocol.h"

namespace vx930 {

class IceCommands {
public:
  virtual ~IceCommands() = default;

  virtual bool ResetICE() = 0;
  virtual bool RunICE() = 0;
  virtual bool StepICE() = 0;
  virtual bool RunRange(uint16_t lineEnd, uint16_t procedureEnd) = 0;
  virtual bool StopICE() = 0;
  // On true, status is stBusy or stReady (halted).
  virtual bool BusyCheck(uint8_t& status) = 0;

  virtual bool TxBrkPnt(const BreakPointRec* table, int count) = 0;
  virtual bool ClearBrkPnt() = 0;

  // The SFR block, SFRCount bytes.
  virtual bool RxSFR(uint8_t* out) = 0;
  virtual bool TxSFR(const uint8_t* bytes, int count) = 0;

  // 64-byte blocks.
  virtual bool RxInRAM(uint8_t* out, uint8_t blockStart) = 0;
  virtual bool TxInRAM(uint8_t address, const uint8_t* bytes) = 0;
  virtual bool Rx1kRAM(uint8_t* out, uint16_t address) = 0;
  virtual bool Tx1kRAM(uint16_t address, const uint8_t* bytes) = 0;
  virtual bool Tx1kByte(uint16_t address, uint8_t value) = 0;

  // Scattered reads of n values; the address list holds one byte per
  // internal address and two (high first) per 1 KB or external address.
  virtual bool RxInRAMList(const uint8_t* addresses, uint8_t* out, int n) = 0;
  virtual bool Rx1kRAMList(const uint8_t* addresses, uint8_t* out, int n) = 0;
  virtual bool RxExRAMList(const uint8_t* addresses, uint8_t* out, int n) = 0;
};

}  // namespace vx930
