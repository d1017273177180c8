#include "sim/ice/engine_protocol.h"

namespace sim::ice {

uint8_t FrameChecksum(const uint8_t* bytes, size_t n) {
  unsigned sum = 0;
  for (size_t i = 0; i < n; ++i) sum += bytes[i];
  return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

bool ChecksumOk(const uint8_t* bytes, size_t n) {
  unsigned sum = 0;
  for (size_t i = 0; i < n; ++i) sum += bytes[i];
  return n > 0 && (sum & 0xFF) == 0;
}

namespace {

struct CommandInfo {
  uint8_t code;
  const char* name;
  uint8_t minLen;
  uint8_t maxLen;
  uint8_t lenStep;  // payload must be a multiple of this
};

// Payload lengths are those the host's frames carry; the board refuses others
// rather than guess what a malformed frame meant. An SFR block may come short:
// it is answered as a full one and writes the registers it reaches.
constexpr CommandInfo kCommands[] = {
    {icTxROM, "icTxROM", 64, 64, 1},
    {icRun, "icRun", 0, 0, 1},
    {icStop, "icStop", 0, 0, 1},
    {icReset, "icReset", 0, 0, 1},
    {icReqInRAM, "icReqInRAM", 0, 0, 1},
    {icTxInRAM, "icTxInRAM", 64, 64, 1},
    {icReq1kRAM, "icReq1kRAM", 0, 0, 1},
    {icTx1kRAM, "icTx1kRAM", 1, 64, 1},
    {icTxBrkPnt, "icTxBrkPnt", 4, 8, 4},
    {icBusyCheck, "icBusyCheck", 0, 0, 1},
    {icClearBrkPnt, "icClearBrkPnt", 0, 0, 1},
    {icRxROM, "icRxROM", 0, 0, 1},
    {icEraseChip, "icEraseChip", 0, 0, 1},
    {icStep, "icStep", 0, 0, 1},
    {icRunRange, "icRunRange", 2, 2, 1},
    {icReqSFR, "icReqSFR", 0, 0, 1},
    {icTxSFR, "icTxSFR", 0, 58, 1},
    {icFetchSFR, "icFetchSFR", 0, 0, 1},
    {icFetchInRAM, "icFetchInRAM", 0, 0, 1},
    {icFetch1kRAM, "icFetch1kRAM", 0, 0, 1},
    {icTxLockBits, "icTxLockBits", 0, 0, 1},
    {icReqLockBits, "icReqLockBits", 0, 0, 1},
    {icFetchLockBits, "icFetchLockBits", 0, 0, 1},
    {icReqSignature, "icReqSignature", 0, 0, 1},
    {icFetchSignature, "icFetchSignature", 0, 0, 1},
    {icReqExRAM, "icReqExRAM", 0, 0, 1},
    {icTxExRAM, "icTxExRAM", 64, 64, 1},
    {icFetchExRAM, "icFetchExRAM", 0, 0, 1},
    {icReqInRAMList, "icReqInRAMList", 1, 255, 1},
    {icReq1kRAMList, "icReq1kRAMList", 2, 254, 2},
    {icReqExRAMList, "icReqExRAMList", 2, 254, 2},
    {icFetchInRAMList, "icFetchInRAMList", 0, 0, 1},
    {icFetch1kRAMList, "icFetch1kRAMList", 0, 0, 1},
    {icFetchExRAMList, "icFetchExRAMList", 0, 0, 1},
    {icRxVersion, "icRxVersion", 0, 0, 1},
};

const CommandInfo* Find(uint8_t code) {
  for (const auto& c : kCommands) {
    if (c.code == code) return &c;
  }
  return nullptr;
}

}  // namespace

bool IsKnownCommand(uint8_t code) { return Find(code) != nullptr; }

bool AcceptsLength(uint8_t code, uint8_t len) {
  const CommandInfo* c = Find(code);
  return c && len >= c->minLen && len <= c->maxLen && len % c->lenStep == 0;
}

const char* CommandName(uint8_t code) {
  const CommandInfo* c = Find(code);
  return c ? c->name : "?";
}

}  // namespace sim::ice
