// The workers that check the device without changing it: the blank check,
// the verify against the programmer-held buffer or against PcBuffer streamed
// over the link, one-block checks, their dispatchers and the margin verify at
// the two supply levels of the device's verify profile.
//
// Workers return 0 for success, 1 for failure; the block operations return
// the programmer's status byte (0 success) or 1 without reply. Each keeps the
// engine's conventions: the counter shows DeviceStart, the address reached,
// and ErrorAddress last; ESC is polled at each handshake and answered with
// the abort byte 1 (LinkStatus 5).
//
// Choices where the program's own rules are silent:
// - VerifyFromBuffer with ByteSelect 2 or 4 is refused before anything is
//   sent (kStatusRefused, "Error !"): the programmer-held buffer has no even or
//   odd verify, and sending the page handshake where the code belongs would
//   leave the programmer reading the handshake as an operation.
// - A stream worker refuses a Target Zone that is inverted or that PcBuffer
//   does not hold, before the operate command.
// - The margin verify writes the levels of the profile's row (bytes 0, 2, 4,
//   then 1, 3, 5) and stops at the first failed verify; a profile outside
//   the table is refused.
#pragma once

#include <cstdint>

#include "programmer/ops/operation_engine.h"

namespace zolvek {

// Reply waits of the check workers (ReceiveByte counts).
namespace check_wait {
inline constexpr uint32_t kPage = 55;
inline constexpr uint32_t kFinal = 55;
inline constexpr uint32_t kVerifyMarker = 100;
inline constexpr uint32_t kStreamBlock = 155;
inline constexpr uint32_t kBlockOp = 83656;
}  // namespace check_wait

int BlankCheckPages(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int VerifyFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int VerifyStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int VerifyStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int VerifyStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int BlankCheckBlockOp(OperationEngine& e, uint8_t block);
int VerifyBlockOp(OperationEngine& e, uint8_t block);

// Dispatchers.
int BlankCheckDevice(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int VerifyDevice(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int VerifyDeviceFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int BlankCheckBlock(OperationEngine& e, ProgressTarget* dialog, uint8_t block);
int VerifyBlock(OperationEngine& e, ProgressTarget* dialog, uint8_t block);

// Which verify of a margin verify failed.
enum class MarginStep { None, Single, High, Low };
struct MarginResult {
  int result = 0;  // 0 success, 1 failure
  MarginStep failed = MarginStep::None;
};
// profile 0: VerifyDevice once. Profile n (1 to 4): the VDDmax levels of row
// n and VerifyDevice, then on success the VDDmin levels and VerifyDevice.
// before(step) is called before each verify, for the dialog's line.
MarginResult MarginVerify(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, uint32_t profile,
                          const std::function<void(MarginStep)>& before = {});

}  // namespace zolvek
