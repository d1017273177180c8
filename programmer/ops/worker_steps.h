// The mechanics the device-operation workers share: the abort point of a data
// loop, the progress over the Target Zone, the byte stream to and from the
// programmer on each link, and the final status after the data phase.
//
// Only the mechanics live here. Which bytes a worker sends, which replies it
// waits for, where it polls ESC and when it fetches the error address stay in
// the worker, or are named by it in the arguments below.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "programmer/ops/operation_engine.h"

namespace zolvek {

// The link a stream worker runs on.
enum class StreamLink { Com, Lpt, Usb };

// The addresses at which a stream draws the counter (address & mask == 0)
// and exchanges a handshake (address & mask == mask): every 64 KB on USB,
// every 256 addresses otherwise.
inline uint32_t ExchangeMask(StreamLink kind) { return kind == StreamLink::Usb ? 0xFFFF : 0xFF; }

// An abort point: with ESC down sends the abort byte 1 and sets LinkStatus
// kStatusAborted (true); otherwise sends 0 to go on (false).
bool AbortOrGoOn(OperationEngine& e);

// ProgressTotal := the Target Zone's size, ProgressCount := 0, shown.
void StartAddressProgress(OperationEngine& e, ProgressTarget* dialog);

// Pages of the programmer-buffer workers: DeviceStart drawn, ProgressTotal
// := the page count, ProgressCount := 0. Returns the page count.
uint32_t StartPages(OperationEngine& e, CounterField* dc);

// The bytes a worker streams to the programmer: one at a time on COM and
// LPT; on USB gathered and written as a block at every 256-address boundary
// and at DeviceEnd.
class StreamOut {
public:
  StreamOut(OperationEngine& e, StreamLink kind) : e_(e), kind_(kind) {}
  // False when a USB block write failed.
  bool Put(uint32_t address, uint8_t byte);

private:
  OperationEngine& e_;
  StreamLink kind_;
  std::array<uint8_t, 256> block_{};
  std::size_t held_ = 0;
};

// How a stream from the programmer ended.
struct StreamInEnd {
  bool ended = false;  // no reply on COM: the worker has ended, with 1
  bool failed = false;
  bool aborted = false;
  uint32_t reached = 0;  // the last address reached, at most DeviceEnd
};

// After the operate command: shows the progress from 0 and DeviceStart in the
// counter, then brings DeviceStart..DeviceEnd over the link and hands each
// byte to `take` with its address. COM asks for each byte with ESC polled
// before each; a missing reply sends the abort byte, marks the link spoiled
// and leaves ErrorAddress at the address (ended). LPT asks for each byte and
// after every 256 addresses polls ESC and sends 1 on abort or failure, else
// 0 and takes the reply. USB reads blocks up to each 256-address boundary and
// exchanges after every 64 KB. `wait` is the reply wait.
StreamInEnd StreamIn(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, StreamLink kind, uint32_t wait,
                     const std::function<void(uint32_t address, uint8_t byte)>& take);

// One block named to the programmer: the operate command and the code (with
// the offset), the parameter pause, the block byte, and the status awaited
// for `wait`; after a status other than 0 the programmer's error address.
// The status byte (0 success), 1 when the command could not be framed or no
// status came.
int BlockExchange(OperationEngine& e, uint8_t code, uint8_t block, uint32_t wait);

// The final status after a worker's data phase, as each worker names it.
struct FinishRule {
  uint32_t wait = 0;  // for the status byte
  // What a status other than 0 does about the programmer's error address:
  // Keep the address reached, Fetch it (a failed fetch changes nothing) or
  // FetchOrEnd (a failed fetch ends with 1 and no counter drawn).
  enum class ErrorAddress { Keep, Fetch, FetchOrEnd } errorAddress = ErrorAddress::Keep;
  bool drawOnAbort = false;  // draw ErrorAddress after an abort
};

// Takes the status byte. After an abort marks the link spoiled and returns 1;
// without reply 1; a status other than 0 fails; success puts DeviceEnd in
// ErrorAddress. Draws ErrorAddress and returns 0 or 1.
int FinishWorker(OperationEngine& e, CounterField* dc, const FinishRule& rule, bool failed, bool aborted);

}  // namespace zolvek
